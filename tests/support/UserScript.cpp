#include "UserScript.h"

#include <commctrl.h>

namespace {

UserScript* active = nullptr;
bool looking = false;  // the steps wait while someone looks at the windows

struct Search {
  std::function<bool(HWND)> wanted;
  HWND found = nullptr;
};

HWND FindThreadWindow(std::function<bool(HWND)> wanted) {
  Search search{std::move(wanted)};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<Search*>(parameter);
        if (!IsWindowVisible(window) || !search->wanted(window)) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TitleOf(HWND window) {
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  return title;
}

// A message box is a dialog with a static text (id 0xFFFF) and buttons only.
bool IsMessageBox(HWND window) {
  if (ClassOf(window) != L"#32770" || !GetDlgItem(window, 0xFFFF)) return false;
  for (const wchar_t* input : {L"Edit", L"ComboBox", L"ListBox", L"SysListView32", L"SysTabControl32"})
    if (FindWindowExW(window, nullptr, input, nullptr)) return false;
  return true;
}

void Key(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

LPARAM PointOf(HWND list, int item, int part) {
  RECT box = {};
  box.left = part;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&box));
  return MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
}

// The button's release is queued first: the list may wait in a loop of its own for it (a drag starts otherwise).
// Where it does not, the release is handled once the press is.
void Press(HWND list, UINT down, UINT up, WPARAM buttons, LPARAM at) {
  PostMessageW(list, up, 0, at);
  SendMessageW(list, down, buttons, at);
  MSG message;
  while (PeekMessageW(&message, list, up, up, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

UserScript::UserScript() {
  active = this;
  timer = SetTimer(nullptr, 0, 20, &OnTimer);
}

UserScript::~UserScript() {
  KillTimer(nullptr, timer);
  active = nullptr;
}

UserScript& UserScript::InDialog(const std::wstring& title, std::function<void(HWND)> act) {
  steps.push_back({[title] {
                     return FindThreadWindow([&](HWND window) {
                       return ClassOf(window) == L"#32770" && TitleOf(window) == title && !IsMessageBox(window);
                     });
                   },
                   std::move(act)});
  return *this;
}

UserScript& UserScript::InMenu(std::function<void(HWND, const std::vector<std::wstring>&)> act) {
  steps.push_back({[] { return FindThreadWindow([](HWND window) { return ClassOf(window) == L"#32768"; }); },
                   [act = std::move(act)](HWND menu) { act(menu, MenuItems(menu)); }});
  return *this;
}

UserScript& UserScript::AcknowledgeMessage() {
  steps.push_back({[] { return FindThreadWindow(&IsMessageBox); },
                   [this](HWND box) {
                     wchar_t text[2048] = {};
                     GetDlgItemTextW(box, 0xFFFF, text, 2048);
                     messages.push_back(text);
                     PostMessageW(box, WM_COMMAND, IDOK, 0);
                   }});
  return *this;
}

void CALLBACK UserScript::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  UserScript* self = active;
  if (!self || self->steps.empty() || looking) return;
  HWND window = self->steps.front().find();
  if (!window) return;
  // Taken off first: the step may enter a modal loop of its own, in which the next steps run.
  Step step = std::move(self->steps.front());
  self->steps.pop_front();
  step.act(window);
}

void PauseForALook() {
  if (GetEnvironmentVariableW(L"TAVREL_SHOW_WINDOWS", nullptr, 0) == 0) return;
  looking = true;
  for (ULONGLONG end = GetTickCount64() + 8000; GetTickCount64() < end;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }
  looking = false;
}

std::vector<std::wstring> MenuItems(HWND menuWindow) {
  std::vector<std::wstring> items;
  auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  for (int position = 0; menu && position < GetMenuItemCount(menu); ++position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    items.push_back(text);
  }
  return items;
}

void ChooseMenuItem(HWND menuWindow, int position) {
  auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
  // Down from nothing selected lands on the first item; separators and greyed items are passed over.
  int downs = 0;
  for (int at = 0; at <= position; ++at) {
    const UINT state = GetMenuState(menu, static_cast<UINT>(at), MF_BYPOSITION);
    if (!(state & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED))) ++downs;
  }
  for (int i = 0; i < downs; ++i) Key(menuWindow, VK_DOWN);
  Key(menuWindow, VK_RETURN);
}

void CloseMenu(HWND menuWindow) { Key(menuWindow, VK_ESCAPE); }

void ClickListItem(HWND list, int item, int part) {
  Press(list, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, PointOf(list, item, part));
}

void DoubleClickListItem(HWND list, int item, int part) {
  const LPARAM at = PointOf(list, item, part);
  Press(list, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, at);
  Press(list, WM_LBUTTONDBLCLK, WM_LBUTTONUP, MK_LBUTTON, at);
}

void RightClickListItem(HWND list, int item) {
  Press(list, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, PointOf(list, item, LVIR_LABEL));
}

void RightClickListSpace(HWND list) {
  RECT client = {};
  GetClientRect(list, &client);
  Press(list, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, MAKELPARAM(client.right / 2, client.bottom - 4));
}
