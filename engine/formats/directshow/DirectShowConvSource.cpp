// The DirectShow source: graph building, running without a clock, seeking, and positioned reading.
#include "DirectShowConvSource.h"

#include <algorithm>
#include <cstring>

#include "AiffConvSource.h"
#include "AuSource.h"
#include "EngineResources.h"
#include "FlacSource.h"
#include "tavcore_metadata.h"

namespace {

constexpr HRESULT kUnsupportedStream = static_cast<HRESULT>(0x80040240);  // VFW_E_UNSUPPORTED_STREAM
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80040216);           // VFW_E_NOT_FOUND
constexpr DWORD kWaitStepMs = 100;
constexpr long long kUnitsPerSecond = 10000000;  // media time: 100-ns units

const wchar_t kInstallHelp[] = L"To install now, see https://www.quennet.com/tavrel/help/decoders";
// The platform cannot tell a missing decoder from a damaged file or one whose extension lies.
const wchar_t kDamagedHint[] =
    L"If other files of this type convert, this file may be damaged or not be what its name says";
const wchar_t kReinstallHelp[] = L"Try reinstalling, see https://www.quennet.com/tavrel/help/decoders";

HRESULT PlatformGraph(IGraphBuilder** out) {
  return CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(out));
}

std::atomic<CDirectShowConvSource::GraphFactory> graphFactory{&PlatformGraph};
std::atomic<DWORD> stallLimitMs{20000};

// Sample times are rounded to 100 ns, so a frame's time converts back to the nearest frame.
unsigned long long BytesOfTime(const WAVEFORMATEX& pcm, unsigned long long units) {
  unsigned long long frames = (units * pcm.nSamplesPerSec + kUnitsPerSecond / 2) / kUnitsPerSecond;
  return frames * pcm.nBlockAlign;
}

bool HasAiffMagic(const wchar_t* path) {
  UniqueFile file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  char head[12];
  DWORD read = 0;
  return ReadFile(file.Get(), head, sizeof(head), &read, nullptr) && read == sizeof(head) &&
         std::memcmp(head, "FORM", 4) == 0 &&
         (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0);
}

}  // namespace

void CDirectShowConvSource::SetGraphFactory(GraphFactory factory) {
  graphFactory.store(factory ? factory : &PlatformGraph);
}

void CDirectShowConvSource::SetStallLimit(DWORD ms) { stallLimitMs.store(ms); }

CDirectShowConvSource::~CDirectShowConvSource() { Close(); }

HRESULT CDirectShowConvSource::QueryInterface(REFIID iid, void** out) {
  if (out && IsEqualGUID(iid, IID_IPositionedSource)) {
    *out = static_cast<IPositionedSource*>(this);
    AddRef();
    return S_OK;
  }
  return CDefConvertSource::QueryInterface(iid, out);
}

bool CDirectShowConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CDirectShowConvSource;
  return true;
}

bool CDirectShowConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  format = WAVEFORMATEX{};
  dataSize = 0;
  // An empty or missing file is said as such, not as a missing decoder.
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (!GetFileAttributesExW(fileName, GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail(L"Source file was not found");
  if (attributes.nFileSizeHigh == 0 && attributes.nFileSizeLow == 0) return Fail(L"Length of audio data is zero");

  // FLAC is decoded by the engine itself: exactly, at every bit depth, whatever decoders the machine has.
  if (CFlacSource::LooksLikeFlac(fileName)) return OpenOwnReader(CFlacSource::Create());
  // So is AU: the platform's parser may take the header for audio.
  if (CAuSource::CanRead(fileName)) return OpenOwnReader(CAuSource::Create());

  HRESULT failure = S_OK;
  int failedStep = 0;
  if (!BuildGraph(&failure, &failedStep)) {
    ReleaseGraph();
    // AIFF is read on every machine: where the platform builds no graph for it, the engine's own reader takes it.
    if (HasAiffMagic(fileName)) return OpenOwnReader(CAIFFConvSource::Create());
    return ReportGraphFailure(failure, failedStep);
  }
  if (format.nBlockAlign == 0) return Fail(L"Audio format of the file is invalid");

  control = nullptr;
  if (FAILED(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control))) ||
      FAILED(graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events))))
    return Fail(L"DirectShow: Filter graph cannot be controlled");
  if (FAILED(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)))) seeking = nullptr;

  LONGLONG duration = 0;
  GUID timeFormat = GUID_NULL;
  if (seeking && SUCCEEDED(seeking->GetTimeFormat(&timeFormat)) && IsEqualGUID(timeFormat, TIME_FORMAT_MEDIA_TIME) &&
      FAILED(seeking->GetDuration(&duration)))
    duration = 0;
  const unsigned long long ms = duration > 0 ? static_cast<unsigned long long>(duration) / 10000 : 0;
  unsigned long long bytes = ms * format.nBlockAlign * format.nSamplesPerSec / 1000;
  bytes -= bytes % format.nBlockAlign;
  dataSize = static_cast<UINT32>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull - format.nBlockAlign + 1));
  positionStart = 0;
  positionLength = 0;
  positionComplete = false;
  return true;
}

bool CDirectShowConvSource::BuildGraph(HRESULT* failure, int* failedStep) {
  auto fail = [&](HRESULT hr, int step) {
    *failure = hr;
    *failedStep = step;
    return false;
  };
  HRESULT hr = graphFactory.load()(&graph);
  if (FAILED(hr) || !graph) return fail(FAILED(hr) ? hr : E_FAIL, 2);

  renderer = new CMyBaseRenderer(this);
  hr = graph->AddFilter(renderer, CMyBaseRenderer::kFilterName);
  if (FAILED(hr)) return fail(hr, 3);

  ComPtr<IBaseFilter> sourceFilter;
  hr = graph->AddSourceFilter(fileName, L"SRC", &sourceFilter);
  if (FAILED(hr)) return fail(hr, 4);

  // Without a reference clock the graph runs as fast as its filters can go.
  if (SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter))))
    mediaFilter->SetSyncSource(nullptr);

  ComPtr<IEnumPins> pins;
  ComPtr<IPin> output;
  hr = sourceFilter->EnumPins(&pins);
  if (SUCCEEDED(hr)) {
    hr = VFW_E_NOT_FOUND;
    for (IPin* pin = nullptr; pins->Next(1, &pin, nullptr) == S_OK;) {
      ComPtr<IPin> candidate = ComPtr<IPin>::Adopt(pin);
      PIN_DIRECTION direction;
      if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT) {
        output = candidate;
        hr = S_OK;
        break;
      }
    }
  }
  if (FAILED(hr)) return fail(hr, 6);

  hr = graph->Connect(output.Get(), renderer->InputPin());
  if (FAILED(hr)) return fail(hr, 7);
  return true;
}

bool CDirectShowConvSource::ReportGraphFailure(HRESULT hr, int step) {
  const auto code = static_cast<unsigned long>(hr);
  switch (step) {
    case 2:
      return Fail(FormatText(kMessageCapacity, L"DirectShow: Filter graph cannot be instanciated (error %lX)", code));
    case 3:
      return Fail(FormatText(kMessageCapacity, L"DirectShow: Renderer filter cannot be added (error %lX)", code));
    case 4:
      if (hr == kUnsupportedStream) {
        Fail(FormatText(kMessageCapacity, L"Decoding filter for the file format was not installed. (error %lX)", code));
        LogInfo(L"%s", kInstallHelp);
        LogInfo(L"%s", kDamagedHint);
        return false;
      }
      if (hr == kNotFound || hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
          hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
        return Fail(L"Source file was not found");
      Fail(FormatText(kMessageCapacity, L"Source filter could not be loaded. (error %lX)", code));
      LogInfo(L"%s", kReinstallHelp);
      return false;
    case 6:
      return Fail(FormatText(kMessageCapacity, L"Source filter doesn't have output pin (error %lX)", code));
    default:
      Fail(FormatText(kMessageCapacity, L"Decoding filter for the file format was not installed! (error %lX)", code));
      LogInfo(L"%s", kInstallHelp);
      LogInfo(L"%s", kDamagedHint);
      return false;
  }
}

bool CDirectShowConvSource::OpenOwnReader(IConvertSource* reader) {
  ownReader = ComPtr<IConvertSource>::Adopt(reader);
  ownReader->SetCallback(callback);
  ownReader->SetFileName(fileName);
  if (!ownReader->Open()) {
    ownReader = nullptr;
    CDefConvertSource::Close();
    return false;
  }
  ownReader->GetFormat(&format);
  ownReader->GetDataSize(&dataSize, -1, -1);
  return true;
}

void CDirectShowConvSource::OnFormatAccepted(const WAVEFORMATEX& fmt) { format = fmt; }

bool CDirectShowConvSource::OnRendered(const BYTE* data, long size, REFERENCE_TIME position) {
  rendered += static_cast<unsigned long long>(size);
  const UINT32 align = std::max<WORD>(format.nBlockAlign, 1);
  unsigned long long bytePosition =
      position >= 0 ? BytesOfTime(format, static_cast<unsigned long long>(position)) : streamBytes;
  streamBytes = bytePosition + static_cast<unsigned long long>(size);

  // The seek landed before the wanted start (a frame or key-frame boundary): drop the audio up to it.
  const long long before = dropBefore.load();
  if (before >= 0) {
    if (position < 0) {
      dropBefore = -1;
    } else if (position < before) {
      unsigned long long excess = BytesOfTime(format, static_cast<unsigned long long>(before - position));
      excess -= excess % align;
      const unsigned long long dropped = std::min<unsigned long long>(excess, static_cast<unsigned long long>(size));
      data += dropped;
      size -= static_cast<long>(dropped);
      bytePosition += dropped;
      if (size == 0) return true;
      dropBefore = -1;
    } else {
      dropBefore = -1;
    }
  }
  if (dropBytes > 0) {
    const unsigned long long dropped = std::min<unsigned long long>(dropBytes, static_cast<unsigned long long>(size));
    dropBytes -= dropped;
    data += dropped;
    size -= static_cast<long>(dropped);
    if (size == 0) return true;
  }
  if (sink && !stopFlag) {
    if (!sink->OnData(data, static_cast<UINT32>(size))) {
      stopFlag = true;
      return false;
    }
  }
  if (positioning) FillPositionedFile(data, size, bytePosition);
  return true;
}

bool CDirectShowConvSource::SeekTo(int ms, const wchar_t* formatFailure, const wchar_t* seekFailure, bool asError) {
  HRESULT hr = seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
  if (FAILED(hr)) {
    if (asError)
      LogError(formatFailure, static_cast<unsigned long>(hr));
    else
      LogInfo(formatFailure, static_cast<unsigned long>(hr));
    return false;
  }
  LONGLONG start = static_cast<LONGLONG>(ms) * 10000;
  hr = seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  if (FAILED(hr)) {
    if (asError)
      LogError(seekFailure, static_cast<unsigned long>(hr));
    else
      LogInfo(seekFailure, static_cast<unsigned long>(hr));
    return false;
  }
  return true;
}

bool CDirectShowConvSource::ReadAll(IPlayCallback* target) {
  if (!CDefConvertSource::ReadAll(target)) return false;
  if (ownReader) {
    ownReader->SetStartTime(startTimeMs);
    return ownReader->ReadAll(target);
  }
  if (!target) return false;
  positioning = false;
  dropBefore = -1;
  dropBytes = 0;
  streamBytes = 0;
  if (startTimeMs > 0) {
    // A start the stream cannot seek to is reached by decoding from the beginning and dropping what comes before.
    const bool sought =
        seeking &&
        SeekTo(startTimeMs, L"DirectShow: Failed to set time format (error %lX)",
               L"DirectShow: Seeking failed, the audio before the start is decoded and skipped (error %lX)", false);
    if (sought) {
      dropBefore = static_cast<long long>(startTimeMs) * 10000;
    } else {
      dropBytes = BytesOfTime(format, static_cast<unsigned long long>(startTimeMs) * 10000);
    }
  } else if (seeking) {
    // A graph used before (positioned reading) starts again from the beginning.
    LONGLONG zero = 0;
    seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  sink = target;
  stopFlag = false;
  bool ok = RunToEnd(false);
  sink = nullptr;
  // A refusing sink has said why (a write failure, a cancel, the end of the wanted range).
  return ok && !stopFlag;
}

bool CDirectShowConvSource::RunToEnd(bool untilPositioned) {
  HRESULT hr = control->Run();
  if (FAILED(hr)) {
    LogError(L"Media control run failed: %lX", static_cast<unsigned long>(hr));
    control->Stop();
    return false;
  }
  // Waits with a time-out, so the thread sleeps while the decoder works; a decoder that delivers nothing for
  // the stall limit has hung, however long the file.
  bool ok = true;
  unsigned long long lastRendered = rendered;
  DWORD idleMs = 0;
  // The renderer's own completion is waited for: the graph's may still hold the end of an earlier run.
  for (;;) {
    const DWORD waited = WaitForSingleObject(renderer->CompletionEvent(), kWaitStepMs);
    if (stopFlag || (untilPositioned && !positioning)) break;
    if (waited == WAIT_OBJECT_0) break;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
      events->FreeEventParams(code, first, second);
      if (code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED) {
        LogError(L"DirectShow: Decoding ended with an error (error %lX)", static_cast<unsigned long>(first));
        ok = false;
      }
    }
    if (!ok) break;
    if (callback && callback->IsCancelled()) {
      ok = false;
      break;
    }
    const unsigned long long now = rendered;
    idleMs = now == lastRendered ? idleMs + kWaitStepMs : 0;
    lastRendered = now;
    if (idleMs >= stallLimitMs.load()) {
      LogError(L"DirectShow: The decoder stopped delivering audio for %u seconds; the file is given up",
               static_cast<unsigned>(idleMs / 1000));
      ok = false;
      break;
    }
  }
  control->Stop();
  return ok;
}

void CDirectShowConvSource::FillPositionedFile(const BYTE* data, long size, unsigned long long bytePosition) {
  const unsigned long long wantedFrom = positionStart + positionLength;
  const unsigned long long end = bytePosition + static_cast<unsigned long long>(size);
  if (end <= wantedFrom) return;
  const unsigned long long skip = bytePosition < wantedFrom ? wantedFrom - bytePosition : 0;
  if (bytePosition > wantedFrom) return;  // a gap would misplace the data: the read ends here
  DWORD written = 0;
  const DWORD count = static_cast<DWORD>(end - bytePosition - skip);
  if (WriteFile(positionFile.Get(), data + skip, count, &written, nullptr)) positionLength += written;
  if (positionLength >= positionWanted) positioning = false;
}

bool CDirectShowConvSource::ReadAt(UINT32 offset, void* buffer, UINT32 size, UINT32* read) {
  if (!read || (!buffer && size)) return false;
  *read = 0;
  if (!opened) {
    LogError(L"Source object is not opened");
    return false;
  }
  if (ownReader || !graph) {
    LogError(L"Positioned reading is not available for this file");
    return false;
  }
  const UINT32 align = format.nBlockAlign;
  offset -= offset % align;
  const unsigned long long have = positionLength;
  const bool covered = positionFile && offset >= positionStart &&
                       (offset + static_cast<unsigned long long>(size) <= positionStart + have ||
                        (positionComplete && offset <= positionStart + have));
  if (!covered) {
    if (!seeking) {
      LogError(L"MediaSeeking object not availabe.");
      return false;
    }
    if (!positionFile) {
      wchar_t folder[MAX_PATH], path[MAX_PATH];
      ACTempPath(folder);
      if (!GetTempFileNameW(folder, L"tds", 0, path)) {
        LogError(L"Cannot create temp file");
        return false;
      }
      positionPath = path;
      positionFile.Reset(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_TEMPORARY, nullptr));
      if (!positionFile) {
        positionFile.Reset();
        DeleteFileW(path);
        LogError(L"Cannot create temp file");
        return false;
      }
    }
    SetFilePointer(positionFile.Get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(positionFile.Get());
    positionStart = offset;
    positionLength = 0;
    // Decoding ahead of the request saves restarting the graph for the next one.
    positionWanted = std::max<unsigned long long>(size, static_cast<unsigned long long>(format.nAvgBytesPerSec) * 4);
    const int ms = static_cast<int>(static_cast<unsigned long long>(offset) * 1000 / format.nAvgBytesPerSec);
    if (!SeekTo(ms, L"Media set time format failed. (error %lX)", L"DirectShow: Seeking failed. (error %lX)", true))
      return false;
    dropBefore = -1;
    dropBytes = 0;
    streamBytes = BytesOfTime(format, static_cast<unsigned long long>(ms) * 10000);
    stopFlag = false;
    positioning = true;
    bool ok = RunToEnd(true);
    const bool reachedWanted = !positioning;
    positioning = false;
    if (!ok) return false;
    positionComplete = !reachedWanted;
  }
  const unsigned long long available = positionStart + positionLength - offset;
  const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(size, available));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset - positionStart);
  DWORD got = 0;
  if (want && (!SetFilePointerEx(positionFile.Get(), at, nullptr, FILE_BEGIN) ||
               !ReadFile(positionFile.Get(), buffer, want, &got, nullptr)))
    return false;
  LARGE_INTEGER end = {};
  SetFilePointerEx(positionFile.Get(), end, nullptr, FILE_END);
  *read = got;
  return true;
}

void CDirectShowConvSource::ReleaseGraph() {
  if (control) control->Stop();
  seeking = nullptr;
  events = nullptr;
  control = nullptr;
  mediaFilter = nullptr;
  graph = nullptr;
  if (renderer) renderer->Release();
  renderer = nullptr;
}

bool CDirectShowConvSource::Close() {
  CDefConvertSource::Close();
  ReleaseGraph();
  if (ownReader) ownReader->Close();
  ownReader = nullptr;
  positionFile.Reset();
  if (!positionPath.empty()) DeleteFileW(positionPath.c_str());
  positionPath.clear();
  positioning = false;
  return true;
}

bool CDirectShowConvSource::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(MetadataCreateFromFile(fileName, out));
}
