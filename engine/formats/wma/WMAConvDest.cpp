// The Windows Media destination: the SDK's writer takes the PCM as it comes; with preprocessing passes the PCM
// goes to the encoder's analysis and to a pass file at once, so the source is decoded only once.
#include "WMAConvDest.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "EngineResources.h"
#include "PathText.h"
#include "WMSdk.h"
#include "WMSyncReader.h"
#include "tavcore_metadata.h"

namespace {

constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr unsigned long long kUnitsPerSecond = 10000000;

}  // namespace

CWMAConvDest::CWMAConvDest() { settings.LoadSettings(settings.settings); }

CWMAConvDest::~CWMAConvDest() { Close(); }

bool CWMAConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CWMAConvDest;
  return true;
}

void CWMAConvDest::ReportSdkError(const wchar_t* message, HRESULT hr) {
  LogError(message, ErrorCode(hr));
  const std::wstring description = WindowsMediaErrorText(hr);
  if (!description.empty()) LogError(L"%s", description.c_str());
}

bool CWMAConvDest::FailSdk(const wchar_t* message, HRESULT hr) {
  Close();
  ReportSdkError(message, hr);
  return false;
}

bool CWMAConvDest::Open() {
  if (!CDefConvertDestination::Open()) return false;
  bytesWritten = 0;
  time = 0;
  passesLeft = passesPlanned = 0;
  writeFailed = false;
  HRESULT hr = CreateWriter(&writer);
  if (IsMissingSdk(hr)) {
    Close();
    LogError(L"Windows Media update is required. See %s", AddReferer(kWindowsMediaUpdateHelp));
    return false;
  }
  if (FAILED(hr) || !writer) return FailSdk(L"Writer cannot be created (error %lX)", FAILED(hr) ? hr : E_POINTER);
  if (FAILED(writer->QueryInterface(__uuidof(IWMWriterPreprocess), reinterpret_cast<void**>(&preprocess))))
    preprocess = nullptr;
  return OpenWriter();
}

bool CWMAConvDest::OpenWriter() {
  WMACodecInfo codecs;
  ComPtr<IWMProfile> profile;
  HRESULT hr = codecs.Open();
  if (SUCCEEDED(hr)) hr = BuildProfile(codecs, settings.settings, &profile);
  if (FAILED(hr)) {
    ReportSdkError(L"The Encoding Settings are invalid (error %lX)", hr);
    LogInfo(L"To avoid this error, please open the Encoding Settings dialog");
    // Without even the built-in profile the platform's encoder is missing or too old.
    if (FAILED(LoadDefaultProfile(codecs.Manager(), &profile)) || !profile) {
      Close();
      LogError(L"Windows Media update is required. See %s", AddReferer(kWindowsMediaUpdateHelp));
      return false;
    }
    LogInfo(L"Using default encoding settings: Windows Media Audio 9; 128 kbps; Variable Bitrate");
  }
  hr = writer->SetProfile(profile.Get());
  if (FAILED(hr)) return FailSdk(L"WMA encoding profile cannot be set (error %lX)", hr);
  if (!FindAudioInput() || !DescribeInput()) return false;
  hr = writer->SetOutputFilename(fileName);
  if (FAILED(hr)) return FailSdk(L"Output filename was not accepted by WMA encoder (error %lX)", hr);
  hr = writer->BeginWriting();
  if (FAILED(hr)) return FailSdk(L"Writing process cannot be started (error %lX)", hr);
  writing = true;

  DWORD maximum = 0;
  if (preprocess && SUCCEEDED(preprocess->GetMaxPreprocessingPasses(audioInput, 0, &maximum)))
    passesLeft = SUCCEEDED(preprocess->SetNumPreprocessingPasses(audioInput, 0, maximum)) ? maximum : 0;
  passesPlanned = passesLeft;
  if (passesLeft > 0) {
    hr = preprocess->BeginPreprocessingPass(audioInput, 0);
    if (FAILED(hr)) return FailSdk(L"Preprocessing pass cannot be started (error %lX)", hr);
    // Without the pass file the final pass would have nothing to encode.
    if (!passFile.Create(L"wpp")) {
      Close();
      LogError(L"Temporary file cannot be created");
      return false;
    }
    copyingToPassFile = true;
  }
  return true;
}

bool CWMAConvDest::FindAudioInput() {
  DWORD inputs = 0;
  HRESULT hr = writer->GetInputCount(&inputs);
  if (FAILED(hr)) return FailSdk(L"Number of input properties cannot be retrieved (error %lX)", hr);
  for (DWORD i = 0; i < inputs; ++i) {
    ComPtr<IWMInputMediaProps> props;
    hr = writer->GetInputProps(i, &props);
    if (FAILED(hr) || !props) return FailSdk(L"Input property cannot be retrieved (error %lX)", FAILED(hr) ? hr : E_POINTER);
    GUID type = {};
    hr = props->GetType(&type);
    if (FAILED(hr)) return FailSdk(L"Type of input property cannot be retrieved (error %lX)", hr);
    if (IsEqualGUID(type, kWmMediaTypeAudio)) {
      audioInput = i;
      return true;
    }
  }
  return FailSdk(L"Audio properties not found (error #%lX)", hr);
}

bool CWMAConvDest::DescribeInput() {
  ComPtr<IWMInputMediaProps> props;
  HRESULT hr = writer->GetInputProps(audioInput, &props);
  if (FAILED(hr) || !props) return FailSdk(L"Input property cannot be retrieved (error %lX)", FAILED(hr) ? hr : E_POINTER);
  // The PCM the job hands over carries no extra format bytes.
  WAVEFORMATEX wave = format;
  wave.cbSize = 0;
  WM_MEDIA_TYPE type = {};
  type.majortype = kWmMediaTypeAudio;
  type.subtype = kSubtypePcm;
  type.bFixedSizeSamples = TRUE;
  type.bTemporalCompression = FALSE;
  type.lSampleSize = wave.wBitsPerSample / 8;
  type.formattype = kWmFormatWaveFormatEx;
  type.cbFormat = sizeof(WAVEFORMATEX);
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
  hr = props->SetMediaType(&type);
  if (FAILED(hr)) return FailSdk(L"Media type cannot be set (error %lX)", hr);
  hr = writer->SetInputProps(audioInput, props.Get());
  if (FAILED(hr)) {
    FailSdk(L"Input properties cannot be set (error %lX)", hr);
    LogInfo(L"Source format is %d kHz, %d bit, %s", static_cast<int>(format.nSamplesPerSec / 1000),
            format.wBitsPerSample, format.nChannels == 1 ? L"mono" : L"stereo");
    return false;
  }
  return true;
}

bool CWMAConvDest::Write(UINT32 size, const void* data) {
  if (!CDefConvertDestination::Write(size, data)) return false;
  if (!writer || !writing || (!data && size)) return false;
  return WriteBlock(size, data);
}

bool CWMAConvDest::WriteBlock(UINT32 size, const void* data) {
  ComPtr<INSSBuffer> sample;
  HRESULT hr = writer->AllocateSample(size, &sample);
  if (FAILED(hr) || !sample) {
    writeFailed = true;
    ReportSdkError(L"Sample cannot be allocated (error %lX)", FAILED(hr) ? hr : E_POINTER);
    return false;
  }
  BYTE* buffer = nullptr;
  DWORD length = 0;
  hr = sample->GetBufferAndLength(&buffer, &length);
  if (FAILED(hr)) {
    writeFailed = true;
    ReportSdkError(L"Buffer and length cannot be retrieved (error %lX)", hr);
    return false;
  }
  if (length != size || (!buffer && size)) {
    writeFailed = true;
    LogError(L"Buffer too small");
    return false;
  }
  if (size) std::memcpy(buffer, data, size);
  const bool preprocessing = passesLeft > 0;
  hr = preprocessing ? preprocess->PreprocessSample(audioInput, time, 0, sample.Get())
                     : writer->WriteSample(audioInput, time, 0, sample.Get());
  if (FAILED(hr)) {
    writeFailed = true;
    ReportSdkError(preprocessing ? L"Sample cannot be preprocessed (error %lX)" : L"Sample cannot be processed (error %lX)",
                   hr);
    return false;
  }
  if (preprocessing && copyingToPassFile && !passFile.Write(data, size)) {
    writeFailed = true;
    LogError(L"Temporary file cannot be written");
    return false;
  }
  bytesWritten += size;
  if (format.nAvgBytesPerSec) time += static_cast<unsigned long long>(size) * kUnitsPerSecond / format.nAvgBytesPerSec;
  return true;
}

void CWMAConvDest::ReplayPasses(bool& cancelled, bool& empty) {
  std::vector<BYTE> block(format.nAvgBytesPerSec ? format.nAvgBytesPerSec : 1);
  while (passesLeft > 0 && !cancelled && !writeFailed) {
    HRESULT hr = preprocess->EndPreprocessingPass(audioInput, 0);
    if (FAILED(hr)) {
      writeFailed = true;
      ReportSdkError(L"Preprocessing pass cannot be ended (error %lX)", hr);
      return;
    }
    --passesLeft;
    if (passFile.Size() == 0) {
      LogError(L"Source file doesn't contain audio: Nothing to do!");
      empty = cancelled = true;
      return;
    }
    passFile.Seek(0);
    if (passesLeft > 0) {
      hr = preprocess->BeginPreprocessingPass(audioInput, 0);
      if (FAILED(hr)) {
        writeFailed = true;
        ReportSdkError(L"Preprocessing pass cannot be started (error %lX)", hr);
        return;
      }
      copyingToPassFile = false;
    }
    if (callback) {
      const int pass = static_cast<int>(passesPlanned - passesLeft) + 1;
      callback->SetStatusText(FormatText(64, L"Pass %d:", pass).c_str());
      callback->SetProgressPos(0);
    }
    time = 0;
    bytesWritten = 0;
    for (;;) {
      const long long got = passFile.Read(block.data(), static_cast<UINT32>(block.size()));
      if (got < 0) {
        writeFailed = true;
        LogError(L"Temporary file cannot be read");
        return;
      }
      if (got == 0) break;
      if (!WriteBlock(static_cast<UINT32>(got), block.data())) return;
      if (callback) {
        callback->StepProgress(static_cast<int>(got));
        if (callback->IsCancelled()) {
          cancelled = true;
          break;
        }
      }
    }
  }
}

bool CWMAConvDest::Close() {
  if (!writer) return true;
  bool cancelled = callback && callback->IsCancelled();
  bool empty = false;
  if (writing) ReplayPasses(cancelled, empty);
  passFile.Delete();
  copyingToPassFile = false;
  passesLeft = 0;
  if (writing) {
    const HRESULT hr = writer->EndWriting();
    if (FAILED(hr) && !cancelled) {
      writeFailed = true;
      ReportSdkError(L"Writing process cannot be finished (error %lX)", hr);
    }
  }
  const bool written = writing;
  writing = false;
  preprocess = nullptr;
  writer = nullptr;
  // Only a file that was really written in full goes to the library.
  if (written && !cancelled && !empty && !writeFailed) AddToMediaLibrary(nullptr, fileName);
  return true;
}

bool CWMAConvDest::GetMetadata(IMetadata** out) {
  if (!out || !fileName[0]) return false;
  return SUCCEEDED(MetadataCreateFromFile(fileName, out)) && *out;
}

bool CWMAConvDest::ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) {
  settings.source = source;
  return settings.ShowForDestination<CWMAConvDest>(parent, alsoApplyTo, CLSID_CWMAConvDest);
}

bool CWMAConvDest::GetSettingsText(wchar_t* buf, int cch) {
  if (!buf || cch <= 0) return false;
  return CopyTruncated(buf, cch, DescribeWmaSettings(settings.settings));
}

bool CWMAConvDest::SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) {
  std::wstring error;
  if (SetWmaOption(settings.settings, name, value, error)) return true;
  if (errorText && !error.empty()) CopyTruncated(errorText, kOptionErrorCapacity, error);
  return false;
}

bool CWMAConvDest::EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) {
  if (!srcFormat || !outBytes || srcFormat->nAvgBytesPerSec == 0) return false;
  const WMASETTINGS& chosen = settings.settings;
  WMACodecInfo codecs;
  if (FAILED(codecs.Open())) return false;
  if (chosen.mode <= 2 && FAILED(codecs.ApplyMode(chosen.codec, chosen.mode))) return false;
  ComPtr<IWMStreamConfig> config;
  DWORD bitrate = 0;
  if (FAILED(codecs.Format(chosen.codec, chosen.format, &config, nullptr)) || !config ||
      FAILED(config->GetBitrate(&bitrate)))
    return false;
  *outBytes = static_cast<UINT32>(static_cast<double>(srcBytes) / srcFormat->nAvgBytesPerSec * bitrate * 0.125);
  return true;
}
