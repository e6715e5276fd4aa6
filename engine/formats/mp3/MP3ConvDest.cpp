// The MP3 destination.
#include "MP3ConvDest.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "EngineResources.h"
#include "PathText.h"

namespace {
const wchar_t kNotInstalled[] =
    L"LAME MP3 encoder was not installed, see https://www.quennet.com/tavrel/help/mp3-encoder";

// The path in the ANSI code page, when every character survives the trip; else the short form when it does.
std::string AnsiPath(const wchar_t* path) {
  auto convert = [](const std::wstring& wide, std::string& narrow) {
    BOOL lost = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost) return false;
    narrow.assign(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow.data(), bytes, nullptr, &lost);
    narrow.resize(static_cast<size_t>(bytes) - 1);
    return !lost;
  };
  std::string narrow;
  if (convert(path, narrow)) return narrow;
  wchar_t shortPath[MAX_PATH] = {};
  DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH && convert(shortPath, narrow)) return narrow;
  return {};
}
}  // namespace

LameConfig BuildLameConfig(const MP3SETTINGS& settings, const WAVEFORMATEX& input) {
  LameConfig config;
  std::memset(&config, 0, sizeof(config));
  const bool cbr = settings.mode == 0;
  const bool abr = settings.mode == 2;
  config.config = 256;
  config.structVersion = 1;
  config.structSize = sizeof(LameConfig);
  config.sampleRate = input.nSamplesPerSec;
  config.resampleRate = settings.resampleRate;
  // More than two channels reach the encoder mixed down to stereo.
  config.mode = input.nChannels == 1 ? 3 : (settings.jointStereo ? 1 : 0);
  config.bitrate = cbr ? settings.bitrate : 0;
  config.maxBitrate = abr ? 0 : settings.maxBitrate;
  config.preset = -1;
  config.privateBit = settings.privateBit;
  config.crc = settings.crc;
  config.copyrightBit = settings.copyrightBit;
  config.originalBit = settings.originalBit;
  config.writeVbrHeader = cbr ? 0 : 1;
  config.enableVbr = cbr ? 0 : 1;
  int quality = 10 - static_cast<int>(settings.vbrQuality / 10);
  config.vbrQuality = quality > 9 || quality < 0 ? 9 : quality;
  config.abrBitsPerSecond = abr ? settings.bitrate * 1000 : 0;
  static const int32_t kMethods[] = {-1, 1, 4, 2};
  config.vbrMethod = kMethods[settings.mode <= 3 ? settings.mode : 2];
  const uint8_t low = static_cast<uint8_t>(settings.encoderQuality);
  config.quality = static_cast<uint16_t>(low | (static_cast<uint8_t>(~low) << 8));
  return config;
}

CMP3ConvDest::CMP3ConvDest() { settings.LoadSettings(settings.settings); }

CMP3ConvDest::~CMP3ConvDest() { Close(); }

bool CMP3ConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CMP3ConvDest;
  return true;
}

bool CMP3ConvDest::Open() {
  if (!CDefConvertDestination::Open()) return false;
  mix.emplace(format);
  if (!mix->Valid())
    return Fail(FormatText(kMessageCapacity, L"Source uses unsupported %d bit samples", format.wBitsPerSample));
  joiner.Reset(format.nBlockAlign);
  writeFailed = false;
  if (!library.Load()) return Fail(kNotInstalled);
  LameConfig config = BuildLameConfig(settings.settings, format);
  DWORD chunkSamples = 0, outputSize = 0;
  unsigned long result = library.initStream(&config, &chunkSamples, &outputSize, &stream);
  if (result != 0) {
    stream = nullptr;
    return Fail(
        FormatText(kMessageCapacity, L"Audio codec cannot be initialized (error %d)", static_cast<int>(result)));
  }
  streamOpen = true;
  try {
    output.assign(outputSize, 0);
    chunk.assign(chunkSamples, 0);
  } catch (const std::bad_alloc&) {
    return Fail(L"Out of memory");
  }
  chunkFill = 0;
  // A library reporting no chunk length, or one that cannot hold a whole frame, could never be fed.
  if (chunk.size() < mix->OutputChannels() || output.empty())
    return Fail(L"Audio codec cannot be initialized (error 0)");
  file = _wfopen(fileName, L"wb");
  if (!file) return Fail(L"Output file cannot be opened for writing");
  if (mix->MixesDown()) LogInfo(L"The %d channels are mixed down to stereo for MP3", format.nChannels);
  return true;
}

void CMP3ConvDest::AppendFrames(const unsigned char* data, UINT32 frames) {
  mix->Convert(data, frames, chunk.data() + chunkFill);
  chunkFill += frames * mix->OutputChannels();
}

bool CMP3ConvDest::WriteOutput(const void* data, DWORD size) {
  if (size == 0) return true;
  if (fwrite(data, 1, size, file) == size) return true;
  LogError(L"Output file cannot be written (error %d)", errno);
  writeFailed = true;
  return false;
}

bool CMP3ConvDest::EncodeChunk(const short* samples, DWORD count) {
  if (count == 0) return true;
  DWORD bytes = 0;
  unsigned long result = library.encodeChunk(stream, count, samples, output.data(), &bytes);
  if (result != 0) {
    LogError(L"Chuck cannot be encoded (BladeEnc error %d)", static_cast<int>(result));
    return false;
  }
  if (bytes > output.size()) bytes = static_cast<DWORD>(output.size());
  return WriteOutput(output.data(), bytes);
}

bool CMP3ConvDest::Write(UINT32 size, const void* data) {
  if (!CDefConvertDestination::Write(size, data)) return false;
  if (!streamOpen || !file || writeFailed || (!data && size)) return false;
  return joiner.Take(static_cast<const unsigned char*>(data), size,
                     [this](const unsigned char* frames, size_t count) { return EncodeFrames(frames, count); });
}

bool CMP3ConvDest::EncodeFrames(const unsigned char* bytes, size_t frames) {
  const UINT32 outputChannels = mix->OutputChannels();
  const UINT32 chunkFrames = static_cast<UINT32>(chunk.size()) / outputChannels;
  while (frames > 0) {
    if (chunkFill == 0 && frames >= chunkFrames && format.wBitsPerSample == 16 && !mix->MixesDown() &&
        reinterpret_cast<UINT_PTR>(bytes) % alignof(short) == 0) {
      // Whole chunks of 16-bit mono or stereo go to the encoder straight from the caller's buffer.
      if (!EncodeChunk(reinterpret_cast<const short*>(bytes), chunkFrames * outputChannels)) return false;
    } else {
      UINT32 taken = static_cast<UINT32>(std::min<size_t>(frames, chunkFrames - chunkFill / outputChannels));
      AppendFrames(bytes, taken);
      if (chunkFill / outputChannels < chunkFrames) return true;
      chunkFill = 0;
      if (!EncodeChunk(chunk.data(), chunkFrames * outputChannels)) return false;
      bytes += static_cast<size_t>(taken) * format.nBlockAlign;
      frames -= taken;
      continue;
    }
    bytes += static_cast<size_t>(chunkFrames) * format.nBlockAlign;
    frames -= chunkFrames;
  }
  return true;
}

bool CMP3ConvDest::Close() {
  CDefConvertDestination::Close();
  bool finished = !writeFailed;
  if (streamOpen) {
    if (chunkFill > 0 && file && finished) finished = EncodeChunk(chunk.data(), chunkFill);
    chunkFill = 0;
    DWORD bytes = 0;
    if (library.deinitStream(stream, output.data(), &bytes) == 0 && file && bytes && finished)
      finished = WriteOutput(output.data(), std::min<DWORD>(bytes, static_cast<DWORD>(output.size())));
  }
  if (streamOpen || file) {
    LockLameClosing();
    if (streamOpen) library.closeStream(stream);
    if (file) {
      // Buffered bytes reach the disk here: a full disk can show only now.
      if (fclose(file) != 0 && finished) {
        LogError(L"Output file cannot be written (error %d)", errno);
        finished = false;
      }
      file = nullptr;
      if (streamOpen && library.writeVbrHeader && finished) {
        std::string path = AnsiPath(fileName);
        if (!path.empty()) library.writeVbrHeader(path.c_str());
      }
    }
    UnlockLameClosing();
  }
  stream = nullptr;
  streamOpen = false;
  output.clear();
  output.shrink_to_fit();
  chunk.clear();
  chunk.shrink_to_fit();
  joiner.Reset(0);
  mix.reset();
  library.Unload();
  return finished;
}

bool CMP3ConvDest::GetMetadata(IMetadata** out) {
  if (!out || !fileName[0]) return false;
  return SUCCEEDED(MetadataCreateFromFile(fileName, out)) && *out;
}

bool CMP3ConvDest::EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) {
  if (!srcFormat || !outBytes || srcFormat->nAvgBytesPerSec == 0) return false;
  *outBytes = static_cast<UINT32>(static_cast<double>(srcBytes) / srcFormat->nAvgBytesPerSec *
                                  settings.settings.bitrate * 1000 * 0.125);
  return true;
}

bool CMP3ConvDest::ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) {
  return settings.ShowForDestination<CMP3ConvDest>(parent, alsoApplyTo, CLSID_CMP3ConvDest);
}

bool CMP3ConvDest::GetSettingsText(wchar_t* buf, int cch) {
  return CopyTruncated(buf, cch, DescribeMp3Settings(settings.settings));
}

bool CMP3ConvDest::SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) {
  std::wstring error;
  if (SetMp3Option(settings.settings, name, value, error)) return true;
  if (errorText && !error.empty()) CopyTruncated(errorText, kOptionErrorCapacity, error);
  return false;
}
