// The push source at the head of the DirectShow destination's graph: it offers PCM of one format and delivers
// what the destination appends to a temporary file, waiting for more until the end is marked.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

#include "FilterBase.h"

class CMySourceStream;

class CMySource final : public CFilterBase {
 public:
  static constexpr const wchar_t* kFilterName = L"SRC";

  // pcm: the format offered; dataPath: the file the PCM is appended to (read with a handle of the stream's own).
  CMySource(const WAVEFORMATEX& pcm, const std::wstring& dataPath);

  IPin* OutputPin();
  // No more data will be appended: the stream delivers the rest and ends.
  void MarkEnd();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

 private:
  friend class CMySourceStream;
  ~CMySource() override;

  CMySourceStream* stream;
};
