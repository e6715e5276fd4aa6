// The text frame kinds: text access and the display rules of length, date, time, language and genre.
#include "CMetadataFrameText.h"

#include <cwchar>
#include <set>

#include "EngineResources.h"
#include "FrameEditors.h"
#include "Genres.h"

namespace {

// The leading decimal number of a text, 0 when there is none.
long LeadingNumber(const std::wstring& text) { return std::wcstol(text.c_str(), nullptr, 10); }

std::wstring UpperAscii(std::wstring text) {
  for (wchar_t& ch : text)
    if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - L'a' + L'A');
  return text;
}

// The value of a text of digits only; false for an empty text or any other character. Long runs of digits
// saturate, so they still compare as out of range.
bool ParseDigits(const std::wstring& text, long* value) {
  if (text.empty()) return false;
  long result = 0;
  for (wchar_t ch : text) {
    if (ch < L'0' || ch > L'9') return false;
    result = result > 100000 ? result : result * 10 + (ch - L'0');
  }
  *value = result;
  return true;
}

std::wstring RangeMessage(int low, int high) {
  return FormatText(128, L"Please enter a number between %d and %d.", low, high);
}

constexpr int kFirstYear = 1800;
constexpr int kLastYear = 2100;

}  // namespace

const std::vector<PlatformLanguage>& PlatformLanguages() {
  static const std::vector<PlatformLanguage> languages = [] {
    std::vector<PlatformLanguage> list;
    std::set<std::wstring> seen;
    for (WORD primary = 1; primary <= 254; ++primary) {
      for (WORD sub = 1; sub <= 31; ++sub) {
        LCID locale = MAKELCID(MAKELANGID(primary, sub), SORT_DEFAULT);
        wchar_t abbreviation[16] = {};
        wchar_t name[256] = {};
        if (!GetLocaleInfoW(locale, LOCALE_SABBREVLANGNAME, abbreviation, 16) ||
            !GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, 256))
          continue;
        if (seen.insert(UpperAscii(abbreviation)).second) list.push_back({abbreviation, name});
      }
    }
    return list;
  }();
  return languages;
}

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
  for (const PlatformLanguage& language : PlatformLanguages())
    if (_wcsicmp(language.abbreviation.c_str(), abbreviation.c_str()) == 0) return language.name;
  return abbreviation;
}

std::wstring GenreText(const std::wstring& text) {
  std::wstring result;
  for (const std::wstring& entry : SplitGenreEntries(text)) result += (result.empty() ? L"" : L", ") + entry;
  return result;
}

std::wstring CMetadataFrameTextSongLen::DisplayText() { return SongLengthText(Text()); }
std::wstring CMetadataFrameTextDate::DisplayText() { return DateText(Text()); }
std::wstring CMetadataFrameTextTime::DisplayText() { return TimeText(Text()); }
std::wstring CMetadataFrameTextLang::DisplayText() { return LanguageText(Text()); }
std::wstring CMetadataFrameTextGenre::DisplayText() { return GenreText(Text()); }

int CMetadataFrameText::RunEditor(HWND parent) {
  CTextEditorDlg editor;
  editor.text = Text();
  std::wstring hint = HintText();
  editor.hint = KindCaption() + (hint.empty() ? L"" : L": " + hint);
  editor.readOnly = IsReadOnly();
  editor.check = [this](const std::wstring& text) { return CheckText(text); };
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) SetText(editor.text.c_str());
  return static_cast<int>(result);
}

std::wstring CMetadataFrameTextNum::CheckText(const std::wstring& text) const {
  long year = 0;
  if (!ParseDigits(text, &year)) return L"Please enter a valid number.";
  if (year < kFirstYear || year > kLastYear) return RangeMessage(kFirstYear, kLastYear);
  return {};
}

std::wstring CMetadataFrameTextCopyright::CheckText(const std::wstring& text) const {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') ++digits;
  long year = 0;
  if (!ParseDigits(text.substr(0, digits), &year) || year < kFirstYear || year > kLastYear)
    return L"Copyright Text must begin with a year number.";
  return {};
}

std::wstring CMetadataFrameTextDate::CheckText(const std::wstring& text) const {
  long number = 0;
  if (text.size() != 4 || !ParseDigits(text, &number)) return L"Please enter a numeric string in DDMM format.";
  long day = number / 100, month = number % 100;
  if (day < 1 || day > 31 || month < 1 || month > 12) return L"Please enter a numeric string in DDMM format.";
  return {};
}

std::wstring CMetadataFrameTextTime::CheckText(const std::wstring& text) const {
  long number = 0;
  if (text.size() != 4 || !ParseDigits(text, &number) || number / 100 >= 24 || number % 100 >= 60)
    return L"Please enter a numeric string in HHMM format.";
  return {};
}

std::wstring CMetadataFrameTextPartNum::CheckText(const std::wstring& text) const {
  size_t slash = text.find(L'/');
  std::wstring parts[2] = {text.substr(0, slash), slash == std::wstring::npos ? L"" : text.substr(slash + 1)};
  bool hasSecond = slash != std::wstring::npos;
  long numbers[2] = {0, 0};
  for (int i = 0; i < (hasSecond ? 2 : 1); ++i) {
    // An empty number counts as 0, which the range refuses.
    if (!parts[i].empty() && !ParseDigits(parts[i], &numbers[i]))
      return L"Please enter a number or two numbers separated by a slash.";
  }
  for (int i = 0; i < (hasSecond ? 2 : 1); ++i)
    if (numbers[i] < 1 || numbers[i] > 99) return RangeMessage(1, 99);
  if (hasSecond && numbers[0] > numbers[1]) return L"The first number must be smaller than the second one.";
  return {};
}

int CMetadataFrameTextLang::RunEditor(HWND parent) {
  CLanguageEditorDlg editor;
  editor.caption = KindCaption();
  editor.language = Text();
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) SetText(editor.language.c_str());
  return static_cast<int>(result);
}

int CMetadataFrameTextGenre::RunEditor(HWND parent) {
  CGenreEditorDlg editor;
  editor.text = Text();
  INT_PTR result = editor.DoModal(parent);
  if (result == IDOK) SetText(editor.text.c_str());
  return static_cast<int>(result);
}
