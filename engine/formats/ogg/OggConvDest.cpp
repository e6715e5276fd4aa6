// The Ogg Vorbis destination: encoder set-up from the settings, header pages, audio pages, end of stream.
#include "OggConvDest.h"

#include <commctrl.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <limits>

#include "EngineResources.h"
#include "OggComments.h"
#include "PathText.h"
#include "PcmSamples.h"

namespace {
const char kProductName[] = "Tavrel";

// Vorbis orders the speakers of 3 to 8 channels its own way (left, centre, right, ...); WAVE puts left and
// right first and the bass channel fourth. The input channel that each Vorbis channel takes:
std::vector<int> VorbisChannelSources(int channels) {
  switch (channels) {
    case 3:
      return {0, 2, 1};
    case 5:
      return {0, 2, 1, 3, 4};
    case 6:
      return {0, 2, 1, 4, 5, 3};
    case 7:
      return {0, 2, 1, 5, 6, 4, 3};
    case 8:
      return {0, 2, 1, 6, 7, 4, 5, 3};
    default: {
      std::vector<int> same(static_cast<size_t>(channels));
      for (int channel = 0; channel < channels; ++channel) same[static_cast<size_t>(channel)] = channel;
      return same;
    }
  }
}

// An option's whole value as a whole number within limits; anything else is refused.
bool ParseWholeNumber(const wchar_t* text, int lowest, int highest, int& value) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  errno = 0;
  long number = wcstol(text, &end, 10);
  if (*end || errno == ERANGE || number < lowest || number > highest) return false;
  value = static_cast<int>(number);
  return true;
}

bool ParseYesNo(const wchar_t* text, int32_t& value) {
  for (const wchar_t* yes : {L"yes", L"on", L"true", L"1"})
    if (_wcsicmp(text, yes) == 0) return value = 1, true;
  for (const wchar_t* no : {L"no", L"off", L"false", L"0"})
    if (_wcsicmp(text, no) == 0) return value = 0, true;
  return false;
}
}  // namespace

COggConvDest::COggConvDest() { settings.LoadSettings(settings.settings); }

COggConvDest::~COggConvDest() { Close(); }

bool COggConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_COggConvDest;
  return true;
}

int COggConvDest::NextSerialNumber() {
  uint32_t state = GetTickCount() * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7fff);
}

bool COggConvDest::Open() {
  Close();
  if (!CDefConvertDestination::Open()) return false;
  const wchar_t kWidths[] = L"Source file must have either 8, 16, 24 or 32 bits/sample";
  const WORD bits = format.wBitsPerSample;
  if (format.wFormatTag != WAVE_FORMAT_PCM || (bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return Fail(kWidths);
  sampleWidth = bits / 8;
  // The encoder is set up before the file exists, so settings it refuses leave no empty file behind.
  if (!SetUpEncoder()) return false;
  if (PcmSampleWidth(format) == 0) return Fail(kWidths);  // frames that are not whole samples
  file = CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(L"Output file cannot be opened for writing");

  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "ENCODER", kProductName);
  AddSourceComments(source, &comment);
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_init(&stream, NextSerialNumber());
  encoderReady = true;
  endOfStreamWritten = writeFailed = false;
  frameBytes = format.nBlockAlign;
  channelSources = VorbisChannelSources(format.nChannels);
  joiner.Reset(frameBytes);

  ogg_packet identification, comments, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
  ogg_stream_packetin(&stream, &identification);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &codebooks);
  // Flushing here puts the headers on pages of their own, before any audio page.
  if (!WritePages(true))
    return Fail(
        FormatText(kMessageCapacity, L"Output file cannot be written (error %d)", static_cast<int>(writeError)));
  return true;
}

bool COggConvDest::SetUpEncoder() {
  vorbis_info_init(&info);
  infoReady = true;
  const OGGSETTINGS& chosen = settings.settings;
  int result;
  // The identification header holds the channel count in one byte; libvorbis itself takes 0 channels.
  if (format.nChannels < 1 || format.nChannels > 255) {
    result = OV_EINVAL;
  } else if (chosen.qualityBased) {
    result = vorbis_encode_init_vbr(&info, format.nChannels, static_cast<long>(format.nSamplesPerSec),
                                    static_cast<float>(chosen.quality) / 100.0f);
  } else {
    result = vorbis_encode_init(&info, format.nChannels, static_cast<long>(format.nSamplesPerSec),
                                chosen.useMaxBitrate ? chosen.maxBitrate * 1000L : -1L, chosen.avgBitrate * 1000L,
                                chosen.useMinBitrate ? chosen.minBitrate * 1000L : -1L);
  }
  if (result == 0) return true;
  return Fail(FormatText(kMessageCapacity, L"Encoding setup failed (error %d)", result));
}

bool COggConvDest::Write(UINT32 size, const void* data) {
  if (!CDefConvertDestination::Write(size, data)) return false;
  if (!encoderReady) {
    LogError(L"Destination object is not opened");
    return false;
  }
  if (!data && size) return false;
  return joiner.Take(static_cast<const unsigned char*>(data), size,
                     [this](const unsigned char* frames, size_t count) { return EncodeFrames(frames, count); });
}

bool COggConvDest::EncodeFrames(const unsigned char* bytes, size_t frames) {
  // libvorbis takes a frame count of 0 as the end of the input, which only Close may give.
  // Large writes go in slices, which keeps libvorbis's int counts and its buffer small.
  constexpr size_t kSliceFrames = 1 << 16;
  const int channels = format.nChannels;
  const float scale = static_cast<float>(1.0 / PcmFullScale(static_cast<unsigned>(sampleWidth)));
  while (frames > 0) {
    int slice = static_cast<int>(std::min(frames, kSliceFrames));
    float** buffer = vorbis_analysis_buffer(&dsp, slice);
    for (int channel = 0; channel < channels; ++channel) {
      const unsigned char* at = bytes + channelSources[static_cast<size_t>(channel)] * sampleWidth;
      float* out = buffer[channel];
      for (int frame = 0; frame < slice; ++frame, at += frameBytes)
        out[frame] = static_cast<float>(ReadPcmSample(at, static_cast<unsigned>(sampleWidth))) * scale;
    }
    vorbis_analysis_wrote(&dsp, slice);
    if (!DrainBlocks()) {
      ReportWriteError();
      return false;
    }
    bytes += static_cast<size_t>(slice) * frameBytes;
    frames -= static_cast<size_t>(slice);
  }
  return true;
}

bool COggConvDest::DrainBlocks() {
  while (vorbis_analysis_blockout(&dsp, &block) == 1) {
    // Packets come out of the bit-rate manager, which the managed mode needs and the quality mode passes through.
    vorbis_analysis(&block, nullptr);
    vorbis_bitrate_addblock(&block);
    while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
      ogg_stream_packetin(&stream, &packet);
      if (!WritePages(false)) return false;
    }
  }
  return true;
}

bool COggConvDest::WritePages(bool flush) {
  while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
    if (!WritePage(page)) return false;
  }
  return true;
}

// Pages are collected and written in large pieces: a system call per page header and body costs more than
// the encoding it follows.
bool COggConvDest::WritePage(const ogg_page& out) {
  pendingOutput.insert(pendingOutput.end(), out.header, out.header + out.header_len);
  pendingOutput.insert(pendingOutput.end(), out.body, out.body + out.body_len);
  if (ogg_page_eos(&out)) endOfStreamWritten = true;
  return pendingOutput.size() < kOutputPiece || FlushOutput();
}

bool COggConvDest::FlushOutput() {
  if (pendingOutput.empty()) return true;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(pendingOutput.size());
  bool ok = WriteFile(file, pendingOutput.data(), size, &written, nullptr) && written == size;
  pendingOutput.clear();
  if (!ok) {
    writeError = GetLastError();
    writeFailed = true;
  }
  return ok;
}

void COggConvDest::ReportWriteError() {
  LogError(L"Output file cannot be written (error %d)", static_cast<int>(writeError));
}

bool COggConvDest::Close() {
  CDefConvertDestination::Close();
  bool finished = true;
  if (encoderReady) {
    // After a failed write the file stays as far as it got; no end of stream is forced onto it.
    if (file != INVALID_HANDLE_VALUE && !writeFailed) {
      vorbis_analysis_wrote(&dsp, 0);
      finished = DrainBlocks() && (endOfStreamWritten || WritePages(true)) && FlushOutput();
      if (!finished) ReportWriteError();
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    encoderReady = false;
  }
  if (infoReady) {
    vorbis_info_clear(&info);
    infoReady = false;
  }
  if (file != INVALID_HANDLE_VALUE) {
    if (!writeFailed) FlushOutput();
    pendingOutput.clear();
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
  }
  joiner.Reset(0);
  return finished;
}

bool COggConvDest::EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) {
  const OGGSETTINGS& chosen = settings.settings;
  if (chosen.qualityBased || !srcFormat || !outBytes || srcFormat->nAvgBytesPerSec == 0) return false;
  double estimate = static_cast<double>(srcBytes) / srcFormat->nAvgBytesPerSec * chosen.avgBitrate * 1000.0 * 0.125;
  *outBytes = static_cast<UINT32>(std::min<double>(estimate, std::numeric_limits<UINT32>::max()));
  return true;
}

bool COggConvDest::ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) {
  return settings.ShowForDestination<COggConvDest>(parent, alsoApplyTo, CLSID_COggConvDest);
}

bool COggConvDest::GetSettingsText(wchar_t* buf, int cch) {
  return CopyTruncated(buf, cch, DescribeOggSettings(settings.settings));
}

bool COggConvDest::SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) {
  if (!name || !value) return false;
  OGGSETTINGS& record = settings.settings;
  auto refuse = [&](const wchar_t* text) {
    if (errorText) CopyTruncated(errorText, kOptionErrorCapacity, text);
    return false;
  };
  int number = 0;
  if (_wcsicmp(name, L"quality-based") == 0) {
    if (!ParseYesNo(value, record.qualityBased)) return refuse(L"Value must be either yes or no");
  } else if (_wcsicmp(name, L"quality") == 0) {
    if (!ParseWholeNumber(value, 0, 100, number)) return refuse(L"Value must be a whole number from 0 to 100");
    record.quality = number;
  } else if (_wcsicmp(name, L"avg-bitrate") == 0) {
    if (!ParseWholeNumber(value, kOggBitrateSteps[0], kOggBitrateSteps[kOggBitrateStepCount - 1], number))
      return refuse(L"Value must be a bit rate in kbps from 48 to 320");
    record.avgBitrate = OggBitrateStep(number);
  } else if (_wcsicmp(name, L"min-bitrate") == 0 || _wcsicmp(name, L"max-bitrate") == 0) {
    // 0 switches the limit off.
    if (!ParseWholeNumber(value, 0, kOggBitrateSteps[kOggBitrateStepCount - 1], number) ||
        (number > 0 && number < kOggBitrateSteps[0]))
      return refuse(L"Value must be 0 (no limit) or a bit rate in kbps from 48 to 320");
    const bool minimum = _wcsicmp(name, L"min-bitrate") == 0;
    (minimum ? record.useMinBitrate : record.useMaxBitrate) = number > 0;
    if (number > 0) (minimum ? record.minBitrate : record.maxBitrate) = OggBitrateStep(number);
  } else {
    return false;
  }
  return true;
}
