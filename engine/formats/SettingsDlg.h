// The modal settings dialog every encoder shares: load, show, read back and save its settings record.
// A format supplies LoadSettings, SaveSettings, InitControls, ReadControls and may handle OnCommand
// (its own controls) and OnDestroy (freeing what its controls hold).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "EngineResources.h"
#include "resource.h"
#include "tavcore.h"

template <class Dialog, class Record, int DialogId>
class CSettingsDlg {
 public:
  // Runs the dialog over parent: IDOK (1) or IDCANCEL (2); -1 when it cannot be shown.
  INT_PTR DoModal(HWND parent) {
    // Sliders and the like live in the common controls, which must be registered before the dialog exists.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(DialogId), parent, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
  }

  // A destination's ShowSettings: the record comes back as it was unless the user chose OK; on OK it is
  // copied into every destination of the null-terminated list that is of the same class.
  template <class Destination>
  bool ShowForDestination(HWND parent, IConvertDestination** alsoApplyTo, const GUID& classId) {
    Record before = settings;
    if (DoModal(parent) != IDOK) {
      settings = before;
      return false;
    }
    for (IConvertDestination** other = alsoApplyTo; other && *other; ++other) {
      GUID id = {};
      if ((*other)->GetClassId(&id) && IsEqualGUID(id, classId))
        static_cast<Destination*>(*other)->Settings() = settings;
    }
    return true;
  }

  Record settings;
  // Set when the dialog edits the stored defaults rather than one destination's settings.
  bool editingDefaults = false;

 protected:
  HWND window = nullptr;

  void OnCommand(int, int) {}
  void OnScroll(HWND) {}
  void OnDestroy() {}

 private:
  Dialog& Self() { return static_cast<Dialog&>(*this); }

  void CenterOnParent() {
    HWND parent = GetParent(window);
    RECT area;
    if (parent)
      GetWindowRect(parent, &area);
    else
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(window, &own);
    int x = area.left + ((area.right - area.left) - (own.right - own.left)) / 2;
    int y = area.top + ((area.bottom - area.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // OK and Cancel take the place at the right edge, so no hole is left where the button was.
  void HideSetDefault() {
    HWND setDefault = GetDlgItem(window, IDC_SET_DEFAULT);
    HWND cancel = GetDlgItem(window, IDCANCEL);
    if (!setDefault) return;
    ShowWindow(setDefault, SW_HIDE);
    if (!cancel) return;
    RECT edge, last;
    GetWindowRect(setDefault, &edge);
    GetWindowRect(cancel, &last);
    int shift = edge.right - last.right;
    if (shift <= 0) return;
    for (int id : {IDOK, IDCANCEL}) {
      HWND button = GetDlgItem(window, id);
      RECT place;
      if (!button || !GetWindowRect(button, &place)) continue;
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
      SetWindowPos(button, nullptr, place.left + shift, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  void OnInit() {
    CenterOnParent();
    if (editingDefaults) {
      HideSetDefault();
      wchar_t title[256] = {};
      GetWindowTextW(window, title, 256);
      SetWindowTextW(window, FormatText(256, LoadEngineString(IDS_DEFAULT_TITLE).c_str(), title).c_str());
    }
    Self().InitControls();
  }

  void OnButton(int id, int code) {
    switch (id) {
      case IDOK:
        Self().ReadControls();
        if (editingDefaults) Self().SaveSettings(settings);
        EndDialog(window, IDOK);
        break;
      case IDCANCEL:
        EndDialog(window, IDCANCEL);
        break;
      case IDC_SET_DEFAULT: {
        HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        Self().ReadControls();
        Self().SaveSettings(settings);
        SetCursor(previous);
        break;
      }
      default:
        Self().OnCommand(id, code);
    }
  }

  // Window procedures are an edge of the engine: nothing may escape them.
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
      if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CSettingsDlg*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->window = hwnd;
        self->OnInit();
        return TRUE;
      }
      auto* self = reinterpret_cast<CSettingsDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
      if (!self) return FALSE;
      switch (message) {
        case WM_COMMAND:
          self->OnButton(LOWORD(wParam), HIWORD(wParam));
          return TRUE;
        case WM_HSCROLL:
          self->Self().OnScroll(reinterpret_cast<HWND>(lParam));
          return TRUE;
        case WM_DESTROY:
          self->Self().OnDestroy();
          self->window = nullptr;
          return FALSE;
      }
    } catch (...) {
    }
    return FALSE;
  }
};

// The stored defaults of a format: edited in its dialog (0, or 0x80004004 after Cancel) ...
template <class Dialog>
HRESULT EditStoredDefaults(HWND parent) {
  Dialog dialog;
  dialog.LoadSettings(dialog.settings);
  dialog.editingDefaults = true;
  return dialog.DoModal(parent) == IDOK ? S_OK : E_ABORT;
}

// ... and described in one line.
template <class Dialog, class Record>
std::wstring DescribeStoredDefaults(std::wstring (*describe)(const Record&)) {
  Dialog dialog;
  dialog.LoadSettings(dialog.settings);
  return describe(dialog.settings);
}
