// The progress window of the window mode: the batch before it starts (Settings..., Convert), progress of the
// file and of the whole batch, the message log, Cancel/Close.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "BatchProgress.h"
#include "DialogLayout.h"
#include "OverwriteDialog.h"
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

// What became of a batch's files; the rest of `total` was not converted (the user cancelled).
struct BatchCounts {
  int total = 0;
  int converted = 0;
  int skipped = 0;  // the output existed and the user kept it
  int failed = 0;
  int NotConverted() const { return total - converted - skipped - failed; }
};
// The last line of the log: "3 files converted, 1 skipped, 1 failed."
std::wstring SummaryText(const BatchCounts& counts);
// The finished window's status and title: "3 of 5 converted, 1 skipped, 1 failed".
std::wstring OutcomeText(const BatchCounts& counts);

// The callback methods may be called from the job's worker thread: they hand their work to the window's
// thread by sent messages (the window thread keeps dispatching while the job runs), and never touch the
// controls themselves. Everything else is for the window's thread only.
class CProgressWindow : public IConvertCallback {
 public:
  CProgressWindow() = default;
  ~CProgressWindow();
  CProgressWindow(const CProgressWindow&) = delete;
  CProgressWindow& operator=(const CProgressWindow&) = delete;

  // Creates and shows the modeless window, running; false when the template cannot be loaded.
  bool Create(const std::wstring& title);
  HWND Window() const { return window; }

  // Shows what will be done (`summary`, the files already in the log) with "Settings...", "Convert" and
  // "Cancel", and dispatches messages until the user chooses: true for Convert; false when the user
  // cancelled, and the window is gone. "Settings..." runs `onSettings` on this thread.
  bool WaitForStart(const std::wstring& summary, const std::function<void()>& onSettings);
  // The output naming and the encoder settings shown above the log.
  void SetDetails(const std::wstring& naming, const std::wstring& settings);
  // Overall progress from here on, weighted by the files' sizes in bytes.
  void StartBatch(const std::vector<ULONGLONG>& sizes);
  void ClearLog();

  void SetFileNumber(int number, int count);
  void AddLogLine(const std::wstring& text, const std::wstring& style);
  // The job is over: the summary goes to the log, the status and the title tell the outcome, Cancel
  // becomes Close, and Enter closes.
  void Finish(const BatchCounts& counts);
  // Dispatches messages until the user closes the finished window.
  void WaitUntilClosed();
  // Dispatches what is waiting without blocking.
  void PumpMessages();

  bool Cancelled() const { return cancelled; }
  bool Finished() const { return state == State::kFinished; }
  // The user kept the existing output of the current file (answered No or No to all).
  bool DeclinedOverwrite() const { return declined; }

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
  enum class State { kReady, kRunning, kFinished };

  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Deliver(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void OnKey(WPARAM key);
  void OnCancelButton();
  void OnCloseRequest();
  void Cancel();
  void Close();
  BOOL AskOverwrite(const wchar_t* path);
  void UpdateOverall();
  void ShowButton(int id, bool show);
  void DrawLogItem(const DRAWITEMSTRUCT& item);
  void RunMessageLoop(const std::function<bool()>& until);

  HWND window = nullptr;
  HFONT boldFont = nullptr;
  HHOOK keyHook = nullptr;
  std::atomic<bool> cancelled{false};
  State state = State::kRunning;
  bool closed = false;
  bool askingToCancel = false;
  bool declined = false;
  std::optional<bool> replaceAll;  // the answer "to all", for the rest of the batch
  std::function<void()> onSettings;
  CDialogLayout layout;
  UINT dpi = 96;
  CBatchProgress batch;
  bool batchStarted = false;
  std::wstring overallText;
};
