// CMetadataFramePicture: APIC frames.
#include "CMetadataFramePicture.h"

#include "CMetadataFrameComment.h"
#include "CPictureEditorDlg.h"
#include "EngineResources.h"

bool STDMETHODCALLTYPE CMetadataFramePicture::SetMimeType(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_MIMETYPE, text);
}
void STDMETHODCALLTYPE CMetadataFramePicture::GetMimeType(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_MIMETYPE, buffer, size);
}
bool STDMETHODCALLTYPE CMetadataFramePicture::SetDescription(const wchar_t* text) {
  return SetFrameField(*frame, ID3FN_DESCRIPTION, text);
}
void STDMETHODCALLTYPE CMetadataFramePicture::GetDescription(wchar_t* buffer, int size) {
  GetFrameField(*frame, ID3FN_DESCRIPTION, buffer, size);
}

UINT32 STDMETHODCALLTYPE CMetadataFramePicture::GetPictureType() {
  ID3_Field* field = frame->GetField(ID3FN_PICTURETYPE);
  return field ? field->Get() : 0;
}

void STDMETHODCALLTYPE CMetadataFramePicture::SetPictureType(UINT32 type) {
  if (ID3_Field* field = frame->GetField(ID3FN_PICTURETYPE)) field->Set(type);
}

void STDMETHODCALLTYPE CMetadataFramePicture::Reset() {
  SetMimeType(L"");
  SetDescription(L"");
}

std::wstring CMetadataFramePicture::DisplayText() {
  ID3_Field* data = frame->GetField(ID3FN_DATA);
  int bytes = data ? static_cast<int>(data->Size()) : 0;
  std::wstring mime = FieldText(*frame, ID3FN_MIMETYPE);
  std::wstring description = FieldText(*frame, ID3FN_DESCRIPTION);
  std::wstring details = FormatText(512, L"%d bytes; %s", bytes, mime.c_str());
  return description.empty() ? details : description + L" (" + details + L")";
}

int CMetadataFramePicture::RunEditor(HWND parent) {
  CPictureEditorDlg editor;
  editor.caption = KindCaption();
  if (ID3_Field* data = frame->GetField(ID3FN_DATA); data && data->GetRawBinary())
    editor.data.assign(reinterpret_cast<const char*>(data->GetRawBinary()), data->Size());
  editor.mimeType = FieldText(*frame, ID3FN_MIMETYPE);
  editor.description = FieldText(*frame, ID3FN_DESCRIPTION);
  editor.pictureType = GetPictureType();
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) {
    SetMimeType(editor.mimeType.c_str());
    SetDescription(editor.description.c_str());
    SetPictureType(editor.pictureType);
    if (ID3_Field* data = frame->GetField(ID3FN_DATA))
      data->Set(reinterpret_cast<const uchar*>(editor.data.data()), editor.data.size());
  }
  return static_cast<int>(result);
}
