// The Windows Media source: the SDK's synchronous reader hands out PCM samples of the file's first audio output.
#include "WMAConvSource.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "EngineResources.h"
#include "PcmFormat.h"
#include "WMSdk.h"
#include "WMSyncReader.h"
#include "tavcore_metadata.h"

namespace {

constexpr GUID kIidHeaderInfo = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
constexpr HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCF);
constexpr long long kUnitsPerMs = 10000;

const wchar_t kOpenHelp[] = L"https://www.quennet.com/tavrel/help/windows-media-files";

}  // namespace

CWMAConvSource::~CWMAConvSource() { Close(); }

bool CWMAConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CWMAConvSource;
  return true;
}

bool CWMAConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  format = WAVEFORMATEX{};
  dataSize = 0;
  duration = 0;
  streamNumber = 0;
  HRESULT hr = CreateSyncReader(&reader);
  if (IsMissingSdk(hr))
    return Fail(
        FormatText(kMessageCapacity, L"Windows Media update is required. Please see %s", AddReferer(kWindowsMediaUpdateHelp)));
  if (FAILED(hr) || !reader)
    return Fail(FormatText(kMessageCapacity, L"Reader cannot be created (error %lX)", ErrorCode(hr)));
  hr = reader->Open(fileName);
  if (FAILED(hr)) {
    Fail(FormatText(kMessageCapacity, L"Source file cannot be opened (error %lX)", ErrorCode(hr)));
    LogInfo(L"See also: %s", AddReferer(kOpenHelp));
    return false;
  }
  if (!FindAudioOutput()) return false;
  ReadDuration();
  if (FAILED(reader->GetStreamNumberForOutput(audioOutput, &streamNumber))) {
    streamNumber = 0;
    LogInfo(L"Warning: Stream number for audio output cannot be retrieved");
  }
  // A tenth of a millisecond's bytes times the duration in tenths of milliseconds, in whole frames.
  const double bytes = (format.nAvgBytesPerSec / 100.0f) * static_cast<double>(duration / 100000);
  const double limit = 0xFFFFFFFFu - 0xFFFFFFFFu % format.nBlockAlign;
  dataSize = static_cast<UINT32>(std::min(bytes, limit));
  dataSize -= dataSize % format.nBlockAlign;
  return true;
}

bool CWMAConvSource::FindAudioOutput() {
  DWORD outputs = 0;
  HRESULT hr = reader->GetOutputCount(&outputs);
  if (FAILED(hr))
    return Fail(FormatText(kMessageCapacity, L"Number of output properties cannot be retrieved (error %lX)", ErrorCode(hr)));
  for (DWORD i = 0; i < outputs; ++i) {
    ComPtr<IWMOutputMediaProps> props;
    hr = reader->GetOutputProps(i, &props);
    if (FAILED(hr))
      return Fail(FormatText(kMessageCapacity, L"Output properties cannot be retrieved (error %lX)", ErrorCode(hr)));
    GUID type;
    hr = props->GetType(&type);
    if (FAILED(hr))
      return Fail(FormatText(kMessageCapacity, L"Type of output property cannot be retrieved (error %lX)", ErrorCode(hr)));
    if (!IsEqualGUID(type, kWmMediaTypeAudio)) continue;

    audioOutput = i;
    DWORD size = 0;
    std::vector<BYTE> buffer;
    hr = props->GetMediaType(nullptr, &size);
    if (SUCCEEDED(hr) && size >= sizeof(WM_MEDIA_TYPE)) {
      buffer.resize(size);
      hr = props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &size);
    }
    const auto* media = reinterpret_cast<const WM_MEDIA_TYPE*>(buffer.data());
    if (FAILED(hr) || buffer.empty() || !IsEqualGUID(media->majortype, kWmMediaTypeAudio) ||
        !IsEqualGUID(media->formattype, kWmFormatWaveFormatEx) || !PcmFormatOf(media->pbFormat, media->cbFormat, &format))
      return Fail(L"Audio format of WMA is invalid");
    return true;
  }
  return Fail(L"Windows Media file does not contain audio");
}

void CWMAConvSource::ReadDuration() {
  ComPtr<IWMHeaderInfo> header;
  if (FAILED(reader->QueryInterface(kIidHeaderInfo, reinterpret_cast<void**>(&header)))) {
    LogInfo(L"Windows Media reader does not support header information interface");
    return;
  }
  WORD stream = 0;
  WMT_ATTR_DATATYPE type;
  QWORD value = 0;
  WORD length = sizeof(value);
  if (SUCCEEDED(header->GetAttributeByName(&stream, L"Duration", &type, reinterpret_cast<BYTE*>(&value), &length)) &&
      type == WMT_TYPE_QWORD)
    duration = value;
}

bool CWMAConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!sink) return false;
  // Samples that begin before the start are cut to it: a range starts at the reader's nearest frame, and a
  // reader that cannot set the range delivers everything from the beginning.
  QWORD startTime = 0;
  if (startTimeMs > 0) {
    startTime = static_cast<QWORD>(startTimeMs) * kUnitsPerMs;
    HRESULT hr = reader->SetRange(startTime, 0);
    if (FAILED(hr)) LogInfo(L"Reader range cannot be set (error %lX)", ErrorCode(hr));
  }
  const WORD align = format.nBlockAlign;
  for (;;) {
    ComPtr<INSSBuffer> sample;
    QWORD time = 0, length = 0;
    DWORD flags = 0, output = 0;
    WORD stream = 0;
    HRESULT hr = reader->GetNextSample(streamNumber, &sample, &time, &length, &flags, &output, &stream);
    if (hr == kNoMoreSamples) return true;
    if (FAILED(hr)) {
      LogError(L"Windows Media sample reading failed (error %lX)", ErrorCode(hr));
      std::wstring description = SystemErrorText(ErrorCode(hr));
      if (!description.empty()) LogInfo(L"%s", description.c_str());
      return false;
    }
    if (!sample || output != audioOutput) continue;
    BYTE* data = nullptr;
    DWORD size = 0;
    hr = sample->GetBufferAndLength(&data, &size);
    if (FAILED(hr)) {
      LogError(L"Buffer and length of sample cannot be retrieved (error %lX)", ErrorCode(hr));
      return false;
    }
    size -= size % align;
    if (time < startTime) {
      const unsigned long long before = (startTime - time) * format.nSamplesPerSec / (kUnitsPerMs * 1000) * align;
      const DWORD cut = static_cast<DWORD>(std::min<unsigned long long>(before, size));
      data += cut;
      size -= cut;
    }
    if (size && !sink->OnData(data, size)) return false;
  }
}

bool CWMAConvSource::Close() {
  CDefConvertSource::Close();
  if (reader) reader->Close();
  reader = nullptr;
  return true;
}

bool CWMAConvSource::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(MetadataCreateFromFile(fileName, out));
}
