// The frame editors for text, user text, comments, languages, genres and URLs.
#include "FrameEditors.h"

#include <shlwapi.h>

#include <cwchar>

#include "CMetadataFrameText.h"
#include "EngineMessageBox.h"
#include "EngineResources.h"
#include "FrameEditorShell.h"
#include "Genres.h"
#include "resource.h"

namespace {

const wchar_t kNoComment[] = L"Please enter a comment.";
const wchar_t kNoGenre[] = L"Please enter/select at least one genre and click Add.";
const wchar_t kInvalidUrl[] = L"Please enter a valid URL.";
const wchar_t kNoUrlDescription[] = L"Please enter description for user-defined URL link.";
const wchar_t kNotOpenable[] = L"Only web (http, https, ftp) and e-mail (mailto) addresses can be opened.";
const wchar_t kNotOpened[] = L"The URL cannot be opened.";

void LimitEdit(HWND window, int id) { SendDlgItemMessageW(window, id, EM_LIMITTEXT, kFrameTextLimit, 0); }

// Multi-line edit boxes want "\r\n"; the tag keeps "\n".
std::wstring ToEditLines(const std::wstring& text) {
  std::wstring result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) result += L'\r';
    result += text[i];
  }
  return result;
}

std::wstring FromEditLines(const std::wstring& text) {
  std::wstring result;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')) result += text[i];
  return result;
}

std::wstring TrimBlanks(const std::wstring& text) {
  size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// "(n)" with one to three digits: a genre reference.
bool IsGenreReference(const std::wstring& text, size_t at, size_t* close) {
  if (at >= text.size() || text[at] != L'(') return false;
  size_t end = text.find(L')', at);
  if (end == std::wstring::npos || end == at + 1 || end - at - 1 > 3) return false;
  for (size_t i = at + 1; i < end; ++i)
    if (text[i] < L'0' || text[i] > L'9') return false;
  *close = end;
  return true;
}

}  // namespace

INT_PTR CTextEditorDlg::DoModal(HWND parent) { return CFrameEditorDlg::DoModal(parent, IDD_FRAME_TEXT); }

void CTextEditorDlg::OnInit() {
  LimitEdit(window, IDC_FRAME_TEXT);
  SetItemText(IDC_FRAME_TEXT, text);
  SetItemText(IDC_FRAME_HINT, hint);
  if (readOnly) {
    Send(IDC_FRAME_TEXT, EM_SETREADONLY, TRUE);
    ShowWindow(GetDlgItem(window, IDOK), SW_HIDE);
    SetItemText(IDCANCEL, L"Close");
    SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
  }
}

bool CTextEditorDlg::OnOK() {
  if (readOnly) return false;
  std::wstring typed = ItemText(IDC_FRAME_TEXT);
  // Checked before anything is stored: a refused text never reaches the frame, so Cancel leaves it as it was.
  std::wstring refusal = check ? check(typed) : std::wstring();
  if (!refusal.empty()) {
    Refuse(refusal.c_str(), IDC_FRAME_TEXT);
    return false;
  }
  text = typed;
  return true;
}

INT_PTR CUserTextEditorDlg::DoModal(HWND parent) { return CFrameEditorDlg::DoModal(parent, IDD_FRAME_USER_TEXT); }

void CUserTextEditorDlg::OnInit() {
  LimitEdit(window, IDC_FRAME_DESCRIPTION);
  LimitEdit(window, IDC_FRAME_TEXT);
  SetItemText(IDC_FRAME_DESCRIPTION, description);
  SetItemText(IDC_FRAME_TEXT, text);
}

bool CUserTextEditorDlg::OnOK() {
  description = ItemText(IDC_FRAME_DESCRIPTION);
  text = ItemText(IDC_FRAME_TEXT);
  return true;
}

void LanguageList::Fill(HWND combo, const std::wstring& code) {
  const std::vector<PlatformLanguage>& all = PlatformLanguages();
  size_t wanted = all.size();
  for (size_t i = 0; i < all.size(); ++i) {
    LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(all[i].name.c_str()));
    if (item >= 0) SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
    if (!code.empty() && _wcsicmp(all[i].abbreviation.c_str(), code.c_str()) == 0) wanted = i;
  }
  // Tags often carry codes the platform has no locale for: such a code is shown as it is and kept, rather than
  // lost when the user only changes the text.
  if (wanted == all.size() && !code.empty()) {
    keptCode = code;
    LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(code.c_str()));
    if (item >= 0) SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(all.size()));
  }
  if (code.empty()) return;
  // The list sorts itself, so an item's place is known only once all are in.
  for (LRESULT item = 0, count = SendMessageW(combo, CB_GETCOUNT, 0, 0); item < count; ++item) {
    if (static_cast<size_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0)) == wanted) {
      SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
      break;
    }
  }
}

std::wstring LanguageList::Selected(HWND combo) const {
  LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (item < 0) return {};
  LRESULT index = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
  const std::vector<PlatformLanguage>& all = PlatformLanguages();
  if (index >= 0 && static_cast<size_t>(index) < all.size()) return all[static_cast<size_t>(index)].abbreviation;
  return keptCode;
}

INT_PTR CLanguageEditorDlg::DoModal(HWND parent) { return CFrameEditorDlg::DoModal(parent, IDD_FRAME_LANGUAGE); }

void CLanguageEditorDlg::OnInit() { languages.Fill(GetDlgItem(window, IDC_FRAME_LANGUAGE), language); }

bool CLanguageEditorDlg::OnOK() {
  language = languages.Selected(GetDlgItem(window, IDC_FRAME_LANGUAGE));
  return true;
}

INT_PTR CCommentEditorDlg::DoModal(HWND parent) { return CFrameEditorDlg::DoModal(parent, IDD_FRAME_COMMENT); }

void CCommentEditorDlg::OnInit() {
  LimitEdit(window, IDC_FRAME_DESCRIPTION);
  LimitEdit(window, IDC_FRAME_TEXT);
  SetItemText(IDC_FRAME_DESCRIPTION, description);
  SetItemText(IDC_FRAME_TEXT, ToEditLines(text));
  languages.Fill(GetDlgItem(window, IDC_FRAME_LANGUAGE), language);
}

bool CCommentEditorDlg::OnOK() {
  std::wstring typed = FromEditLines(ItemText(IDC_FRAME_TEXT));
  if (typed.empty()) {
    Refuse(kNoComment, IDC_FRAME_TEXT);
    return false;
  }
  text = typed;
  description = ItemText(IDC_FRAME_DESCRIPTION);
  language = languages.Selected(GetDlgItem(window, IDC_FRAME_LANGUAGE));
  return true;
}

std::vector<std::wstring> SplitGenreEntries(const std::wstring& text) {
  std::vector<std::wstring> entries;
  std::wstring piece;
  auto flush = [&] {
    if (!piece.empty()) entries.push_back(piece);
    piece.clear();
  };
  for (size_t i = 0; i < text.size();) {
    if (text[i] == L'(' && i + 1 < text.size() && text[i + 1] == L'(') {
      piece += L'(';
      i += 2;
      continue;
    }
    size_t close = 0;
    if (IsGenreReference(text, i, &close)) {
      UINT32 number = static_cast<UINT32>(std::wcstoul(text.c_str() + i + 1, nullptr, 10));
      flush();
      // A number outside the table stays a reference of its own, so it is written back unchanged.
      piece = number < kGenreCount ? GenreTrimmedName(number) : text.substr(i, close - i + 1);
      flush();
      i = close + 1;
      continue;
    }
    piece += text[i++];
  }
  flush();
  return entries;
}

std::wstring JoinGenreEntries(const std::vector<std::wstring>& entries) {
  std::wstring text;
  for (const std::wstring& entry : entries) {
    int number = GenreIndexOf(TrimBlanks(entry).c_str());
    size_t close = 0;
    if (number >= 0)
      text += FormatText(16, L"(%d)", number);
    else if (IsGenreReference(entry, 0, &close) && close + 1 == entry.size())
      text += entry;
    else if (!entry.empty() && entry[0] == L'(')
      text += L"(" + entry;
    else
      text += entry;
  }
  return text;
}

INT_PTR CGenreEditorDlg::DoModal(HWND parent) { return CFrameEditorDlg::DoModal(parent, IDD_FRAME_GENRE); }

void CGenreEditorDlg::OnInit() {
  Send(IDC_GENRE_NAME, CB_LIMITTEXT, kFrameTextLimit);
  for (UINT32 number = 0; number < kGenreCount; ++number)
    Send(IDC_GENRE_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GenreTrimmedName(number).c_str()));
  for (const std::wstring& entry : SplitGenreEntries(text))
    Send(IDC_GENRE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

void CGenreEditorDlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_GENRE_ADD) Add();
  if (id == IDC_GENRE_REMOVE) Remove();
}

void CGenreEditorDlg::Add() {
  std::wstring entry = ItemText(IDC_GENRE_NAME);
  if (TrimBlanks(entry).empty()) return;
  LRESULT item = Send(IDC_GENRE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  if (item >= 0) Send(IDC_GENRE_LIST, LB_SETCURSEL, static_cast<WPARAM>(item));
}

void CGenreEditorDlg::Remove() {
  LRESULT item = Send(IDC_GENRE_LIST, LB_GETCURSEL);
  if (item < 0) return;
  Send(IDC_GENRE_LIST, LB_DELETESTRING, static_cast<WPARAM>(item));
  LRESULT count = Send(IDC_GENRE_LIST, LB_GETCOUNT);
  if (count > 0) Send(IDC_GENRE_LIST, LB_SETCURSEL, static_cast<WPARAM>(item < count ? item : count - 1));
}

bool CGenreEditorDlg::OnOK() {
  std::vector<std::wstring> entries;
  LRESULT count = Send(IDC_GENRE_LIST, LB_GETCOUNT);
  for (LRESULT item = 0; item < count; ++item) {
    LRESULT length = Send(IDC_GENRE_LIST, LB_GETTEXTLEN, static_cast<WPARAM>(item));
    if (length < 0) continue;
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    length = Send(IDC_GENRE_LIST, LB_GETTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(length > 0 ? static_cast<size_t>(length) : 0);
    entries.push_back(entry);
  }
  if (entries.empty()) {
    Refuse(kNoGenre, IDC_GENRE_NAME);
    return false;
  }
  text = JoinGenreEntries(entries);
  return true;
}

bool IsValidUrl(const std::wstring& url) { return !url.empty() && UrlIsW(url.c_str(), URLIS_URL); }

bool IsOpenableUrl(const std::wstring& url) {
  if (!IsValidUrl(url)) return false;
  std::wstring scheme = url.substr(0, url.find(L':'));
  for (const wchar_t* allowed : {L"http", L"https", L"ftp", L"mailto"})
    if (_wcsicmp(scheme.c_str(), allowed) == 0) return true;
  return false;
}

INT_PTR CUrlEditorDlg::DoModal(HWND parent) {
  return CFrameEditorDlg::DoModal(parent, hasDescription ? IDD_FRAME_USER_URL : IDD_FRAME_URL);
}

void CUrlEditorDlg::OnInit() {
  LimitEdit(window, IDC_FRAME_URL);
  SetItemText(IDC_FRAME_URL, url);
  if (!hasDescription) return;
  LimitEdit(window, IDC_FRAME_DESCRIPTION);
  SetItemText(IDC_FRAME_DESCRIPTION, description);
}

bool CUrlEditorDlg::OnOK() {
  std::wstring typedUrl = ItemText(IDC_FRAME_URL);
  if (!IsValidUrl(typedUrl)) {
    Refuse(kInvalidUrl, IDC_FRAME_URL);
    return false;
  }
  std::wstring typedDescription = hasDescription ? ItemText(IDC_FRAME_DESCRIPTION) : std::wstring();
  if (hasDescription && typedDescription.empty()) {
    Refuse(kNoUrlDescription, IDC_FRAME_DESCRIPTION);
    return false;
  }
  url = typedUrl;
  description = typedDescription;
  return true;
}

void CUrlEditorDlg::OnCommand(int id, int code) {
  if (id == IDC_FRAME_OPEN_URL && code == BN_CLICKED) OpenTypedUrl();
}

void CUrlEditorDlg::OpenTypedUrl() {
  std::wstring typed = ItemText(IDC_FRAME_URL);
  if (!IsValidUrl(typed)) {
    Refuse(kInvalidUrl, IDC_FRAME_URL);
  } else if (!IsOpenableUrl(typed)) {
    Refuse(kNotOpenable, IDC_FRAME_URL);
  } else if (!OpenUrl(window, typed.c_str())) {
    EngineMessageBox(window, kNotOpened, MB_OK | MB_ICONERROR);
  }
}
