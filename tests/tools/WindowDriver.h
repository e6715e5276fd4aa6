// Test doubles for the window mode: recorded message boxes, and a timer that reads and closes the
// progress window once its job is over.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct ShownMessage {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
};

// Replaces the window mode's message boxes while it lives. Yes/No questions get `answer` unless
// `onQuestion` is set, which may also act on the owner window before answering.
class MessageBoxDouble {
 public:
  MessageBoxDouble();
  ~MessageBoxDouble();
  MessageBoxDouble(const MessageBoxDouble&) = delete;
  MessageBoxDouble& operator=(const MessageBoxDouble&) = delete;

  std::vector<ShownMessage> shown;
  int answer = IDNO;
  std::function<int(const ShownMessage&)> onQuestion;

 private:
  static int WINAPI Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
};

struct LogItem {
  std::wstring text;
  LPARAM styleBits;
};

// What the progress window showed when its job was over.
struct FinishedWindow {
  bool seen = false;
  std::vector<LogItem> log;
  std::wstring fileNumber;
  std::wstring button;
  int rangeHigh = -1;
  int position = -1;
};

std::vector<LogItem> ReadLog(HWND window);

// Watches the thread's progress window from a thread timer; when its button reads "Close", takes a
// snapshot into `result` and clicks it, as the user would.
class FinishedWindowCloser {
 public:
  FinishedWindowCloser();
  ~FinishedWindowCloser();
  FinishedWindowCloser(const FinishedWindowCloser&) = delete;
  FinishedWindowCloser& operator=(const FinishedWindowCloser&) = delete;

  FinishedWindow result;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  UINT_PTR timer = 0;
};

// Runs the window mode with the arguments after the program name.
int RunWith(const std::vector<std::wstring>& arguments);
