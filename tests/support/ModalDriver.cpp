// Drives modal dialogs of the thread from a thread timer.
#include "ModalDriver.h"

#include <cwchar>

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
  int count = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
  for (int item = 0; item < count; ++item) {
    wchar_t text[256] = {};
    if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, item, 0) >= 256) continue;
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    if (wcsncmp(text, prefix, wcslen(prefix)) == 0) return item;
  }
  return -1;
}

void Click(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
