// Test doubles for the window mode: recorded message boxes, and a user who reads and closes the
// progress window once its job is over.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "ProgressWindow.h"
#include "WindowMode.h"
#include "resource.h"

struct ShownMessage {
  HWND owner;
  std::wstring text, caption;
  UINT type;
};

// Replaces the message boxes while it lives; Yes/No questions get `answer` or what `onQuestion` says.
struct MessageBoxDouble {
  MessageBoxDouble() { Active() = this, messageBoxFunction = &Show; }
  ~MessageBoxDouble() { Active() = nullptr, messageBoxFunction = &MessageBoxW; }
  static MessageBoxDouble*& Active() {
    static MessageBoxDouble* active = nullptr;
    return active;
  }
  static int WINAPI Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    MessageBoxDouble* self = Active();
    self->shown.push_back({owner, text, caption, type});
    if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    return self->onQuestion ? self->onQuestion(self->shown.back()) : self->answer;
  }
  std::vector<ShownMessage> shown;
  int answer = IDNO;
  std::function<int(const ShownMessage&)> onQuestion;
};

struct LogItem {
  std::wstring text;
  LPARAM styleBits;
};

inline std::wstring TextOf(HWND window, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(window, id, text, 512);
  return text;
}

inline std::vector<LogItem> ReadLog(HWND window) {
  std::vector<LogItem> items;
  HWND log = GetDlgItem(window, IDC_LOG);
  for (int index = 0; index < SendMessageW(log, LB_GETCOUNT, 0, 0); ++index) {
    std::wstring text(static_cast<size_t>(SendMessageW(log, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(log, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    items.push_back({text, static_cast<LPARAM>(SendMessageW(log, LB_GETITEMDATA, index, 0))});
  }
  return items;
}

// What the progress window showed when its button turned into Close.
struct FinishedWindow {
  bool seen = false;
  std::vector<LogItem> log;
  std::wstring fileNumber;
  LRESULT rangeHigh = -1, position = -1;
};

// Polls the thread's progress window from a thread timer; once it is finished, takes a snapshot and
// clicks Close.
class FinishedWindowCloser {
 public:
  FinishedWindowCloser() { Active() = this, timer = SetTimer(nullptr, 0, 10, &OnTimer); }
  ~FinishedWindowCloser() { KillTimer(nullptr, timer), Active() = nullptr; }
  FinishedWindow result;

 private:
  static FinishedWindowCloser*& Active() {
    static FinishedWindowCloser* active = nullptr;
    return active;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = nullptr;  // only this thread's: other test programs may show dialogs meanwhile
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&window));
    if (!Active() || Active()->result.seen || !window || TextOf(window, IDCANCEL) != L"Close") return;
    Active()->result = {true, ReadLog(window), TextOf(window, IDC_FILE_COUNT),
                        SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0),
                        SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0)};
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (wcscmp(className, L"#32770") == 0) *reinterpret_cast<HWND*>(found) = window;
    return TRUE;
  }
  UINT_PTR timer = 0;
};

// Runs the window mode with the arguments after the program name.
inline int RunWith(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"tavconv.exe");
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunWindowMode(static_cast<int>(arguments.size()), argv.data());
}
