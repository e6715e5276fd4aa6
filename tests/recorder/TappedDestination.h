// A destination of the engine, passed through: the recorder tests see what reached it and can slow it down.
#pragma once

#include <windows.h>

#include <string>

#include "tavcore.h"

// The PCM it gets is kept, and each write can be slowed down.
class TappedDestination : public IConvertDestination {
 public:
  TappedDestination(const wchar_t* format, DWORD delayMs) : delayMs(delayMs) {
    CONVFORMAT row = {};
    if (FAILED(ConvGetFormatByName(&row, format)) || FAILED(ConvCreateDest(&row, &inner))) inner = nullptr;
  }
  ~TappedDestination() {
    if (inner) inner->Release();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return inner->QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }  // lives on the test's stack
  int STDMETHODCALLTYPE GetFormatIndex() override { return inner->GetFormatIndex(); }
  int STDMETHODCALLTYPE SetFormatIndex(int row) override { return inner->SetFormatIndex(row); }
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override { return inner->GetClassId(out); }
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override { return inner->SetFileName(path); }
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override { return inner->GetFileName(buf, cch); }
  bool STDMETHODCALLTYPE Open() override { return inner->Open(); }
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override {
    if (delayMs) Sleep(delayMs);
    written.append(static_cast<const char*>(data), size);
    ++writes;
    return inner->Write(size, data);
  }
  bool STDMETHODCALLTYPE Close() override {
    closed = true;
    return inner->Close();
  }
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override { return inner->GetMetadata(out); }
  bool STDMETHODCALLTYPE SetSource(IConvertSource* src) override { return inner->SetSource(src); }
  bool STDMETHODCALLTYPE EstimateSize(UINT32 bytes, const WAVEFORMATEX* format, UINT32* out) override {
    return inner->EstimateSize(bytes, format, out);
  }
  bool STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) override { return inner->SetFormat(format); }
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** also) override {
    return inner->ShowSettings(parent, also);
  }
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override { return inner->GetSettingsText(buf, cch); }
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* error) override {
    return inner->SetOption(name, value, error);
  }
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* callback) override { inner->SetCallback(callback); }

  IConvertDestination* inner = nullptr;
  DWORD delayMs;
  std::string written;
  int writes = 0;
  bool closed = false;
  ULONG references = 1;
};
