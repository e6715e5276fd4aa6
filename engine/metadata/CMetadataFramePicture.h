// CMetadataFramePicture: APIC frames (MIME type, description, picture type; the bytes belong to the editor).
#pragma once

#include "CMetadataFrame.h"

class CMetadataFramePicture : public CMetadataFrame<IMetadataFramePicture, IID_IMetadataFramePicture> {
 public:
  using CMetadataFrame::CMetadataFrame;

  bool STDMETHODCALLTYPE SetMimeType(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetMimeType(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reserved1(void*, void*) override {}
  void STDMETHODCALLTYPE Reserved2(void*, void*) override {}
  UINT32 STDMETHODCALLTYPE GetPictureType() override;
  void STDMETHODCALLTYPE SetPictureType(UINT32 type) override;
  void STDMETHODCALLTYPE Reset() override;

 protected:
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
};
