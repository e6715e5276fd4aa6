// The PureVoice QCP source: the codec library decodes whole frames to 8 kHz 16-bit mono.
#include "QCPConvSource.h"

#include <algorithm>
#include <string>
#include <vector>

#include "EngineResources.h"
#include "PcmFormat.h"
#include "Utf8Text.h"

namespace {

const wchar_t kInstallHelp[] = L"https://www.quennet.com/tavrel/help/purevoice";
constexpr DWORD kSamplesPerSecond = 8000;
constexpr WORD kBitsPerSample = 16;
constexpr DWORD kBlockSamples = 32768;  // one read fills at most this many samples

unsigned long code(long value) { return static_cast<unsigned long>(value); }

// The library takes narrow paths. A character the ANSI code page lacks would come out as '?' or as a look-alike
// (best fit), which names no file or another one, so such a path goes by its short name; empty when neither
// form survives.
std::string AnsiPath(const wchar_t* path) {
  bool lossy = false;
  std::string narrow = EncodeText(path, CP_ACP, &lossy);
  if (!lossy && !narrow.empty()) return narrow;
  wchar_t shortPath[MAX_PATH] = {};
  DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  narrow = EncodeText(shortPath, CP_ACP, &lossy);
  return lossy ? std::string() : narrow;
}

}  // namespace

CQCPConvSource::~CQCPConvSource() { Close(); }

bool CQCPConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CQCPConvSource;
  return true;
}

bool CQCPConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  format = WAVEFORMATEX{};
  dataSize = 0;
  library.Reset(LoadLibraryW(L"Qscl.dll"));
  if (!library) {
    Fail(L"QCP library not found");
    LogInfo(L"To install now, see %s", AddReferer(kInstallHelp));
    return false;
  }
  createInstance = reinterpret_cast<QsclCreateInstanceFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "QsclCreateInstance")));
  if (!createInstance) return Fail(L"Can't get QsclCreateInstance");
  if (FAILED(createInstance(ID_QsclFile, IID_IQsclFile, reinterpret_cast<void**>(&file))) || !file)
    return Fail(L"Can't find ID_QsclFile");
  if (FAILED(file->QueryInterface(IID_IQsclError, reinterpret_cast<void**>(&errors))) || !errors)
    return Fail(L"Can't find IQsclError");
  return OpenFile();
}

bool CQCPConvSource::OpenFile() {
  const std::string path = AnsiPath(fileName);
  if (path.empty())
    return Fail(FormatText(kMessageCapacity,
                           L"QCP file name has characters outside the system code page and no short name: %s",
                           fileName));
  QSCL_OPEN_PARAMS params = {};
  params.size = sizeof(params);
  params.path = path.c_str();
  params.fileFormat = ID_QsclFormatQcp;
  params.decodeFormat = ID_QsclFormatPcm;
  params.samplesPerSecond = kSamplesPerSecond;
  params.bitsPerSample = kBitsPerSample;
  if (FAILED(file->Open(&params)))
    return Fail(FormatText(kMessageCapacity, L"Can't open QCP file (error %lX)", code(errors->GetLastErrorCode())));

  QSCL_STREAM_INFO info = {};
  info.size = sizeof(info);
  HRESULT hr = file->GetFrameCount(&frameCount);
  if (SUCCEEDED(hr)) hr = file->GetStreamInfo(&info);
  if (FAILED(hr))
    return Fail(FormatText(kMessageCapacity, L"QCP stream information cannot be read (error %lX)",
                           code(errors->GetLastErrorCode())));
  // Reads are sized in whole frames of one block: a frame larger than the block could never be read.
  if (info.samplesPerFrame == 0 || info.samplesPerFrame > kBlockSamples)
    return Fail(FormatText(kMessageCapacity, L"QCP frame size is not supported (%lu samples)",
                           static_cast<unsigned long>(info.samplesPerFrame)));
  samplesPerFrame = info.samplesPerFrame;

  format = MakePcmFormat(kBitsPerSample, 1, kSamplesPerSecond);
  const unsigned long long bytes = 2ull * samplesPerFrame * frameCount;
  dataSize = static_cast<UINT32>(std::min<unsigned long long>(bytes, 0xFFFFFFFEull));
  return true;
}

bool CQCPConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!sink || !file) return false;
  const DWORD framesPerRead = kBlockSamples / samplesPerFrame;
  if (startTimeMs > 0) {
    const unsigned long long frame = static_cast<unsigned long long>(startTimeMs) * format.nSamplesPerSec /
                                     (static_cast<unsigned long long>(samplesPerFrame) * 1000);
    if (frame >= frameCount) return true;
    HRESULT hr = file->Seek(static_cast<DWORD>(frame));
    if (FAILED(hr)) {
      LogError(L"QCP start position cannot be reached (error %lX)", code(errors->GetLastErrorCode()));
      return false;
    }
  }
  std::vector<short> block(kBlockSamples);
  for (;;) {
    const long count = file->ReadFrames(block.data(), framesPerRead);
    if (count == 0) return true;
    if (count < 0) {
      LogError(L"QCP Read error %d", static_cast<int>(count));
      return false;
    }
    if (static_cast<unsigned long>(count) > kBlockSamples) {
      LogError(L"QCP block buffer too small");
      return false;
    }
    if (!sink->OnData(block.data(), static_cast<UINT32>(count) * 2)) return false;
  }
}

bool CQCPConvSource::Close() {
  CDefConvertSource::Close();
  // The objects' code lives in the library: they go before it is unloaded.
  errors = nullptr;
  file = nullptr;
  createInstance = nullptr;
  library.Reset();
  samplesPerFrame = 0;
  frameCount = 0;
  return true;
}
