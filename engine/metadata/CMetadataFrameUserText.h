// CMetadataFrameUserText: TXXX frames (description and text).
#pragma once

#include "CMetadataFrame.h"

class CMetadataFrameUserText : public CMetadataFrame<IMetadataFrameUserText, IID_IMetadataFrameUserText> {
 public:
  using CMetadataFrame::CMetadataFrame;

  bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE SetText(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reset() override;

 protected:
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
};
