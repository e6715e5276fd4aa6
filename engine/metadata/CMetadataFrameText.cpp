// The text frame kinds: text access and the display rules of length, date, time, language and genre.
#include "CMetadataFrameText.h"

#include <cwchar>
#include <map>

#include "EngineResources.h"
#include "Genres.h"

namespace {

// The leading decimal number of a text, 0 when there is none.
long LeadingNumber(const std::wstring& text) { return std::wcstol(text.c_str(), nullptr, 10); }

std::wstring UpperAscii(std::wstring text) {
  for (wchar_t& ch : text)
    if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - L'a' + L'A');
  return text;
}

// Abbreviated language name (upper case) -> full language name, over every locale number the platform has.
const std::map<std::wstring, std::wstring>& LanguageNames() {
  static const std::map<std::wstring, std::wstring> names = [] {
    std::map<std::wstring, std::wstring> table;
    for (WORD primary = 1; primary <= 254; ++primary) {
      for (WORD sub = 1; sub <= 31; ++sub) {
        LCID locale = MAKELCID(MAKELANGID(primary, sub), SORT_DEFAULT);
        wchar_t abbreviation[16] = {};
        wchar_t name[256] = {};
        if (!GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, abbreviation, 16) ||
            !GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, 256))
          continue;
        table.emplace(UpperAscii(abbreviation), name);  // the first locale of an abbreviation wins
      }
    }
    return table;
  }();
  return names;
}

}  // namespace

bool STDMETHODCALLTYPE CMetadataFrameText::SetText(const wchar_t* text) {
  try {
    return text && SetFieldText(*frame, ID3FN_TEXT, text);
  } catch (...) {
    return false;
  }
}

void STDMETHODCALLTYPE CMetadataFrameText::GetText(wchar_t* buffer, int size) {
  try {
    std::wstring text;
    if (GetFieldText(*frame, ID3FN_TEXT, &text)) CopyToBuffer(buffer, size, text);
  } catch (...) {
  }
}

std::wstring SongLengthText(const std::wstring& milliseconds) {
  long ms = LeadingNumber(milliseconds);
  return FormatText(64, L"%dm %ds", static_cast<int>(ms / 60000), static_cast<int>((ms / 1000) % 60));
}

std::wstring DateText(const std::wstring& dayMonth) {
  long number = LeadingNumber(dayMonth);
  SYSTEMTIME date = {};
  date.wYear = 2000;
  date.wDay = static_cast<WORD>(number / 100);
  date.wMonth = static_cast<WORD>(number % 100);
  wchar_t text[128] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"d. MMMM", text, 128)) return dayMonth;
  return text;
}

std::wstring TimeText(const std::wstring& hourMinute) {
  long number = LeadingNumber(hourMinute);
  SYSTEMTIME time = {};
  time.wYear = 2000;
  time.wMonth = 1;
  time.wDay = 1;
  time.wHour = static_cast<WORD>(number / 100);
  time.wMinute = static_cast<WORD>(number % 100);
  wchar_t text[128] = {};
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, 128)) return hourMinute;
  return text;
}

std::wstring LanguageText(const std::wstring& abbreviation) {
  const auto& names = LanguageNames();
  auto found = names.find(UpperAscii(abbreviation));
  return found != names.end() ? found->second : abbreviation;
}

std::wstring GenreText(const std::wstring& text) {
  std::wstring result;
  std::wstring piece;
  auto flush = [&] {
    if (piece.empty()) return;
    if (!result.empty()) result += L", ";
    result += piece;
    piece.clear();
  };
  for (size_t i = 0; i < text.size();) {
    if (text[i] == L'(' && i + 1 < text.size() && text[i + 1] == L'(') {
      piece += L'(';
      i += 2;
      continue;
    }
    if (text[i] == L'(') {
      size_t close = text.find(L')', i);
      std::wstring digits = close == std::wstring::npos ? std::wstring() : text.substr(i + 1, close - i - 1);
      bool numeric =
          !digits.empty() && digits.size() <= 3 && digits.find_first_not_of(L"0123456789") == std::wstring::npos;
      if (numeric && std::stoi(digits) < static_cast<int>(kGenreCount)) {
        flush();
        piece = GenreTrimmedName(static_cast<UINT32>(std::stoi(digits)));
        flush();
        i = close + 1;
        continue;
      }
    }
    piece += text[i++];
  }
  flush();
  return result;
}

std::wstring CMetadataFrameTextSongLen::DisplayText() { return SongLengthText(Text()); }
std::wstring CMetadataFrameTextDate::DisplayText() { return DateText(Text()); }
std::wstring CMetadataFrameTextTime::DisplayText() { return TimeText(Text()); }
std::wstring CMetadataFrameTextLang::DisplayText() { return LanguageText(Text()); }
std::wstring CMetadataFrameTextGenre::DisplayText() { return GenreText(Text()); }
