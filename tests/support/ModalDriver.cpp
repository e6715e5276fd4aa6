// Drives modal dialogs of the thread from a thread timer.
#include "ModalDriver.h"

#include <commctrl.h>

#include <cwchar>
#include <cwctype>
#include <map>

namespace {
ModalDriver* activeDriver = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (wcscmp(className, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
}  // namespace

ModalDriver::ModalDriver(std::function<void(HWND)> driveDialog) : drive(std::move(driveDialog)) {
  activeDriver = this;
  timer = SetTimer(nullptr, 0, 20, &OnTimer);
}

ModalDriver::~ModalDriver() {
  if (timer) KillTimer(nullptr, timer);
  activeDriver = nullptr;
}

void CALLBACK ModalDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  ModalDriver* self = activeDriver;
  if (!self || self->drove) return;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  self->drove = true;
  KillTimer(nullptr, self->timer);
  self->timer = 0;
  self->drive(dialog);
}

void SelectComboItem(HWND dialog, int id, int index) {
  SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int FindComboItem(HWND dialog, int id, const wchar_t* prefix) {
  wchar_t kind[32] = {};
  GetClassNameW(GetDlgItem(dialog, id), kind, 32);
  const bool extended = wcscmp(kind, WC_COMBOBOXEXW) == 0;  // keeps its texts apart from its inner combo box
  int count = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
  for (int item = 0; item < count; ++item) {
    wchar_t text[256] = {};
    if (extended) {
      COMBOBOXEXITEMW entry = {};
      entry.mask = CBEIF_TEXT;
      entry.iItem = item;
      entry.pszText = text;
      entry.cchTextMax = 256;
      SendDlgItemMessageW(dialog, id, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    } else {
      if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, item, 0) >= 256) continue;
      SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    }
    if (wcsncmp(text, prefix, wcslen(prefix)) == 0) return item;
  }
  return -1;
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Focus(HWND dialog, int id) {
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

void PressKey(HWND dialog, UINT key) {
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG msg = {};
    msg.hwnd = GetFocus();
    msg.message = message;
    msg.wParam = key;
    msg.lParam = message == WM_KEYDOWN ? 1 : static_cast<LPARAM>(0xC0000001);
    if (!msg.hwnd) return;
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

int FocusedId() {
  HWND focus = GetFocus();
  return focus ? GetDlgCtrlID(focus) : 0;
}

void PressAccessKey(HWND dialog, wchar_t letter) {
  MSG msg = {};
  msg.hwnd = GetFocus() ? GetFocus() : dialog;
  msg.message = WM_SYSCHAR;
  msg.wParam = letter;
  msg.lParam = 0x20000001;  // Alt held
  IsDialogMessageW(dialog, &msg);
}

namespace {
std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The letter after a single '&', or 0.
wchar_t AccessKeyOf(const std::wstring& text) {
  for (size_t at = 0; at + 1 < text.size(); ++at) {
    if (text[at] != L'&') continue;
    if (text[at + 1] != L'&') return static_cast<wchar_t>(towlower(text[at + 1]));
    ++at;
  }
  return 0;
}
}  // namespace

std::wstring AccessKeyProblems(HWND dialog) {
  std::wstring problems;
  std::map<wchar_t, std::wstring> used;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t buffer[256] = {};
    GetWindowTextW(child, buffer, 256);
    std::wstring text = buffer;
    if (wchar_t key = AccessKeyOf(text)) {
      auto [entry, added] = used.emplace(key, text);
      if (!added) problems += L"'" + entry->second + L"' and '" + text + L"' share a key; ";
      continue;
    }
    HWND next = GetWindow(child, GW_HWNDNEXT);
    if (text.empty() || !next || _wcsicmp(ClassOf(child).c_str(), L"Static") != 0) continue;
    std::wstring labelled = ClassOf(next);
    for (const wchar_t* input : {L"ComboBox", L"Edit", L"msctls_trackbar32"})
      if (_wcsicmp(labelled.c_str(), input) == 0) problems += L"label '" + text + L"' has no access key; ";
  }
  return problems;
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
