// A thin base for the programs' dialogs: the procedure finds the object stored at WM_INITDIALOG and lets it answer.
#pragma once

#include <windows.h>

#include <string>

class CDialog {
 public:
  CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  HWND Window() const { return window; }

 protected:
  ~CDialog() = default;
  // The dialog's messages after WM_INITDIALOG has bound it; the return value is the dialog procedure's.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  INT_PTR RunModal(HINSTANCE instance, int templateId, HWND parent) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, &Procedure, reinterpret_cast<LPARAM>(this));
  }
  HWND CreateModeless(HINSTANCE instance, int templateId, HWND parent) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, &Procedure,
                              reinterpret_cast<LPARAM>(this));
  }

  std::wstring ItemText(int id) const {
    HWND item = GetDlgItem(window, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
  }
  void Enable(int id, bool enable) const { EnableWindow(GetDlgItem(window, id), enable); }

  HWND window = nullptr;

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<CDialog*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->window = hwnd;
    } else {
      self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    // No C++ exception may cross the window manager.
    try {
      INT_PTR result = self->OnMessage(message, wParam, lParam);
      if (message == WM_NCDESTROY) self->window = nullptr;
      return result;
    } catch (...) {
      return FALSE;
    }
  }
};
