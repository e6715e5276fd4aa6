#include "CdLookup.h"

#include <cwchar>

#include "ConsoleText.h"

namespace {

// One line from standard input (console or pipe); false at its end.
bool ReadAnswer(std::string* line) {
  line->clear();
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char c = 0;
  DWORD read = 0;
  bool any = false;
  while (ReadFile(input, &c, 1, &read, nullptr) && read == 1) {
    any = true;
    if (c == '\n') return true;
    if (c != '\r' && line->size() < 64) *line += c;
  }
  return any;
}

// The match to take: 0 for a single one, else the user's choice; -1 to leave the disc as it is.
int ChooseMatch(cdrip::ICDDBQuery* query, int count, const std::wstring& indent) {
  if (count == 1) return 0;
  WriteText(stdout, indent + L"Multiple CDDB Matches:\n");
  for (int i = 0; i < count; ++i) {
    wchar_t artist[81] = {}, title[81] = {};
    query->GetMatch(i, artist, title);
    WriteText(stdout, indent + L"  " + std::to_wstring(i + 1) + L") " + artist + L" / " + title + L"\n");
  }
  for (;;) {
    WriteText(stdout, indent + L"Choose 1 to " + std::to_wstring(count) + L" (0 to skip): ");
    std::string answer;
    if (!ReadAnswer(&answer)) {
      WriteText(stdout, L"\n" + indent + L"No match chosen\n");
      return -1;
    }
    const int chosen = atoi(answer.c_str());
    if (answer == "0") return -1;
    if (chosen >= 1 && chosen <= count) return chosen - 1;
  }
}

template <class Get>
std::wstring Text(Get get) {
  wchar_t text[1025] = {};
  get(text, 1025);
  return text;
}

}  // namespace

bool LookUpDisc(cdrip::IAudioCD* cd, const std::wstring& indent) {
  cdrip::ICDDBQuery* query = nullptr;
  if (FAILED(cd->QueryInterface(cdrip::IID_ICDDBQuery, reinterpret_cast<void**>(&query)))) return false;
  bool applied = false;
  const HRESULT result = query->Query();
  const int count = query->GetMatchCount();
  if (FAILED(result) && count == 0) {
    WriteText(stdout, indent + L"CDDB: Unable to contact CDDB server\n");
  } else if (count == 0) {
    WriteText(stdout, indent + L"CDDB: No matches in CDDB database\n");
  } else {
    const int chosen = ChooseMatch(query, count, indent);
    if (chosen >= 0) {
      applied = SUCCEEDED(query->SelectMatch(chosen));
      if (!applied) WriteText(stdout, indent + L"CDDB: Unable to retrieve CDDB information\n");
    }
  }
  query->Release();
  return applied;
}

void CopyDiscData(cdrip::IAudioCD* from, cdrip::IAudioCD* to) {
  to->SetTitle(Text([&](wchar_t* b, int n) { from->GetTitle(b, n); }).c_str());
  to->SetArtist(Text([&](wchar_t* b, int n) { from->GetArtist(b, n); }).c_str());
  to->SetGenre(Text([&](wchar_t* b, int n) { from->GetGenre(b, n); }).c_str());
  to->SetCategory(Text([&](wchar_t* b, int n) { from->GetCategory(b, n); }).c_str());
  int year = -1;
  from->GetYear(&year);
  to->SetYear(year);
  UINT32 count = 0;
  from->GetTrackCount(&count);
  for (UINT32 i = 0; i < count; ++i) {
    to->SetTrackTitle(i, Text([&](wchar_t* b, int n) { from->GetTrackTitle(i, b, n); }).c_str());
    to->SetTrackExtended(i, Text([&](wchar_t* b, int n) { from->GetTrackExtended(i, b, n); }).c_str());
  }
}
