// A stand-in for the PureVoice codec library, for tests. It keeps the library's contract (record checks, frame
// reads, seeking, the error interface's last code) and opens the narrow path it is given, so a path that went
// wrong on the way fails as it would with the library. Its files are a small format of the tests' own:
//   "QCPT", u32 samples per frame, u32 frame count as reported, u32 behaviour, i32 value, u32 good reads,
//   then the frames' 16-bit samples.
// Behaviours: 0 serve the frames; 1 refuse to open with code `value`; 2 after `good reads` reads, return
// `value` from each read; 3 stream information fails with code `value`.
// Every call is appended to the file named by TAVREL_FAKE_QSCL_LOG. TAVREL_FAKE_QSCL_FAIL=create makes the
// creation fail, =error makes the file object deny the error interface.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Qscl.h"

namespace {

constexpr long kInvalidParameter = ERROR_INVALID_PARAMETER;
constexpr long kNotOpen = ERROR_INVALID_HANDLE;

void LogLine(const std::string& text) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("TAVREL_FAKE_QSCL_LOG", path, MAX_PATH)) return;
  if (FILE* log = std::fopen(path, "ab")) {
    std::fprintf(log, "%s\n", text.c_str());
    std::fclose(log);
  }
}

bool FailureAsked(const char* step) {
  char setting[32];
  return GetEnvironmentVariableA("TAVREL_FAKE_QSCL_FAIL", setting, sizeof(setting)) && std::strcmp(setting, step) == 0;
}

DWORD Word(const std::string& bytes, size_t offset) {
  DWORD value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

class FakeFile final : public IQsclFile, public IQsclError {
 public:
  ~FakeFile() { LogLine("destroyed"); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IQsclFile))
      *out = static_cast<IQsclFile*>(this);
    else if (IsEqualGUID(iid, IID_IQsclError) && !FailureAsked("error"))
      *out = static_cast<IQsclError*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Open(const QSCL_OPEN_PARAMS* params) override {
    if (!params || params->size != sizeof(QSCL_OPEN_PARAMS) || !params->path) return Failed(kInvalidParameter);
    LogLine(std::string("open ") + params->path);
    if (!IsEqualGUID(params->fileFormat, ID_QsclFormatQcp) || !IsEqualGUID(params->decodeFormat, ID_QsclFormatPcm) ||
        params->samplesPerSecond != 8000 || params->bitsPerSample != 16)
      return Failed(kInvalidParameter);
    HANDLE handle = CreateFileA(params->path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failed(static_cast<long>(GetLastError()));
    std::string bytes(GetFileSize(handle, nullptr), '\0');
    DWORD read = 0;
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(handle);
    if (read != bytes.size() || bytes.size() < 24 || bytes.compare(0, 4, "QCPT") != 0) return Failed(0xBAD);
    samplesPerFrame = Word(bytes, 4);
    reportedFrames = Word(bytes, 8);
    behaviour = Word(bytes, 12);
    value = static_cast<long>(Word(bytes, 16));
    goodReads = Word(bytes, 20);
    if (behaviour == 1) return Failed(value);
    samples.resize((bytes.size() - 24) / 2);
    std::memcpy(samples.data(), bytes.data() + 24, samples.size() * 2);
    opened = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFrameCount(DWORD* frames) override {
    if (!opened) return Failed(kNotOpen);
    *frames = reportedFrames;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamInfo(QSCL_STREAM_INFO* info) override {
    if (!opened) return Failed(kNotOpen);
    if (!info || info->size != sizeof(QSCL_STREAM_INFO)) return Failed(kInvalidParameter);
    if (behaviour == 3) return Failed(value);
    info->samplesPerFrame = samplesPerFrame;
    info->samplesPerSecond = 8000;
    info->bitsPerSecond = 13300;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(DWORD frame) override {
    LogLine("seek " + std::to_string(frame));
    if (!opened) return Failed(kNotOpen);
    if (frame > reportedFrames) return Failed(ERROR_SEEK);
    position = frame;
    return S_OK;
  }
  long STDMETHODCALLTYPE ReadFrames(short* buffer, DWORD frames) override {
    LogLine("read " + std::to_string(frames));
    if (!opened) return -kNotOpen;
    if (behaviour == 2 && reads++ >= goodReads) return value;
    const size_t stored = samplesPerFrame ? samples.size() / samplesPerFrame : 0;
    if (position >= stored) return 0;
    const size_t count = std::min<size_t>(frames, stored - position) * samplesPerFrame;
    std::memcpy(buffer, samples.data() + position * samplesPerFrame, count * 2);
    position += count / samplesPerFrame;
    return static_cast<long>(count);
  }

  long STDMETHODCALLTYPE GetLastErrorCode() override { return lastError; }

 private:
  HRESULT Failed(long code) {
    lastError = code;
    return E_FAIL;
  }

  ULONG references = 1;
  bool opened = false;
  long lastError = 0;
  DWORD samplesPerFrame = 0, reportedFrames = 0, behaviour = 0, goodReads = 0, reads = 0;
  long value = 0;
  size_t position = 0;
  std::vector<short> samples;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI QsclCreateInstance(REFCLSID classId, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(classId, ID_QsclFile) || FailureAsked("create")) return CLASS_E_CLASSNOTAVAILABLE;
  auto* file = new FakeFile();
  HRESULT hr = file->QueryInterface(iid, out);
  file->Release();
  return hr;
}
