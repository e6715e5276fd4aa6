// The push source and its output pin CMySourceStream, with the streaming thread that reads the PCM file.
#include "MySource.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "FilterParts.h"
#include "UniqueHandles.h"
#include "tavcore_guids.h"

namespace {
const wchar_t kPinName[] = L"Out";
constexpr DWORD kWaitStepMs = 100;
constexpr long kBuffers = 4;
constexpr long long kUnitsPerSecond = 10000000;
}  // namespace

class CMySourceStream final : public IPin {
 public:
  CMySourceStream(CMySource* filter, const WAVEFORMATEX& pcm, const std::wstring& dataPath)
      : filter(filter), pcm(pcm), dataPath(dataPath) {
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = pcm.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(WAVEFORMATEX);
    type.pbFormat = reinterpret_cast<BYTE*>(&this->pcm);
    this->pcm.cbSize = 0;
    wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  ~CMySourceStream() {
    StopStreaming();
    Disconnect();
    if (wake) CloseHandle(wake);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPin)) {
      *out = static_cast<IPin*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return filter->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return filter->Release(); }

  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* wanted) override {
    if (!receiver) return E_POINTER;
    CriticalSectionLock hold(filter->lock);
    if (peer) return VFW_E_ALREADY_CONNECTED;
    if (filter->state != State_Stopped) return VFW_E_NOT_STOPPED;
    // A partial type from the graph must agree with the one type offered.
    if (wanted && ((!IsEqualGUID(wanted->majortype, GUID_NULL) && !IsEqualGUID(wanted->majortype, type.majortype)) ||
                   (!IsEqualGUID(wanted->subtype, GUID_NULL) && !IsEqualGUID(wanted->subtype, type.subtype))))
      return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receiver->ReceiveConnection(this, &type);
    if (FAILED(hr)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (FAILED(receiver->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)))) {
      receiver->Disconnect();
      return E_NOINTERFACE;
    }
    hr = DecideAllocator();
    if (FAILED(hr)) {
      input->Release();
      input = nullptr;
      receiver->Disconnect();
      return hr;
    }
    peer = receiver;
    peer->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE Disconnect() override {
    CriticalSectionLock hold(filter->lock);
    if (!peer) return S_FALSE;
    if (allocator) allocator->Release();
    if (input) input->Release();
    peer->Release();
    allocator = nullptr;
    input = nullptr;
    peer = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** out) override {
    if (!out) return E_POINTER;
    CriticalSectionLock hold(filter->lock);
    *out = peer;
    if (!peer) return VFW_E_NOT_CONNECTED;
    peer->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* out) override {
    if (!out) return E_POINTER;
    CriticalSectionLock hold(filter->lock);
    if (!peer) {
      std::memset(out, 0, sizeof(*out));
      return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(out, type);
  }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
    if (!info) return E_POINTER;
    info->pFilter = filter;
    filter->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcscpy_s(info->achName, kPinName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override {
    if (!dir) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    if (!id) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kPinName)));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, kPinName, sizeof(kPinName));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* candidate) override {
    return candidate && IsEqualGUID(candidate->majortype, type.majortype) &&
                   IsEqualGUID(candidate->subtype, type.subtype) &&
                   IsEqualGUID(candidate->formattype, type.formattype) &&
                   candidate->cbFormat >= sizeof(PCMWAVEFORMAT) &&
                   std::memcmp(candidate->pbFormat, &pcm, sizeof(PCMWAVEFORMAT)) == 0
               ? S_OK
               : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    *out = NewMediaTypeEnum(&type);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  // Called with the filter's lock held.
  HRESULT StartStreaming() {
    if (thread || !peer) return S_OK;
    HRESULT hr = allocator->Commit();
    if (FAILED(hr)) return hr;
    exitRequested = false;
    thread = CreateThread(nullptr, 0, &StreamThread, this, 0, nullptr);
    return thread ? S_OK : HRESULT_FROM_WIN32(GetLastError());
  }
  void StopStreaming() {
    HANDLE running = thread;
    if (!running) return;
    exitRequested = true;
    SetEvent(wake);
    // Decommitting releases a thread that waits for a free buffer.
    if (allocator) allocator->Decommit();
    WaitForSingleObject(running, INFINITE);
    CloseHandle(running);
    thread = nullptr;
  }
  void MarkEnd() {
    ended = true;
    SetEvent(wake);
  }

 private:
  HRESULT DecideAllocator() {
    if (FAILED(input->GetAllocator(&allocator)) || !allocator) {
      HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                    reinterpret_cast<void**>(&allocator));
      if (FAILED(hr)) return hr;
    }
    ALLOCATOR_PROPERTIES wanted = {}, actual = {};
    input->GetAllocatorRequirements(&wanted);
    // A quarter of a second per buffer, in whole frames.
    wanted.cBuffers = std::max<long>(wanted.cBuffers, kBuffers);
    wanted.cbBuffer =
        std::max<long>(wanted.cbBuffer, static_cast<long>(pcm.nAvgBytesPerSec / 4 / pcm.nBlockAlign * pcm.nBlockAlign));
    wanted.cbAlign = std::max<long>(wanted.cbAlign, 1);
    HRESULT hr = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator, FALSE);
    if (FAILED(hr)) {
      allocator->Release();
      allocator = nullptr;
    }
    return hr;
  }

  static DWORD WINAPI StreamThread(void* self) {
    static_cast<CMySourceStream*>(self)->Stream();
    return 0;
  }

  // Reads the file in blocks of the buffer size; a block that is not complete yet waits in steps of 100 ms for
  // more data until the end is marked, then the rest is delivered and the stream ends.
  void Stream() {
    UniqueFile data(CreateFileW(dataPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    unsigned long long position = 0;
    bool streamEnded = false;
    while (data && !exitRequested && !streamEnded) {
      IMediaSample* sample = nullptr;
      if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) break;
      BYTE* buffer = nullptr;
      sample->GetPointer(&buffer);
      const long size = sample->GetSize() / pcm.nBlockAlign * pcm.nBlockAlign;
      long filled = 0;
      while (filled < size && !exitRequested) {
        const bool endMarked = ended;  // read before the file, so no data appended before the mark is missed
        DWORD read = 0;
        if (!ReadFile(data.Get(), buffer + filled, static_cast<DWORD>(size - filled), &read, nullptr)) break;
        filled += static_cast<long>(read);
        if (filled < size && read == 0) {
          if (endMarked) {
            streamEnded = true;
            break;
          }
          WaitForSingleObject(wake, kWaitStepMs);
        }
      }
      filled -= filled % pcm.nBlockAlign;
      HRESULT hr = S_OK;
      if (filled > 0 && !exitRequested) {
        REFERENCE_TIME start =
            static_cast<REFERENCE_TIME>(position / pcm.nBlockAlign * kUnitsPerSecond / pcm.nSamplesPerSec);
        position += static_cast<unsigned long long>(filled);
        REFERENCE_TIME stop =
            static_cast<REFERENCE_TIME>(position / pcm.nBlockAlign * kUnitsPerSecond / pcm.nSamplesPerSec);
        sample->SetActualDataLength(filled);
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        hr = input->Receive(sample);
      }
      sample->Release();
      if (hr != S_OK) return;  // downstream stopped or failed: no end of stream is sent
    }
    if (streamEnded && !exitRequested) peer->EndOfStream();
  }

  CMySource* filter;
  WAVEFORMATEX pcm;
  std::wstring dataPath;
  AM_MEDIA_TYPE type = {};  // points at pcm; never freed
  IPin* peer = nullptr;
  IMemInputPin* input = nullptr;
  IMemAllocator* allocator = nullptr;
  HANDLE thread = nullptr;
  HANDLE wake;
  std::atomic<bool> exitRequested{false};
  std::atomic<bool> ended{false};
};

CMySource::CMySource(const WAVEFORMATEX& pcm, const std::wstring& dataPath)
    : CFilterBase(kFilterName, kPinName), stream(new CMySourceStream(this, pcm, dataPath)) {
  pin = stream;
}

CMySource::~CMySource() { delete stream; }

IPin* CMySource::OutputPin() { return stream; }

void CMySource::MarkEnd() { stream->MarkEnd(); }

HRESULT CMySource::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPersist) || IsEqualGUID(iid, IID_IMediaFilter) ||
      IsEqualGUID(iid, IID_IBaseFilter)) {
    *out = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT CMySource::GetClassID(CLSID* id) {
  if (!id) return E_POINTER;
  *id = CLSID_CDirectShowConvDest;
  return S_OK;
}

HRESULT CMySource::Stop() {
  {
    CriticalSectionLock hold(lock);
    state = State_Stopped;
  }
  stream->StopStreaming();
  return S_OK;
}

HRESULT CMySource::Pause() {
  CriticalSectionLock hold(lock);
  HRESULT hr = state == State_Stopped ? stream->StartStreaming() : S_OK;
  if (SUCCEEDED(hr)) state = State_Paused;
  return hr;
}

HRESULT CMySource::Run(REFERENCE_TIME) {
  CriticalSectionLock hold(lock);
  HRESULT hr = state == State_Stopped ? stream->StartStreaming() : S_OK;
  if (SUCCEEDED(hr)) state = State_Running;
  return hr;
}
