// The push source at the head of the DirectShow destination's graph: it offers PCM of one format and delivers
// what the destination appends to a temporary file, waiting for more until the end is marked.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <string>

class CMySourceStream;

class CMySource final : public IBaseFilter {
 public:
  static constexpr const wchar_t* kFilterName = L"SRC";

  // pcm: the format offered; dataPath: the file the PCM is appended to (read with a handle of the stream's own).
  CMySource(const WAVEFORMATEX& pcm, const std::wstring& dataPath);

  IPin* OutputPin();
  // No more data will be appended: the stream delivers the rest and ends.
  void MarkEnd();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

 private:
  friend class CMySourceStream;
  ~CMySource();

  std::atomic<ULONG> refCount{1};
  CMySourceStream* stream;
  CRITICAL_SECTION lock;
  FILTER_STATE state = State_Stopped;
  IFilterGraph* graph = nullptr;  // not referenced: the graph holds the filter
  IReferenceClock* clock = nullptr;
};
