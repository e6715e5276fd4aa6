// The text frame kinds: CMetadataFrameText and its variants, which differ only in display and write access.
#pragma once

#include <vector>

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

  // "Edit Text" with the kind's hint and check; read-only kinds show the text without letting it change.
  int RunEditor(HWND parent) override;
  // The message that refuses a text, empty when the text is accepted.
  virtual std::wstring CheckText(const std::wstring&) const { return {}; }
  // What the hint line says after the kind's name.
  virtual std::wstring HintText() const { return {}; }
};

// Plain text, shown as stored. The numeric kinds differ only in what their editors accept.
class CMetadataFrameTextDef : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
};

// TYER: a year from 1800 to 2100.
class CMetadataFrameTextNum : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring CheckText(const std::wstring& text) const override;
  std::wstring HintText() const override { return L"a number from 1800 to 2100"; }
};

// TRCK, TPOS: "n" or "n/m" with numbers from 1 to 99 and n not above m.
class CMetadataFrameTextPartNum : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring CheckText(const std::wstring& text) const override;
  std::wstring HintText() const override { return L"a number, or two numbers separated by a slash (5/12)"; }
};

class CMetadataFrameTextReadOnly : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  bool STDMETHODCALLTYPE IsReadOnly() override { return true; }

 protected:
  std::wstring HintText() const override { return L"this value cannot be changed"; }
};

std::wstring SongLengthText(const std::wstring& milliseconds);

// TLEN: milliseconds, shown as minutes and seconds.
class CMetadataFrameTextSongLen : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  bool STDMETHODCALLTYPE IsReadOnly() override { return true; }

 protected:
  std::wstring DisplayText() override;
  std::wstring HintText() const override { return SongLengthText(Text()) + L"; this value cannot be changed"; }
};

// TDAT: DDMM, shown with the user's locale and the picture "d. MMMM".
class CMetadataFrameTextDate : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override;
  std::wstring CheckText(const std::wstring& text) const override;
  std::wstring HintText() const override { return L"day and month as DDMM (3112 for the 31st of December)"; }
};

// TIME: HHMM, shown in the user's time format without seconds.
class CMetadataFrameTextTime : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override;
  std::wstring CheckText(const std::wstring& text) const override;
  std::wstring HintText() const override { return L"hours and minutes as HHMM (2359)"; }
};

// TCOP: begins with the year (1800 to 2100), shown after "Copyright (c) ".
class CMetadataFrameTextCopyright : public CMetadataFrameTextDef {
 public:
  using CMetadataFrameTextDef::CMetadataFrameTextDef;

 protected:
  std::wstring DisplayText() override { return L"Copyright (c) " + Text(); }
  std::wstring CheckText(const std::wstring& text) const override;
  std::wstring HintText() const override { return L"the year first, then the holder (2004 Name)"; }
};

// TLAN: three-letter language abbreviations, shown as the platform's language names.
class CMetadataFrameTextLang : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;
  void STDMETHODCALLTYPE Reset() override { SetText(L"enu"); }

 protected:
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
};

// TCON: "(n)" genre references shown by name.
class CMetadataFrameTextGenre : public CMetadataFrameText {
 public:
  using CMetadataFrameText::CMetadataFrameText;

 protected:
  std::wstring DisplayText() override;
  int RunEditor(HWND parent) override;
};

// A language of the platform's locale data: its three-letter abbreviation as the platform spells it ("ENU")
// and its full name.
struct PlatformLanguage {
  std::wstring abbreviation;
  std::wstring name;
};
// Every abbreviation once (the first locale that has it gives the name), in locale number order.
const std::vector<PlatformLanguage>& PlatformLanguages();

// Display rules shared with other kinds and with tests.
std::wstring DateText(const std::wstring& dayMonth);
std::wstring TimeText(const std::wstring& hourMinute);
std::wstring LanguageText(const std::wstring& abbreviation);
std::wstring GenreText(const std::wstring& text);
