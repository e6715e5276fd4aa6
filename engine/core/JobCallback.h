// The caller's callback as the conversion job hands it to the source and destination: every call is passed
// on, errors are remembered (an error logged anywhere fails the file), and byte counts of files beyond 2 GB are
// scaled so the progress range still fits the callback's int.
#pragma once

#include "tavcore.h"

class CJobCallback final : public IConvertCallback {
 public:
  explicit CJobCallback(IConvertCallback& caller) : caller(caller) {}

  bool ErrorLogged() const { return errorLogged; }
  // Sets the range in bytes (and the scale of every later position and step).
  void SetByteRange(UINT32 total);
  void SetBytePosition(UINT32 position);

  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t* path) override { return caller.ConfirmOverwrite(path); }
  void STDMETHODCALLTYPE Log(const wchar_t* text) override { caller.Log(text); }
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override;
  void STDMETHODCALLTYPE SetProgressRange(int max) override { SetByteRange(static_cast<UINT32>(max)); }
  void STDMETHODCALLTYPE SetProgressPos(int pos) override { SetBytePosition(static_cast<UINT32>(pos)); }
  void STDMETHODCALLTYPE StepProgress(int step) override;
  void STDMETHODCALLTYPE SetStatusText(const wchar_t* text) override { caller.SetStatusText(text); }
  BOOL STDMETHODCALLTYPE IsCancelled() override { return caller.IsCancelled(); }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t* text, BOOL isPath) override {
    caller.SetCurrentFile(text, isPath);
  }

 private:
  IConvertCallback& caller;
  bool errorLogged = false;
  unsigned shift = 0;           // progress units are bytes >> shift
  unsigned long long done = 0;  // bytes stepped since the last position
  unsigned long long position = 0;
};
