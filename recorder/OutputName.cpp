// Output naming of recordings.
#include "OutputName.h"

#include <shlobj.h>

#include "tavcore.h"

const wchar_t kDefaultOutputTemplate[] = L"%MM\\Recordings\\NewRecording %D %S";

std::wstring ExpandOutputTemplate(const std::wstring& pattern, int sequence, const SYSTEMTIME& date,
                                  const std::wstring& musicFolder) {
  std::wstring result;
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] != L'%') {
      result += pattern[at];
      continue;
    }
    const wchar_t next = at + 1 < pattern.size() ? pattern[at + 1] : L'\0';
    if (next == L'D') {
      wchar_t text[64] = {};
      GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"yyyy-MM-dd", text, 64);
      result += text;
      ++at;
    } else if (next == L'S') {
      wchar_t text[16] = {};
      _snwprintf(text, 15, L"%03d", sequence);
      result += text;
      ++at;
    } else if (next == L'M' && at + 2 < pattern.size() && pattern[at + 2] == L'M') {
      result += musicFolder;
      at += 2;
    } else {
      result += L'X';
    }
  }
  return result;
}

std::wstring ReplaceTemplateFolder(const std::wstring& pattern, const std::wstring& folder) {
  const size_t slash = pattern.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
  if (folder.empty()) return name;
  const wchar_t last = folder.back();
  return last == L'\\' || last == L'/' ? folder + name : folder + L"\\" + name;
}

std::wstring MusicFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

int NextSequenceNumber() {
  int sequence = 0;
  ReadPInt(L"Settings", L"SequenzeNumber", &sequence);
  ++sequence;
  WritePInt(L"Settings", L"SequenzeNumber", sequence);
  return sequence;
}
