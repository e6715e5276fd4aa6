// The burn progress window: modeless, owned by the burner window (disabled while it is open). The burn job
// reports through its IConvertCallback, the disc master through its IDiscMasterProgressEvents.
#pragma once

#include <windows.h>

#include <atomic>

#include "BurnJob.h"
#include "Imapi.h"
#include "tavcore.h"

// The IConvertCallback methods may be called from the conversion's worker thread: they hand their work to the
// window's thread by sent messages and never touch the controls themselves. Everything else, the progress
// events included, is for the window's thread only.
class CBurnCDProgress : public IConvertCallback, public CBurnEventMapping {
 public:
  // One reference, the creator's; the last Release deletes the object (make it with new).
  CBurnCDProgress() { eventsCallback = this; }
  CBurnCDProgress(const CBurnCDProgress&) = delete;
  CBurnCDProgress& operator=(const CBurnCDProgress&) = delete;

  // Creates and shows the window and disables `owner` until it closes; false when the template cannot be loaded.
  bool Create(HWND owner);
  HWND Window() const { return window; }

  // The job has ended: "&Cancel" off, "Close" on.
  void Finish();
  // While set, the window refuses a request to end the user's session.
  void SetBurning(bool burning) { this->burning = burning; }
  bool Burning() const { return burning; }
  bool Cancelled() const { return cancelled; }
  bool Finished() const { return finished; }
  bool DetailsShown() const { return detailsShown; }

  // Dispatches messages until the user closes the window.
  void WaitUntilClosed();
  // Dispatches pending messages, keyboard navigation of the window included.
  void PumpMessages() override;

  // The test-mode question: true keeps test mode ("Yes"), false records for real.
  static bool ConfirmTestMode(HWND owner);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

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
  virtual ~CBurnCDProgress();
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Deliver(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit();
  void ShowDetails(bool show);
  void AppendLog(const wchar_t* text, const wchar_t* style);
  void Cancel();
  void Close();

  std::atomic<HWND> window{nullptr};
  HWND owner = nullptr;
  std::atomic<LONG> refCount{1};
  std::atomic<bool> cancelled{false};
  bool finished = false;
  bool burning = false;
  bool detailsShown = false;
  int fullHeight = 0;     // window height with the log
  int compactHeight = 0;  // without it
};
