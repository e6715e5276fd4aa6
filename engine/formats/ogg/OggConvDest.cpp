// The Ogg Vorbis destination: encoder set-up from the settings, header pages, audio pages, end of stream.
#include "OggConvDest.h"

#include <commctrl.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <limits>

#include "EngineResources.h"
#include "OggComments.h"
#include "PathText.h"

namespace {
const char kProductName[] = "Tavrel";

// Leading decimal digits after optional blanks and sign, saturating; anything else reads as 0.
int ParseNumber(const wchar_t* text) {
  while (*text == L' ' || *text == L'\t') ++text;
  bool negative = *text == L'-';
  if (*text == L'-' || *text == L'+') ++text;
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) value = std::min<long long>(value * 10 + (*text - L'0'), 1LL << 31);
  value = negative ? -value : value;
  return static_cast<int>(
      std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

float SampleValue(const unsigned char* at, int bytesPerSample) {
  // 8-bit samples are unsigned around 128 and weigh as (b - 128) * 256 in 16-bit terms.
  int value = bytesPerSample == 1 ? (at[0] - 128) * 256 : static_cast<int16_t>(at[0] | (at[1] << 8));
  return static_cast<float>(value) * (1.0f / 32768.0f);
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
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16)
    return Fail(L"Source file must have either 8 or 16 bits/sample");
  // The encoder is set up before the file exists, so settings it refuses leave no empty file behind.
  if (!SetUpEncoder()) return false;
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
  frameBytes = format.nChannels * (format.wBitsPerSample / 8);
  partialFrame.clear();

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
  const auto* bytes = static_cast<const unsigned char*>(data);
  // A frame split between two writes is completed from the next one, so channels never change places.
  if (!partialFrame.empty()) {
    size_t needed = std::min<size_t>(frameBytes - partialFrame.size(), size);
    partialFrame.append(reinterpret_cast<const char*>(bytes), needed);
    bytes += needed;
    size -= static_cast<UINT32>(needed);
    if (static_cast<int>(partialFrame.size()) < frameBytes) return true;
    std::string frame;
    frame.swap(partialFrame);
    if (!EncodeFrames(reinterpret_cast<const unsigned char*>(frame.data()), 1)) return false;
  }
  size_t frames = size / frameBytes;
  if (!EncodeFrames(bytes, frames)) return false;
  partialFrame.assign(reinterpret_cast<const char*>(bytes) + frames * frameBytes, size - frames * frameBytes);
  return true;
}

bool COggConvDest::EncodeFrames(const unsigned char* bytes, size_t frames) {
  // libvorbis takes a frame count of 0 as the end of the input, which only Close may give.
  // Large writes go in slices, which keeps libvorbis's int counts and its buffer small.
  constexpr size_t kSliceFrames = 1 << 16;
  int channels = format.nChannels;
  int bytesPerSample = format.wBitsPerSample / 8;
  while (frames > 0) {
    int slice = static_cast<int>(std::min(frames, kSliceFrames));
    float** buffer = vorbis_analysis_buffer(&dsp, slice);
    for (int channel = 0; channel < channels; ++channel) {
      const unsigned char* at = bytes + channel * bytesPerSample;
      float* out = buffer[channel];
      for (int frame = 0; frame < slice; ++frame, at += frameBytes) out[frame] = SampleValue(at, bytesPerSample);
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
  partialFrame.clear();
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

bool COggConvDest::SetOption(const wchar_t* name, const wchar_t* value, wchar_t*) {
  if (!name || !value) return false;
  OGGSETTINGS& record = settings.settings;
  int number = ParseNumber(value);
  if (_wcsicmp(name, L"quality-based") == 0) {
    record.qualityBased = _wcsicmp(value, L"no") == 0 ? 0 : 1;
  } else if (_wcsicmp(name, L"quality") == 0) {
    record.quality = std::clamp(number, 0, 100);
  } else if (_wcsicmp(name, L"avg-bitrate") == 0) {
    record.avgBitrate = OggBitrateStep(number);
  } else if (_wcsicmp(name, L"min-bitrate") == 0) {
    record.useMinBitrate = number > 0;
    if (number > 0) record.minBitrate = OggBitrateStep(number);
  } else if (_wcsicmp(name, L"max-bitrate") == 0) {
    record.useMaxBitrate = number > 0;
    if (number > 0) record.maxBitrate = OggBitrateStep(number);
  } else {
    return false;
  }
  return true;
}
