// Test doubles for the window mode's message boxes and the user who closes the finished window.
#include "WindowDriver.h"

#include <commctrl.h>

#include "ProgressWindow.h"
#include "WindowMode.h"
#include "resource.h"

namespace {
MessageBoxDouble* activeDouble = nullptr;
FinishedWindowCloser* activeCloser = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (wcscmp(className, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

std::wstring TextOf(HWND window, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(window, id, text, 512);
  return text;
}
}  // namespace

MessageBoxDouble::MessageBoxDouble() {
  activeDouble = this;
  messageBoxFunction = &Show;
}

MessageBoxDouble::~MessageBoxDouble() {
  messageBoxFunction = &MessageBoxW;
  activeDouble = nullptr;
}

int WINAPI MessageBoxDouble::Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  MessageBoxDouble* self = activeDouble;
  if (!self) return IDCANCEL;
  self->shown.push_back({owner, text ? text : L"", caption ? caption : L"", type});
  if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
  return self->onQuestion ? self->onQuestion(self->shown.back()) : self->answer;
}

std::vector<LogItem> ReadLog(HWND window) {
  std::vector<LogItem> items;
  HWND log = GetDlgItem(window, IDC_LOG);
  int count = static_cast<int>(SendMessageW(log, LB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    std::wstring text(static_cast<size_t>(SendMessageW(log, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(log, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    items.push_back({text, static_cast<LPARAM>(SendMessageW(log, LB_GETITEMDATA, index, 0))});
  }
  return items;
}

FinishedWindowCloser::FinishedWindowCloser() {
  activeCloser = this;
  timer = SetTimer(nullptr, 0, 10, &OnTimer);
}

FinishedWindowCloser::~FinishedWindowCloser() {
  KillTimer(nullptr, timer);
  activeCloser = nullptr;
}

void CALLBACK FinishedWindowCloser::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  FinishedWindowCloser* self = activeCloser;
  HWND window = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&window));
  if (!self || self->result.seen || !window || TextOf(window, IDCANCEL) != L"Close") return;
  FinishedWindow& result = self->result;
  result.seen = true;
  result.log = ReadLog(window);
  result.fileNumber = TextOf(window, IDC_FILE_COUNT);
  result.button = TextOf(window, IDCANCEL);
  result.rangeHigh = static_cast<int>(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0));
  result.position = static_cast<int>(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

int RunWith(const std::vector<std::wstring>& arguments) {
  std::vector<std::wstring> line = {L"tavconv.exe"};
  line.insert(line.end(), arguments.begin(), arguments.end());
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : line) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunWindowMode(static_cast<int>(line.size()), argv.data());
}
