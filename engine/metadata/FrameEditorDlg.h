// CFrameEditorDlg: the thin base of the frame editors' modal dialogs (template, caption, OK that may refuse).
#pragma once

#include <windows.h>

#include <string>

class CFrameEditorDlg {
 public:
  CFrameEditorDlg() = default;
  CFrameEditorDlg(const CFrameEditorDlg&) = delete;
  CFrameEditorDlg& operator=(const CFrameEditorDlg&) = delete;
  virtual ~CFrameEditorDlg() = default;

  // Runs the dialog over parent: IDOK or IDCANCEL; -1 when it cannot be shown.
  INT_PTR DoModal(HWND parent, int dialogId);

  // Replaces the template's caption when not empty (the frame kind's name for dialogs without a title).
  std::wstring caption;

 protected:
  virtual void OnInit() {}
  // Reads the controls into the results; false (after telling the user why) keeps the dialog open.
  virtual bool OnOK() { return true; }
  virtual void OnCommand(int, int) {}
  virtual bool OnDrawItem(const DRAWITEMSTRUCT&) { return false; }
  virtual void OnDestroy() {}

  std::wstring ItemText(int id) const;
  void SetItemText(int id, const std::wstring& text);
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void Enable(int id, bool enabled);
  // Shows message with the error icon and puts the focus on the control to correct.
  void Refuse(const wchar_t* message, int id);

  HWND window = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// Every edit box of the editors takes at most this many characters.
constexpr int kFrameTextLimit = 1024;
