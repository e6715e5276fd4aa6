// CMetadataFrameUserText: TXXX frames.
#include "CMetadataFrameUserText.h"

#include "CMetadataFrameComment.h"
#include "FrameEditors.h"

bool STDMETHODCALLTYPE CMetadataFrameUserText::SetDescription(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_DESCRIPTION, text);
}
void STDMETHODCALLTYPE CMetadataFrameUserText::GetDescription(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_DESCRIPTION, buffer, size);
}
bool STDMETHODCALLTYPE CMetadataFrameUserText::SetText(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_TEXT, text);
}
void STDMETHODCALLTYPE CMetadataFrameUserText::GetText(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_TEXT, buffer, size);
}

void STDMETHODCALLTYPE CMetadataFrameUserText::Reset() {
  SetText(L"");
  SetDescription(L"");
}

std::wstring CMetadataFrameUserText::DisplayText() {
  return FieldText(*frame, ID3FN_TEXT) + L" (" + FieldText(*frame, ID3FN_DESCRIPTION) + L")";
}

int CMetadataFrameUserText::RunEditor(HWND parent) {
  CUserTextEditorDlg editor;
  editor.caption = KindCaption();
  editor.description = FieldText(*frame, ID3FN_DESCRIPTION);
  editor.text = FieldText(*frame, ID3FN_TEXT);
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) {
    SetDescription(editor.description.c_str());
    SetText(editor.text.c_str());
  }
  return static_cast<int>(result);
}
