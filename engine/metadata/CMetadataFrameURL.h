// CMetadataFrameURL (WCOM to WPUB) and CMetadataFrameUserURL (WXXX with a description).
#pragma once

#include "CMetadataFrame.h"

class CMetadataFrameURL : public CMetadataFrame<IMetadataFrameURL, IID_IMetadataFrameURL> {
 public:
  using CMetadataFrame::CMetadataFrame;

  bool STDMETHODCALLTYPE SetUrl(const wchar_t* url) override;
  void STDMETHODCALLTYPE GetUrl(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reset() override { SetUrl(L""); }

 protected:
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override { return FieldText(*frame, ID3FN_URL); }
  int RunEditor(HWND parent) override;
};

class CMetadataFrameUserURL : public CMetadataFrame<IMetadataFrameUserURL, IID_IMetadataFrameUserURL> {
 public:
  using CMetadataFrame::CMetadataFrame;

  bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE SetUrl(const wchar_t* url) override;
  void STDMETHODCALLTYPE GetUrl(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reset() override;

 protected:
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
};
