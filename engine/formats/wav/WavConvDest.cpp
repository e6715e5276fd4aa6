// The WAV destination: RIFF writing with 64-bit file positions, ACM encoding.
#include "WavConvDest.h"

#include <cstdarg>
#include <cwchar>

#include "CWavMetadata.h"
#include "EngineResources.h"
#include "PathText.h"
#include "PcmFormat.h"

namespace {
const wchar_t kErrorHelp[] =
    L"For information on how to avoid this error, see: https://www.quennet.com/tavrel/help/acm-conversion";

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
  if (errorText) CopyTruncated(errorText, CDefConvertDestination::kOptionErrorCapacity, text);
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
  dataBytes = factPosition = 0;
  writeFailed = false;
  if (!file.Create(fileName)) return Fail(L"Output file cannot be opened for writing");
  // The RIFF size is fixed when the file is closed.
  if (!file.Write("RIFF\0\0\0\0WAVE", 12)) return Fail(L"Wave chunk cannot be created");

  current = settings.settings;
  FormatBytes fileFormat;
  if (current.format.empty() && current.formatTag == format.wFormatTag) {
    fileFormat = CopyFormat(&format);
    if (format.cbSize == 0) fileFormat.resize(16);  // PCM needs no cbSize field
  } else if (!OpenStages(fileFormat)) {
    return false;
  }
  outputRate = AsFormat(fileFormat)->nSamplesPerSec;
  if (!WriteHeaders(fileFormat)) return false;
  dataOpen = true;
  return true;
}

// "fmt ", for compressed data a "fact" chunk whose frame count is filled in at Close, and the "data" header.
bool CWavConvDest::WriteHeaders(const FormatBytes& fileFormat) {
  const DWORD size = static_cast<DWORD>(fileFormat.size());
  const BYTE formatHeader[8] = {'f', 'm', 't', ' ', static_cast<BYTE>(size), static_cast<BYTE>(size >> 8), 0, 0};
  if (!file.Write(formatHeader, sizeof(formatHeader))) return Fail(L"FMT chunk cannot be created");
  if (!file.Write(fileFormat.data(), size) || ((size & 1) && !file.Write("", 1)))
    return Fail(L"Output file cannot be written");
  if (AsFormat(fileFormat)->wFormatTag != WAVE_FORMAT_PCM) {
    factPosition = file.Position() + 8;
    if (!file.Write("fact\4\0\0\0\0\0\0\0", 12)) return Fail(L"Output file cannot be written");
  }
  if (!file.Write("data\0\0\0\0", 8)) return Fail(L"DATA Chunk cannot be created");
  dataStart = file.Position();
  return true;
}

// Chooses one conversion stage, or two through an intermediate PCM format, and the format of the file.
bool CWavConvDest::OpenStages(FormatBytes& fileFormat) {
  const WAVEFORMATEX* chosen = current.Format();
  if (stage1.Open(&format, current.formatTag, chosen, &WriteToFile, this)) {
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
  if (!stage2.Open(&intermediate, current.formatTag, chosen, &WriteToFile, this))
    return Fail(FormatText(kMessageCapacity, L"Conversion stream cannot be opened (ACM error %d)",
                           static_cast<int>(stage2.lastError)));
  fileFormat = CopyFormat(stage2.OutputFormat());
  return true;
}

bool CWavConvDest::WriteToFile(const void* data, DWORD size, void* userData) {
  return static_cast<CWavConvDest*>(userData)->WriteData(data, size);
}

bool CWavConvDest::FeedStage(const void* data, DWORD size, void* userData) {
  return static_cast<ACMconverter*>(userData)->Feed(size, data);
}

bool CWavConvDest::WriteData(const void* data, DWORD size) {
  if (writeFailed) return false;
  // The RIFF size (everything after its first 8 bytes) and the data size are 32-bit fields.
  const unsigned long long riffBytes = dataStart - 8 + dataBytes + size + ((dataBytes + size) & 1);
  if (riffBytes > 0xFFFFFFFFull) {
    LogError(L"Output file would pass the 4 GB limit of the WAV format");
    writeFailed = true;
    return false;
  }
  if (!file.Write(data, size)) {
    ReportWriteFailure();
    return false;
  }
  dataBytes += size;
  return true;
}

void CWavConvDest::ReportWriteFailure() {
  writeFailed = true;
  LogError(L"Output file cannot be written");
  if (std::wstring reason = SystemErrorText(file.LastError()); !reason.empty()) LogInfo(L"%s", reason.c_str());
}

bool CWavConvDest::Write(UINT32 size, const void* data) {
  if (!dataOpen || (!data && size)) return false;
  framesWritten += size / format.nBlockAlign;
  if (!stage1.IsOpen()) return WriteData(data, size);
  if (!stage1.Feed(size, data)) {
    if (!writeFailed) LogError(L"PCM buffer conversion failed (ACM error %d)", static_cast<int>(stage1.lastError));
    return false;
  }
  return true;
}

bool CWavConvDest::Close() {
  CDefConvertDestination::Close();
  bool finished = true;
  if (dataOpen && !writeFailed) {
    // The last partial second goes through both stages, and a block codec's last block is completed,
    // before the file is finished.
    for (ACMconverter* stage : {&stage1, &stage2}) {
      if (finished && stage->IsOpen() && !stage->Finish()) {
        if (!writeFailed) LogError(L"PCM buffer conversion failed (ACM error %d)", static_cast<int>(stage->lastError));
        finished = false;
      }
    }
    if (finished) finished = FinishFile();
  } else if (dataOpen) {
    finished = false;
  }
  stage1.Free();
  stage2.Free();
  current = WAVSETTINGS();
  file.Close();
  dataOpen = false;
  return finished;
}

// Pads the data to an even size and fills in the sizes and the frame count.
bool CWavConvDest::FinishFile() {
  const DWORD dataSize = static_cast<DWORD>(dataBytes);
  const DWORD riffSize = static_cast<DWORD>(dataStart - 8 + dataBytes + (dataBytes & 1));
  const unsigned long long frames =
      static_cast<unsigned long long>(framesWritten) * outputRate / std::max<DWORD>(format.nSamplesPerSec, 1);
  const DWORD frameCount = static_cast<DWORD>(std::min<unsigned long long>(frames, 0xFFFFFFFFull));
  bool ok = (!(dataBytes & 1) || file.Write("", 1)) && file.Seek(4) && file.Write(&riffSize, 4) &&
            file.Seek(dataStart - 4) && file.Write(&dataSize, 4) &&
            (factPosition == 0 || (file.Seek(factPosition) && file.Write(&frameCount, 4))) && file.Flush();
  if (!ok) ReportWriteFailure();
  return ok;
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
