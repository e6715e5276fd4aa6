// What the engine's two filters share: the reference count, the state, the clock and the graph they joined, and
// their one pin with its name. Each filter adds its own state changes, interfaces and class id.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>

class CFilterBase : public IBaseFilter {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

 protected:
  // filterName and pinName: constant strings; the pin is set by the filter once it has made it.
  CFilterBase(const wchar_t* filterName, const wchar_t* pinName);
  virtual ~CFilterBase();
  // Called with the lock held when the filter joins or leaves a graph.
  virtual void OnJoined() {}

  IPin* pin = nullptr;  // owned by the filter
  CRITICAL_SECTION lock;
  FILTER_STATE state = State_Stopped;
  IFilterGraph* graph = nullptr;  // not referenced: the graph holds the filter
  IReferenceClock* clock = nullptr;

 private:
  std::atomic<ULONG> refCount{1};
  const wchar_t* filterName;
  const wchar_t* pinName;
};
