// CMetadataFrameComment: COMM frames (text, description, language); also usable as a plain text frame.
#pragma once

#include "CMetadataFrame.h"

class CMetadataFrameComment : public CMetadataFrame<IMetadataFrameComment, IID_IMetadataFrameComment>,
                              public IMetadataFrameText {
 public:
  using Base = CMetadataFrame<IMetadataFrameComment, IID_IMetadataFrameComment>;
  using Base::Base;

  bool STDMETHODCALLTYPE SetText(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE SetLanguage(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetLanguage(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reset() override;

  // The text view shares the object: its operations are this object's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return Base::QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }
  void STDMETHODCALLTYPE AttachTo(IMetadataTag* tag) override { Base::AttachTo(tag); }
  bool STDMETHODCALLTYPE IsReadOnly() override { return Base::IsReadOnly(); }
  int STDMETHODCALLTYPE Edit(HWND parent) override { return Base::Edit(parent); }
  const char* STDMETHODCALLTYPE GetKindName() override { return Base::GetKindName(); }
  GUID* STDMETHODCALLTYPE GetKindGuid(GUID* out) override { return Base::GetKindGuid(out); }
  UINT32 STDMETHODCALLTYPE GetFrameNumber() override { return Base::GetFrameNumber(); }
  void STDMETHODCALLTYPE GetDisplayText(wchar_t* buffer, int size) override { Base::GetDisplayText(buffer, size); }
  bool STDMETHODCALLTYPE IsEqual(IMetadataFrame* other) override { return Base::IsEqual(other); }
  void STDMETHODCALLTYPE CopyFrom(IMetadataFrame* other) override { Base::CopyFrom(other); }

 protected:
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
  bool QueryOther(REFIID iid, void** out) override;
};

// Sets one text field of a frame through the interface's exception firewall.
bool SetFrameField(ID3_Frame& frame, ID3_FieldID field, const wchar_t* text);
// Copies one text field into a caller's buffer; the buffer stays as it is when the field is missing.
void GetFrameField(const ID3_Frame& frame, ID3_FieldID field, wchar_t* buffer, int size);
