// CMetadataFrameURL and CMetadataFrameUserURL: URL frames.
#include "CMetadataFrameURL.h"

#include "CMetadataFrameComment.h"
#include "FrameEditors.h"

bool STDMETHODCALLTYPE CMetadataFrameURL::SetUrl(const wchar_t* url) { return SetFrameField(*frame, ID3FN_URL, url); }
void STDMETHODCALLTYPE CMetadataFrameURL::GetUrl(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_URL, buffer, size);
}

bool STDMETHODCALLTYPE CMetadataFrameUserURL::SetDescription(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_DESCRIPTION, text);
}
void STDMETHODCALLTYPE CMetadataFrameUserURL::GetDescription(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_DESCRIPTION, buffer, size);
}
bool STDMETHODCALLTYPE CMetadataFrameUserURL::SetUrl(const wchar_t* url) {
  return SetFrameField(*frame, ID3FN_URL, url);
}
void STDMETHODCALLTYPE CMetadataFrameUserURL::GetUrl(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_URL, buffer, size);
}

void STDMETHODCALLTYPE CMetadataFrameUserURL::Reset() {
  SetUrl(L"");
  SetDescription(L"");
}

std::wstring CMetadataFrameUserURL::DisplayText() {
  return FieldText(*frame, ID3FN_URL) + L" (" + FieldText(*frame, ID3FN_DESCRIPTION) + L")";
}

int CMetadataFrameURL::RunEditor(HWND parent) {
  CUrlEditorDlg editor(false);
  editor.url = FieldText(*frame, ID3FN_URL);
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) SetUrl(editor.url.c_str());
  return static_cast<int>(result);
}

int CMetadataFrameUserURL::RunEditor(HWND parent) {
  CUrlEditorDlg editor(true);
  editor.caption = KindCaption();
  editor.url = FieldText(*frame, ID3FN_URL);
  editor.description = FieldText(*frame, ID3FN_DESCRIPTION);
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) {
    SetUrl(editor.url.c_str());
    SetDescription(editor.description.c_str());
  }
  return static_cast<int>(result);
}
