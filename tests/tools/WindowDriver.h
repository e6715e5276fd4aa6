// Test doubles for the window mode: recorded message boxes, and a user who starts the batch, answers its
// questions by clicking, and reads and closes the progress window once its job is over.
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

inline bool IsShown(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  return control && IsWindowVisible(control) && IsWindowEnabled(control);
}

inline void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A key pressed on the window's focused control (or the window itself), as the keyboard delivers it: posted,
// so it goes through whichever message loop runs.
inline void PressKey(HWND window, WPARAM key) {
  HWND focus = GetFocus();
  HWND target = focus && (focus == window || IsChild(window, focus)) ? focus : window;
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// What the progress window showed when its button turned into Close.
struct FinishedWindow {
  bool seen = false;
  std::vector<LogItem> log;
  std::wstring fileNumber, title, status, outcome, overall;
  LRESULT rangeHigh = -1, position = -1, overallPosition = -1, overallHigh = -1;
};

struct OverwriteQuestion {
  HWND owner;
  std::wstring text, fileInWindow;
};

// A user of the window mode, on a thread timer: clicks Convert when the window is ready (or does
// `onReady`), answers overwrite questions with `onOverwrite` (a button id), hands any other dialog (a
// settings dialog) to `onOtherDialog`, and once the batch is finished takes a snapshot and clicks Close.
// Timers keep firing inside modal loops, so a handler may open a dialog that a later tick answers.
class WindowUser {
 public:
  WindowUser() { Active() = this, timer = SetTimer(nullptr, 0, 10, &OnTimer); }
  ~WindowUser() { KillTimer(nullptr, timer), Active() = nullptr; }
  FinishedWindow result;
  std::vector<OverwriteQuestion> questions;
  int readySeen = 0;
  std::function<void(HWND progress)> onReady = [](HWND progress) { Click(progress, IDOK); };
  std::function<int(const OverwriteQuestion&)> onOverwrite = [](const OverwriteQuestion&) { return IDNO; };
  std::function<void(HWND dialog)> onOtherDialog;

 private:
  static WindowUser*& Active() {
    static WindowUser* active = nullptr;
    return active;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    WindowUser* self = Active();
    if (!self) return;
    std::vector<HWND> dialogs;  // only this thread's: other test programs may show dialogs meanwhile
    EnumThreadWindows(GetCurrentThreadId(), &FindDialogs, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND dialog : dialogs) {
      if (!IsWindow(dialog) || !IsWindowVisible(dialog)) continue;
      if (GetDlgItem(dialog, IDC_LOG)) {
        if (TextOf(dialog, IDCANCEL) == L"Close") {
          if (self->result.seen) continue;
          wchar_t title[256] = {};
          GetWindowTextW(dialog, title, 256);
          self->result = {true,
                          ReadLog(dialog),
                          TextOf(dialog, IDC_FILE_COUNT),
                          title,
                          TextOf(dialog, IDC_STATUS_TEXT),
                          TextOf(dialog, IDC_CURRENT_FILE),
                          TextOf(dialog, IDC_OVERALL_TEXT),
                          SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0),
                          SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0),
                          SendDlgItemMessageW(dialog, IDC_OVERALL_BAR, PBM_GETPOS, 0, 0),
                          SendDlgItemMessageW(dialog, IDC_OVERALL_BAR, PBM_GETRANGE, FALSE, 0)};
          Click(dialog, IDCANCEL);
          return;
        }
        if (IsShown(dialog, IDOK) && self->readySeen == 0) {
          ++self->readySeen;
          self->onReady(dialog);
          return;
        }
      } else if (GetDlgItem(dialog, IDC_YES_TO_ALL) && GetDlgItem(dialog, IDC_NO_TO_ALL)) {
        HWND owner = GetWindow(dialog, GW_OWNER);
        self->questions.push_back({owner, TextOf(dialog, IDC_OVERWRITE_TEXT), TextOf(owner, IDC_CURRENT_FILE)});
        Click(dialog, self->onOverwrite(self->questions.back()));
        return;
      } else if (self->onOtherDialog) {
        self->onOtherDialog(dialog);
        return;
      }
    }
  }
  static BOOL CALLBACK FindDialogs(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (wcscmp(className, L"#32770") == 0) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
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
