// The renderer filter and its input pin, written against the platform's filter and pin contracts.
#include "MyBaseRenderer.h"

#include "FilterParts.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <cwchar>

#include "tavcore_guids.h"

namespace {
const wchar_t kPinName[] = L"In";
}  // namespace

// The one input pin. Its reference count is the filter's: the pin lives exactly as long as its filter.
class CMyBaseRenderer::CInputPin final : public IPin, public IMemInputPin {
 public:
  explicit CInputPin(CMyBaseRenderer* filter) : filter(filter) {}
  ~CInputPin() {
    if (peer) peer->Release();
    if (allocator) allocator->Release();
    FreeMediaTypeContents(connectionType);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPin)) {
      *out = static_cast<IPin*>(this);
    } else if (IsEqualGUID(iid, IID_IMemInputPin)) {
      *out = static_cast<IMemInputPin*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return filter->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return filter->Release(); }

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override {
    if (!connector || !type) return E_POINTER;
    CriticalSectionLock hold(filter->lock);
    if (peer) return VFW_E_ALREADY_CONNECTED;
    if (filter->state != State_Stopped) return VFW_E_NOT_STOPPED;
    WAVEFORMATEX pcm;
    if (!AcceptedFormat(*type, &pcm)) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = CopyMediaType(&connectionType, *type);
    if (FAILED(hr)) return hr;
    peer = connector;
    peer->AddRef();
    filter->owner->OnFormatAccepted(pcm);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Disconnect() override {
    CriticalSectionLock hold(filter->lock);
    if (filter->state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!peer) return S_FALSE;
    peer->Release();
    peer = nullptr;
    if (allocator) allocator->Release();
    allocator = nullptr;
    FreeMediaTypeContents(connectionType);
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
    return CopyMediaType(out, connectionType);
  }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
    if (!info) return E_POINTER;
    info->pFilter = filter;
    filter->AddRef();
    info->dir = PINDIR_INPUT;
    wcscpy_s(info->achName, kPinName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override {
    if (!dir) return E_POINTER;
    *dir = PINDIR_INPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override {
    if (!id) return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kPinName)));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, kPinName, sizeof(kPinName));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override {
    WAVEFORMATEX pcm;
    return type && AcceptedFormat(*type, &pcm) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    *out = NewMediaTypeEnum(nullptr);  // no type of its own: the upstream pin's types decide
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override {
    bool notify = false;
    {
      CriticalSectionLock hold(filter->lock);
      if (filter->flushing) return S_FALSE;
      if (filter->state == State_Stopped) return VFW_E_WRONG_STATE;
      filter->endOfStream = true;
      notify = filter->state == State_Running && !filter->completed;
      if (notify) filter->completed = true;
    }
    if (notify) filter->NotifyComplete();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BeginFlush() override {
    CriticalSectionLock hold(filter->lock);
    filter->flushing = true;
    filter->endOfStream = filter->completed = false;
    ResetEvent(filter->completion);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EndFlush() override {
    CriticalSectionLock hold(filter->lock);
    filter->flushing = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) override {
    CriticalSectionLock hold(filter->lock);
    filter->segmentStart = start;
    return S_OK;
  }

  // IMemInputPin: the upstream pin brings its own allocator.
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return VFW_E_NO_ALLOCATOR;
  }
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* chosen, BOOL) override {
    if (!chosen) return E_POINTER;
    CriticalSectionLock hold(filter->lock);
    chosen->AddRef();
    if (allocator) allocator->Release();
    allocator = chosen;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
    if (!sample) return E_POINTER;
    REFERENCE_TIME segmentStart = 0;
    {
      CriticalSectionLock hold(filter->lock);
      if (filter->flushing) return S_FALSE;
      if (filter->refusing) return S_OK;
      if (filter->state == State_Stopped) return VFW_E_WRONG_STATE;
      segmentStart = filter->segmentStart;
    }
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    long size = sample->GetActualDataLength();
    if (size <= 0) return S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    REFERENCE_TIME position = SUCCEEDED(sample->GetTime(&start, &stop)) ? segmentStart + start : -1;
    // A refused buffer is still accepted: the owner stops the graph, and upstream filters stay ready to run again.
    if (!filter->owner->OnRendered(data, size, position)) {
      CriticalSectionLock hold(filter->lock);
      filter->refusing = true;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override {
    if (!samples || !processed) return E_POINTER;
    HRESULT hr = S_OK;
    for (*processed = 0; *processed < count; ++*processed) {
      hr = Receive(samples[*processed]);
      if (hr != S_OK) break;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_OK; }  // the owner writes files

  IPin* Peer() const { return peer; }

 private:
  CMyBaseRenderer* filter;
  IPin* peer = nullptr;
  IMemAllocator* allocator = nullptr;
  AM_MEDIA_TYPE connectionType = {};
};

CMyBaseRenderer::CMyBaseRenderer(IRendererOwner* owner)
    : CFilterBase(kFilterName, kPinName),
      owner(owner),
      input(new CInputPin(this)),
      completion(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  pin = input;
}

CMyBaseRenderer::~CMyBaseRenderer() {
  delete input;
  if (completion) CloseHandle(completion);
}

IPin* CMyBaseRenderer::InputPin() { return input; }

bool CMyBaseRenderer::AcceptedFormat(const AM_MEDIA_TYPE& type, WAVEFORMATEX* out) {
  return IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) && PcmFormatOf(type.pbFormat, type.cbFormat, out);
}

HRESULT CMyBaseRenderer::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPersist) || IsEqualGUID(iid, IID_IMediaFilter) ||
      IsEqualGUID(iid, IID_IBaseFilter)) {
    *out = static_cast<IBaseFilter*>(this);
  } else if (IsEqualGUID(iid, IID_IAMFilterMiscFlags)) {
    *out = static_cast<IAMFilterMiscFlags*>(this);
  } else if (IsEqualGUID(iid, IID_IMediaSeeking)) {
    *out = static_cast<IMediaSeeking*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CMyBaseRenderer::AddRef() { return CFilterBase::AddRef(); }

ULONG CMyBaseRenderer::Release() { return CFilterBase::Release(); }

HRESULT CMyBaseRenderer::GetClassID(CLSID* id) {
  if (!id) return E_POINTER;
  *id = CLSID_CDirectShowConvSource;
  return S_OK;
}

HRESULT CMyBaseRenderer::Stop() {
  CriticalSectionLock hold(lock);
  state = State_Stopped;
  endOfStream = completed = refusing = false;
  ResetEvent(completion);
  return S_OK;
}

HRESULT CMyBaseRenderer::Pause() {
  CriticalSectionLock hold(lock);
  if (state == State_Stopped) endOfStream = completed = refusing = false;
  state = State_Paused;
  return S_OK;
}

HRESULT CMyBaseRenderer::Run(REFERENCE_TIME) {
  bool notify = false;
  {
    CriticalSectionLock hold(lock);
    if (state == State_Stopped) endOfStream = completed = refusing = false;
    state = State_Running;
    // A stream that ended while paused completes the graph now.
    notify = endOfStream && !completed;
    if (notify) completed = true;
  }
  if (notify) NotifyComplete();
  return S_OK;
}

void CMyBaseRenderer::OnJoined() {
  events = nullptr;
  if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&events))))
    events->Release();
}

ULONG CMyBaseRenderer::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

void CMyBaseRenderer::NotifyComplete() {
  SetEvent(completion);
  IMediaEventSink* sink;
  {
    CriticalSectionLock hold(lock);
    sink = events;
  }
  if (sink) sink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

IMediaSeeking* CMyBaseRenderer::UpstreamSeeking() {
  CriticalSectionLock hold(lock);
  IPin* peer = input->Peer();
  IMediaSeeking* seeking = nullptr;
  if (!peer || FAILED(peer->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)))) return nullptr;
  return seeking;
}

// Every seeking call goes to the upstream pin; without one the renderer cannot seek.
#define PASS_TO_UPSTREAM(call)                 \
  IMediaSeeking* upstream = UpstreamSeeking(); \
  if (!upstream) return E_NOTIMPL;             \
  HRESULT hr = upstream->call;                 \
  upstream->Release();                         \
  return hr

HRESULT CMyBaseRenderer::GetCapabilities(DWORD* capabilities) { PASS_TO_UPSTREAM(GetCapabilities(capabilities)); }
HRESULT CMyBaseRenderer::CheckCapabilities(DWORD* capabilities) { PASS_TO_UPSTREAM(CheckCapabilities(capabilities)); }
HRESULT CMyBaseRenderer::IsFormatSupported(const GUID* format) { PASS_TO_UPSTREAM(IsFormatSupported(format)); }
HRESULT CMyBaseRenderer::QueryPreferredFormat(GUID* format) { PASS_TO_UPSTREAM(QueryPreferredFormat(format)); }
HRESULT CMyBaseRenderer::GetTimeFormat(GUID* format) { PASS_TO_UPSTREAM(GetTimeFormat(format)); }
HRESULT CMyBaseRenderer::IsUsingTimeFormat(const GUID* format) { PASS_TO_UPSTREAM(IsUsingTimeFormat(format)); }
HRESULT CMyBaseRenderer::SetTimeFormat(const GUID* format) { PASS_TO_UPSTREAM(SetTimeFormat(format)); }
HRESULT CMyBaseRenderer::GetDuration(LONGLONG* duration) { PASS_TO_UPSTREAM(GetDuration(duration)); }
HRESULT CMyBaseRenderer::GetStopPosition(LONGLONG* stop) { PASS_TO_UPSTREAM(GetStopPosition(stop)); }
HRESULT CMyBaseRenderer::GetCurrentPosition(LONGLONG* current) { PASS_TO_UPSTREAM(GetCurrentPosition(current)); }
HRESULT CMyBaseRenderer::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                           const GUID* sourceFormat) {
  PASS_TO_UPSTREAM(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
HRESULT CMyBaseRenderer::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  PASS_TO_UPSTREAM(SetPositions(current, currentFlags, stop, stopFlags));
}
HRESULT CMyBaseRenderer::GetPositions(LONGLONG* current, LONGLONG* stop) {
  PASS_TO_UPSTREAM(GetPositions(current, stop));
}
HRESULT CMyBaseRenderer::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  PASS_TO_UPSTREAM(GetAvailable(earliest, latest));
}
HRESULT CMyBaseRenderer::SetRate(double rate) { PASS_TO_UPSTREAM(SetRate(rate)); }
HRESULT CMyBaseRenderer::GetRate(double* rate) { PASS_TO_UPSTREAM(GetRate(rate)); }
HRESULT CMyBaseRenderer::GetPreroll(LONGLONG* preroll) { PASS_TO_UPSTREAM(GetPreroll(preroll)); }

#undef PASS_TO_UPSTREAM
