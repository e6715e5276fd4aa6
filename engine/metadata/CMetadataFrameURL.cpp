// CMetadataFrameURL and CMetadataFrameUserURL: URL frames.
#include "CMetadataFrameURL.h"

#include "CMetadataFrameComment.h"

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
