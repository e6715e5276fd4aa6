// An IConvertCallback for work nobody watches: no progress, no questions (an overwrite is allowed), never
// cancelled. Every line logged reaches LogStyled (plain lines with an empty style), which drops it unless a
// deriving class keeps what it needs.
#pragma once

#include "tavcore.h"

class CQuietCallback : public IConvertCallback {
 public:
  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t*) override { return TRUE; }
  void STDMETHODCALLTYPE Log(const wchar_t* text) override { LogStyled(text, L""); }
  void STDMETHODCALLTYPE LogStyled(const wchar_t*, const wchar_t*) override {}
  void STDMETHODCALLTYPE SetProgressRange(int) override {}
  void STDMETHODCALLTYPE SetProgressPos(int) override {}
  void STDMETHODCALLTYPE StepProgress(int) override {}
  void STDMETHODCALLTYPE SetStatusText(const wchar_t*) override {}
  BOOL STDMETHODCALLTYPE IsCancelled() override { return FALSE; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t*, BOOL) override {}
};
