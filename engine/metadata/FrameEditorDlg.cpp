// CFrameEditorDlg: dialog procedure and control helpers shared by the frame editors.
#include "FrameEditorDlg.h"

#include <commctrl.h>

#include <vector>

#include "EngineMessageBox.h"
#include "EngineResources.h"

INT_PTR CFrameEditorDlg::DoModal(HWND parent, int dialogId) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // A language pack made before the editors existed has no templates for them: the engine's own are used.
  HMODULE module = ResourceModule();
  if (!FindResourceW(module, MAKEINTRESOURCEW(dialogId), reinterpret_cast<LPCWSTR>(RT_DIALOG))) module = EngineModule();
  return DialogBoxParamW(module, MAKEINTRESOURCEW(dialogId), parent, &DialogProc, reinterpret_cast<LPARAM>(this));
}

std::wstring CFrameEditorDlg::ItemText(int id) const {
  HWND control = GetDlgItem(window, id);
  int length = control ? GetWindowTextLengthW(control) : 0;
  if (length <= 0) return {};
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(control, text.data(), length + 1);
  return std::wstring(text.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

void CFrameEditorDlg::SetItemText(int id, const std::wstring& text) { SetDlgItemTextW(window, id, text.c_str()); }

LRESULT CFrameEditorDlg::Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
  return SendDlgItemMessageW(window, id, message, wParam, lParam);
}

void CFrameEditorDlg::Enable(int id, bool enabled) { EnableWindow(GetDlgItem(window, id), enabled); }

void CFrameEditorDlg::Refuse(const wchar_t* message, int id) {
  EngineMessageBox(window, message, MB_OK | MB_ICONERROR);
  if (HWND control = GetDlgItem(window, id))
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

// Window procedures are an edge of the engine: nothing may escape them.
INT_PTR CALLBACK CFrameEditorDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CFrameEditorDlg*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->window = hwnd;
      if (!self->caption.empty()) SetWindowTextW(hwnd, self->caption.c_str());
      self->OnInit();
      return TRUE;
    }
    auto* self = reinterpret_cast<CFrameEditorDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
          if (self->OnOK()) EndDialog(hwnd, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(hwnd, IDCANCEL);
        } else {
          self->OnCommand(LOWORD(wParam), HIWORD(wParam));
        }
        return TRUE;
      case WM_DRAWITEM:
        return self->OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
      case WM_DESTROY:
        self->OnDestroy();
        self->window = nullptr;
        return FALSE;
    }
  } catch (...) {
  }
  return FALSE;
}
