// The text frame kinds: CMetadataFrameText and its variants, which differ only in display and write access.
#pragma once

#include "CMetadataFrame.h"

class CMetadataFrameText : public CMetadataFrame<IMetadataFrameText, IID_IMetadataFrameText> {
 public:
  bool STDMETHODCALLTYPE SetText(const wchar_t* text) override;
  void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE Reset() override { SetText(L""); }

 protected:
  using CMetadataFrame::CMetadataFrame;
  void ResetValue() override { Reset(); }
  std::wstring DisplayText() override { return Text(); }
  std::wstring Text() const { return FieldText(*frame, ID3FN_TEXT); }
};

// Plain text, shown as stored. The numeric kinds differ only in what their editors accept.
class CMetadataFrameTextDef : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
};
class CMetadataFrameTextNum : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;
};
class CMetadataFrameTextPartNum : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;
};

class CMetadataFrameTextReadOnly : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  bool STDMETHODCALLTYPE IsReadOnly() override { return true; }
};

// TLEN: milliseconds, shown as minutes and seconds.
class CMetadataFrameTextSongLen : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  bool STDMETHODCALLTYPE IsReadOnly() override { return true; }

 protected:
  std::wstring DisplayText() override;
};

// TDAT: DDMM, shown with the user's locale and the picture "d. MMMM".
class CMetadataFrameTextDate : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override;
};

// TIME: HHMM, shown in the user's time format without seconds.
class CMetadataFrameTextTime : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override;
};

class CMetadataFrameTextCopyright : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override { return L"Copyright (c) " + Text(); }
};

// TLAN: three-letter language abbreviations, shown as the platform's language names.
class CMetadataFrameTextLang : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  void STDMETHODCALLTYPE Reset() override { SetText(L"enu"); }

 protected:
  std::wstring DisplayText() override;
};

// TCON: "(n)" genre references shown by name.
class CMetadataFrameTextGenre : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;

 protected:
  std::wstring DisplayText() override;
};

// Display rules shared with other kinds and with tests.
std::wstring SongLengthText(const std::wstring& milliseconds);
std::wstring DateText(const std::wstring& dayMonth);
std::wstring TimeText(const std::wstring& hourMinute);
std::wstring LanguageText(const std::wstring& abbreviation);
std::wstring GenreText(const std::wstring& text);
