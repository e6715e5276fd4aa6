// CMetadataFrameComment: COMM frames, and the field helpers the typed frames share.
#include "CMetadataFrameComment.h"

#include "FrameEditors.h"

bool SetFrameField(ID3_Frame& frame, ID3_FieldID field, const wchar_t* text) {
  try {
    return text && SetFieldText(frame, field, text);
  } catch (...) {
    return false;
  }
}

void GetFrameField(const ID3_Frame& frame, ID3_FieldID field, wchar_t* buffer, int size) {
  try {
    std::wstring text;
    if (GetFieldText(frame, field, &text)) CopyToBuffer(buffer, size, text);
  } catch (...) {
  }
}

bool STDMETHODCALLTYPE CMetadataFrameComment::SetText(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_TEXT, text);
}
void STDMETHODCALLTYPE CMetadataFrameComment::GetText(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_TEXT, buffer, size);
}
bool STDMETHODCALLTYPE CMetadataFrameComment::SetDescription(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_DESCRIPTION, text);
}
void STDMETHODCALLTYPE CMetadataFrameComment::GetDescription(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_DESCRIPTION, buffer, size);
}
bool STDMETHODCALLTYPE CMetadataFrameComment::SetLanguage(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_LANGUAGE, text);
}
void STDMETHODCALLTYPE CMetadataFrameComment::GetLanguage(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_LANGUAGE, buffer, size);
}

void STDMETHODCALLTYPE CMetadataFrameComment::Reset() {
  SetText(L"");
  SetDescription(L"");
  SetLanguage(L"enu");
}

std::wstring CMetadataFrameComment::DisplayText() {
  std::wstring text = FieldText(*frame, ID3FN_TEXT);
  std::wstring description = FieldText(*frame, ID3FN_DESCRIPTION);
  if (!description.empty()) text += L" (" + description + L")";
  return text;
}

int CMetadataFrameComment::RunEditor(HWND parent) {
  CCommentEditorDlg editor;
  editor.caption = KindCaption();
  editor.description = FieldText(*frame, ID3FN_DESCRIPTION);
  editor.text = FieldText(*frame, ID3FN_TEXT);
  editor.language = FieldText(*frame, ID3FN_LANGUAGE);
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) {
    SetText(editor.text.c_str());
    SetDescription(editor.description.c_str());
    SetLanguage(editor.language.c_str());
  }
  return static_cast<int>(result);
}

bool CMetadataFrameComment::QueryOther(REFIID iid, void** out) {
  if (!IsEqualGUID(iid, IID_IMetadataFrameText)) return false;
  *out = static_cast<IMetadataFrameText*>(this);
  return true;
}
