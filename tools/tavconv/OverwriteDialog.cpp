// The overwrite question of the window mode, a dialog of its own because a message box has no "to all".
#include "OverwriteDialog.h"

#include "ProgressWindow.h"
#include "resource.h"

OverwriteAnswer COverwriteDialog::Ask(HWND owner, const std::wstring& path) {
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), owner, &DialogProc,
                                   reinterpret_cast<LPARAM>(path.c_str()));
  switch (result) {
    case IDYES:
      return OverwriteAnswer::kYes;
    case IDC_YES_TO_ALL:
      return OverwriteAnswer::kYesToAll;
    case IDNO:
      return OverwriteAnswer::kNo;
    case IDC_NO_TO_ALL:
      return OverwriteAnswer::kNoToAll;
    default:
      // A dialog that cannot be shown replaces nothing and asks nothing more.
      return OverwriteAnswer::kCancel;
  }
}

// Window procedures are an edge of the program: nothing may escape them.
INT_PTR CALLBACK COverwriteDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG: {
        const auto* path = reinterpret_cast<const wchar_t*>(lParam);
        SetWindowTextW(hwnd, ProgramText(IDS_OVERWRITE_TITLE).c_str());
        SetDlgItemTextW(hwnd, IDC_OVERWRITE_TEXT, ProgramText(IDS_OVERWRITE_QUESTION, path).c_str());
        SendDlgItemMessageW(hwnd, IDC_OVERWRITE_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
        // Keeping the file is the answer that loses nothing, so it is what Enter gives.
        SendMessageW(hwnd, DM_SETDEFID, IDNO, 0);
        SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd, IDNO)), TRUE);
        MessageBeep(MB_ICONQUESTION);
        return FALSE;
      }
      case WM_COMMAND:
        switch (LOWORD(wParam)) {
          case IDYES:
          case IDC_YES_TO_ALL:
          case IDNO:
          case IDC_NO_TO_ALL:
          case IDCANCEL:
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
  } catch (...) {
  }
  return FALSE;
}
