// The PCM-only renderer at the end of the DirectShow source's graph. It accepts nothing but PCM, so the graph
// builder has to insert decoders until PCM comes out, and it hands every rendered buffer to its owner.
// Runs without a clock: buffers are delivered as soon as they arrive, in paused or running state.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>

#include "FilterBase.h"
#include "PcmFormat.h"

// What the renderer tells its owner. Both calls come on the graph's streaming thread.
class IRendererOwner {
 public:
  // A media type was accepted: fmt is its PCM format (tag 1).
  virtual void OnFormatAccepted(const WAVEFORMATEX& fmt) = 0;
  // One rendered buffer; position is its place in the stream in 100-ns units, or -1 when the sample has no time.
  // false: deliver nothing more until the graph is stopped.
  virtual bool OnRendered(const BYTE* data, long size, REFERENCE_TIME position) = 0;

 protected:
  ~IRendererOwner() = default;
};

class CMyBaseRenderer final : public CFilterBase, public IAMFilterMiscFlags, public IMediaSeeking {
 public:
  static constexpr const wchar_t* kFilterName = L"DirectShowConvSource";

  explicit CMyBaseRenderer(IRendererOwner* owner);

  IPin* InputPin();
  // Set once the stream has ended while running (or ends when Run follows); reset by Stop and by flushing.
  HANDLE CompletionEvent() const { return completion; }
  // The PCM format of a media type the renderer takes (PCM, or the extensible record with the PCM subtype,
  // recorded as tag 1); false for every other type.
  static bool AcceptedFormat(const AM_MEDIA_TYPE& type, WAVEFORMATEX* out);

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
  // IAMFilterMiscFlags: marks the filter as a renderer, whose end of stream completes the graph.
  ULONG STDMETHODCALLTYPE GetMiscFlags() override;
  // IMediaSeeking, passed through to the pin the renderer is connected to.
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

 private:
  class CInputPin;
  friend class CInputPin;

  ~CMyBaseRenderer() override;
  // Keeps the graph's event sink, without a reference: the graph owns the filter.
  void OnJoined() override;
  // The upstream pin's seeking interface (one reference), or null when unconnected or it cannot seek.
  IMediaSeeking* UpstreamSeeking();
  void NotifyComplete();

  IRendererOwner* owner;  // borrowed: the owner outlives the graph it built
  CInputPin* input;  // the base's lock guards the state, end of stream and the connection; never held while delivering
  bool endOfStream = false;  // received, waiting for Run to complete the graph
  bool completed = false;    // EC_COMPLETE sent since the last Stop or flush
  bool flushing = false;
  bool refusing = false;              // the owner refused a buffer: nothing more until Stop
  IMediaEventSink* events = nullptr;  // the graph's, not referenced
  REFERENCE_TIME segmentStart = 0;
  HANDLE completion;  // manual-reset event
};
