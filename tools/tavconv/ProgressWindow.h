// The progress window of the window mode: progress bar, current file, message log, Cancel/Close.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "tavcore.h"

// Every message box of the window mode goes through this; tests replace it so nothing waits for a user.
using MessageBoxFunction = int(WINAPI*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
extern MessageBoxFunction messageBoxFunction;

// A string from the program's string table with "%1", "%2" replaced by the arguments.
std::wstring ProgramText(UINT id, const std::wstring& first = {}, const std::wstring& second = {});

// The log list box keeps each line's style letters as these bits in the item data.
enum LogStyleBit : LPARAM { kLogError = 1, kLogInformation = 2, kLogBold = 4, kLogHighlight = 8 };

// How a log line looks, from the job's style letters.
struct LogLook {
  COLORREF color;
  bool bold;
  bool highlight;
  const wchar_t* prefix;  // kept in the line's text, so errors stand out without colour too
};
LogLook LookOfStyle(const wchar_t* style);

// The callback methods may be called from the job's worker thread: they hand their work to the window's
// thread by sent messages (the window thread keeps dispatching while the job runs), and never touch the
// controls themselves. Everything else is for the window's thread only.
class CProgressWindow : public IConvertCallback {
 public:
  CProgressWindow() = default;
  ~CProgressWindow();
  CProgressWindow(const CProgressWindow&) = delete;
  CProgressWindow& operator=(const CProgressWindow&) = delete;

  // Creates and shows the modeless window; false when the template cannot be loaded.
  bool Create(const std::wstring& title);
  HWND Window() const { return window; }

  void SetFileNumber(int number, int count);
  void AddLogLine(const std::wstring& text, const std::wstring& style);
  // The job is over: the summary goes to the log and Cancel becomes Close.
  void Finish(const std::wstring& summary);
  // Dispatches messages until the user closes the finished window.
  void WaitUntilClosed();
  // Dispatches what is waiting without blocking.
  void PumpMessages();

  bool Cancelled() const { return cancelled; }
  bool Finished() const { return finished; }

  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t* path) override;
  void STDMETHODCALLTYPE Log(const wchar_t* text) override;
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override;
  void STDMETHODCALLTYPE SetProgressRange(int max) override;
  void STDMETHODCALLTYPE SetProgressPos(int pos) override;
  void STDMETHODCALLTYPE StepProgress(int step) override;
  void STDMETHODCALLTYPE SetStatusText(const wchar_t* text) override;
  BOOL STDMETHODCALLTYPE IsCancelled() override { return cancelled; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t* text, BOOL isPath) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Deliver(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCancelOrClose();
  void DrawLogItem(const DRAWITEMSTRUCT& item);

  HWND window = nullptr;
  HFONT boldFont = nullptr;
  std::atomic<bool> cancelled{false};
  bool finished = false;
  bool closed = false;
};
