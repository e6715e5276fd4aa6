// The WAV destination: RIFF writing through the platform's multimedia file I/O, ACM encoding.
#include "WavConvDest.h"

#include <cstdarg>
#include <cwchar>

#include "CWavMetadata.h"
#include "EngineResources.h"
#include "MmioFile.h"
#include "PathText.h"
#include "PcmFormat.h"

namespace {
const wchar_t kErrorHelp[] =
    L"For information on how to avoid this error, see: https://www.quennet.com/tavrel/help/acm-conversion";
constexpr size_t kOptionErrorCapacity = 256;

// Intermediate PCM formats for a two-stage conversion, in the order they are tried.
struct PcmShape {
  WORD bits, channels;
};
const PcmShape kIntermediateShapes[] = {{16, 2}, {16, 1}, {8, 2}, {8, 1}};
const DWORD kIntermediateRates[] = {44100, 22050, 11025, 8000};

bool CanConvert(const WAVEFORMATEX* from, const WAVEFORMATEX* to) {
  auto acm = LockAcm();
  return acmStreamOpen(nullptr, nullptr, const_cast<WAVEFORMATEX*>(from), const_cast<WAVEFORMATEX*>(to), nullptr, 0, 0,
                       ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME) == MMSYSERR_NOERROR;
}

void SetErrorText(wchar_t* errorText, const wchar_t* text) {
  if (errorText) CopyTruncated(errorText, kOptionErrorCapacity, text);
}
}  // namespace

CWavConvDest::CWavConvDest() { settings.LoadSettings(settings.settings); }

CWavConvDest::~CWavConvDest() { Close(); }

bool CWavConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CWavConvDest;
  return true;
}

bool CWavConvDest::Open() {
  if (format.nBlockAlign == 0 || format.nAvgBytesPerSec == 0) {
    LogError(L"The PCM format of the output is not set");
    return false;
  }
  if (!CDefConvertDestination::Open()) return false;
  framesWritten = 0;
  file = OpenMmioFile(fileName, true);
  if (!file) return Fail(L"Output file cannot be opened for writing");

  riffChunk = MMCKINFO{};
  riffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioCreateChunk(file, &riffChunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
    return Fail(L"Wave chunk cannot be created");
  riffOpen = true;
  formatChunk = MMCKINFO{};
  formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioCreateChunk(file, &formatChunk, 0) != MMSYSERR_NOERROR) return Fail(L"FMT chunk cannot be created");

  current = settings.settings;
  FormatBytes fileFormat;
  if (current.format.empty() && current.formatTag == format.wFormatTag) {
    fileFormat = CopyFormat(&format);
    if (format.cbSize == 0) fileFormat.resize(16);  // PCM needs no cbSize field
  } else if (!OpenStages(fileFormat)) {
    return false;
  }
  LONG size = static_cast<LONG>(fileFormat.size());
  if (mmioWrite(file, reinterpret_cast<const char*>(fileFormat.data()), size) != size)
    return Fail(L"Output file cannot be written");
  mmioAscend(file, &formatChunk, 0);
  dataChunk = MMCKINFO{};
  dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioCreateChunk(file, &dataChunk, 0) != MMSYSERR_NOERROR) return Fail(L"DATA Chunk cannot be created");
  dataOpen = true;
  return true;
}

// Chooses one conversion stage, or two through an intermediate PCM format, and the format of the file.
bool CWavConvDest::OpenStages(FormatBytes& fileFormat) {
  const WAVEFORMATEX* chosen = current.Format();
  if (stage1.Open(&format, current.formatTag, chosen, &WriteToFile, file)) {
    fileFormat = CopyFormat(stage1.OutputFormat());
    return true;
  }
  MMRESULT firstError = stage1.lastError;
  WAVEFORMATEX intermediate = {};
  bool found = false;
  for (const PcmShape& shape : kIntermediateShapes) {
    for (DWORD rate : kIntermediateRates) {
      WAVEFORMATEX candidate = MakePcmFormat(shape.bits, shape.channels, rate);
      FormatBytes target;
      const WAVEFORMATEX* goal = chosen;
      if (!goal && AcmSuggestFormat(&candidate, current.formatTag, target, nullptr)) goal = AsFormat(target);
      if (goal && CanConvert(&candidate, goal)) {
        intermediate = candidate;
        found = true;
        break;
      }
    }
    if (found) break;
  }
  if (!found) {
    Fail(FormatText(kMessageCapacity, L"Conversion stream cannot be opened (ACM error %d)",
                    static_cast<int>(firstError)));
    LogInfo(L"%s", kErrorHelp);
    return false;
  }
  if (!stage1.Open(&format, WAVE_FORMAT_PCM, &intermediate, &FeedStage, &stage2))
    return Fail(FormatText(kMessageCapacity, L"PCM conversion stream cannot be opened (ACM error %d)",
                           static_cast<int>(stage1.lastError)));
  if (!stage2.Open(&intermediate, current.formatTag, chosen, &WriteToFile, file))
    return Fail(FormatText(kMessageCapacity, L"Conversion stream cannot be opened (ACM error %d)",
                           static_cast<int>(stage2.lastError)));
  fileFormat = CopyFormat(stage2.OutputFormat());
  return true;
}

bool CWavConvDest::WriteToFile(const void* data, DWORD size, void* userData) {
  LONG length = static_cast<LONG>(size);
  return mmioWrite(static_cast<HMMIO>(userData), static_cast<const char*>(data), length) == length;
}

bool CWavConvDest::FeedStage(const void* data, DWORD size, void* userData) {
  return static_cast<ACMconverter*>(userData)->Feed(size, data);
}

bool CWavConvDest::Write(UINT32 size, const void* data) {
  if (!dataOpen || (!data && size)) return false;
  framesWritten += size / format.nBlockAlign;
  if (!stage1.IsOpen()) {
    LONG length = static_cast<LONG>(size);
    if (mmioWrite(file, static_cast<const char*>(data), length) != length) {
      LogError(L"Output file cannot be written");
      return false;
    }
    return true;
  }
  if (!stage1.Feed(size, data)) {
    LogError(L"PCM buffer conversion failed (ACM error %d)", static_cast<int>(stage1.lastError));
    return false;
  }
  return true;
}

bool CWavConvDest::Close() {
  CDefConvertDestination::Close();
  // The last partial second goes through both stages before the file is finished.
  for (ACMconverter* stage : {&stage1, &stage2}) {
    if (dataOpen && stage->IsOpen()) stage->Convert(true);
  }
  stage1.Free();
  stage2.Free();
  current = WAVSETTINGS();
  if (file) {
    if (dataOpen) mmioAscend(file, &dataChunk, 0);
    if (riffOpen) mmioAscend(file, &riffChunk, 0);
    mmioClose(file, 0);
  }
  file = nullptr;
  riffOpen = dataOpen = false;
  return true;
}

bool CWavConvDest::EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) {
  if (!srcFormat || !outBytes || srcFormat->nAvgBytesPerSec == 0) return false;
  WAVSETTINGS chosen = settings.settings;
  double bitsPerSecond = 0;
  if (const WAVEFORMATEX* exact = chosen.Format()) {
    bitsPerSecond = exact->nAvgBytesPerSec * 8.0;
  } else if (chosen.formatTag == srcFormat->wFormatTag) {
    bitsPerSecond = srcFormat->nAvgBytesPerSec * 8.0;
  } else {
    FormatBytes suggested;
    if (!AcmSuggestFormat(srcFormat, chosen.formatTag, suggested, nullptr)) return false;
    bitsPerSecond = AsFormat(suggested)->nAvgBytesPerSec * 8.0;
  }
  *outBytes = static_cast<UINT32>(static_cast<double>(srcBytes) / srcFormat->nAvgBytesPerSec * bitsPerSecond * 0.125);
  return true;
}

bool CWavConvDest::ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) {
  return settings.ShowForDestination<CWavConvDest>(parent, alsoApplyTo, CLSID_CWavConvDest);
}

bool CWavConvDest::GetSettingsText(wchar_t* buf, int cch) {
  return CopyTruncated(buf, cch, DescribeWavSettings(settings.settings));
}

bool CWavConvDest::SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) {
  if (!name || !value) return false;
  WAVSETTINGS& record = settings.settings;
  if (_wcsicmp(name, L"wave-codec") == 0) {
    for (const AcmCodec& codec : AcmCodecs()) {
      if (_wcsicmp(codec.name.c_str(), value) == 0) {
        record.formatTag = codec.tag;
        record.format.clear();
        return true;
      }
    }
    SetErrorText(errorText, L"ACM Wave Codec was not found");
    return false;
  }
  if (_wcsicmp(name, L"wave-format") == 0) {
    for (AcmFormat& candidate : AcmFormats(record.formatTag)) {
      if (_wcsicmp(candidate.description.c_str(), value) == 0) {
        record.format = std::move(candidate.format);
        return true;
      }
    }
    SetErrorText(errorText, L"ACM Wave Format was not found");
    return false;
  }
  return false;
}

bool CWavConvDest::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(CreateWavMetadata(fileName, out));
}
