// The burn progress window and the two reporting interfaces it implements.
#include "BurnProgress.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <string>

#include "BurnProgressResource.h"

namespace {
// Callback work handed from the conversion's worker thread to the window's thread.
enum : UINT {
  kAppendLog = WM_APP + 1,  // wParam: style, lParam: text
  kSetRange,
  kSetPosition,
  kStep,
  kSetStatus,       // lParam: text
  kSetCurrentFile,  // wParam: is a path, lParam: text
};

const wchar_t kProductName[] = L"Tavrel cdforge";
const wchar_t kShowDetails[] = L"Details >>";
const wchar_t kHideDetails[] = L"<< Details";

const wchar_t* Text(const wchar_t* text) { return text ? text : L""; }

bool HasStyle(const wchar_t* style, wchar_t letter) { return style && wcschr(style, letter) != nullptr; }

void SetCurrentText(HWND label, const wchar_t* text, bool isPath) {
  LONG_PTR style = GetWindowLongPtrW(label, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_ELLIPSISMASK);
  SetWindowLongPtrW(label, GWL_STYLE, style | (isPath ? SS_PATHELLIPSIS : SS_ENDELLIPSIS));
  SetWindowTextW(label, text);
}
}  // namespace

CBurnCDProgress::~CBurnCDProgress() {
  if (HWND hwnd = window) {
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(hwnd);
  }
}

bool CBurnCDProgress::Create(HWND ownerWindow) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The log's class; the library stays loaded for the process, as the window may be opened again.
  static HMODULE richEdit = LoadLibraryW(L"riched20.dll");
  if (!richEdit) return false;
  owner = ownerWindow;
  if (!CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_BURN_PROGRESS), owner, &DialogProc,
                          reinterpret_cast<LPARAM>(this)))
    return false;
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  return true;
}

void CBurnCDProgress::OnInit() {
  SendDlgItemMessageW(window, IDC_BURN_BAR, PBM_SETRANGE32, 0, 0);
  HWND log = GetDlgItem(window, IDC_BURN_LOG);
  SendMessageW(log, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
  SendMessageW(log, EM_SETEVENTMASK, 0, 0);
  RECT frame, client, label;
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  GetWindowRect(GetDlgItem(window, IDC_BURN_LOG_LABEL), &label);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&label), 2);
  fullHeight = frame.bottom - frame.top;
  // Without the log the window ends where the log's label starts: the margin below the buttons then
  // equals the one above the status line.
  compactHeight = fullHeight - (client.bottom - label.top);
  int details = 1;
  ReadPInt(L"Settings", L"ProgressDetails", &details);
  ShowDetails(details != 0);
  SendMessageW(window, DM_SETDEFID, IDC_BURN_CANCEL, 0);
}

void CBurnCDProgress::ShowDetails(bool show) {
  detailsShown = show;
  HWND log = GetDlgItem(window, IDC_BURN_LOG);
  if (!show && GetFocus() == log)
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_BURN_DETAILS)), TRUE);
  // Hidden, not just cut off, so that Tab does not reach them.
  ShowWindow(GetDlgItem(window, IDC_BURN_LOG_LABEL), show ? SW_SHOW : SW_HIDE);
  ShowWindow(log, show ? SW_SHOW : SW_HIDE);
  RECT frame;
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, show ? fullHeight : compactHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetDlgItemTextW(window, IDC_BURN_DETAILS, show ? kHideDetails : kShowDetails);
  if (show) SendMessageW(log, WM_VSCROLL, SB_BOTTOM, 0);
}

void CBurnCDProgress::AppendLog(const wchar_t* text, const wchar_t* style) {
  HWND log = GetDlgItem(window, IDC_BURN_LOG);
  // Each call is a line of its own, whether or not the text ends in a line break.
  std::wstring line;
  for (const wchar_t* c = text; *c; ++c) {
    if (*c == L'\n' && (c == text || c[-1] != L'\r')) line += L'\r';
    line += *c;
  }
  if (line.empty() || line.back() != L'\n') line += L"\r\n";

  GETTEXTLENGTHEX lengthOf = {GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT end = SendMessageW(log, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthOf), 0);
  CHARRANGE at = {static_cast<LONG>(end), static_cast<LONG>(end)};
  SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at));
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR | CFM_BOLD;
  format.dwEffects = HasStyle(style, L'b') ? CFE_BOLD : 0;
  if (HasStyle(style, L'e'))
    format.crTextColor = RGB(200, 0, 0);
  else if (HasStyle(style, L'i'))
    format.crTextColor = RGB(0, 70, 160);
  else if (HasStyle(style, L'k'))
    format.crTextColor = RGB(0, 128, 0);
  else
    format.dwEffects |= CFE_AUTOCOLOR;
  SendMessageW(log, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageW(log, WM_VSCROLL, SB_BOTTOM, 0);
}

void CBurnCDProgress::Finish() {
  finished = true;
  burning = false;
  if (!window) return;
  HWND cancelButton = GetDlgItem(window, IDC_BURN_CANCEL);
  HWND closeButton = GetDlgItem(window, IDC_BURN_CLOSE);
  EnableWindow(closeButton, TRUE);
  SendMessageW(window, DM_SETDEFID, IDC_BURN_CLOSE, 0);
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(closeButton), TRUE);
  EnableWindow(cancelButton, FALSE);
}

void CBurnCDProgress::Cancel() {
  if (cancelled || finished) return;
  cancelled = true;
  HWND cancelButton = GetDlgItem(window, IDC_BURN_CANCEL);
  // A disabled button cannot keep the keyboard focus.
  if (GetFocus() == cancelButton)
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_BURN_DETAILS)), TRUE);
  EnableWindow(cancelButton, FALSE);
}

// Only a finished job's window closes: the job still reports into a running one.
void CBurnCDProgress::Close() {
  if (!finished || !window) return;
  WritePInt(L"Settings", L"ProgressDetails", detailsShown ? 1 : 0);
  // The owner first, so that it, not some other program, becomes the active window.
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(window);
}

void CBurnCDProgress::WaitUntilClosed() {
  MSG message;
  while (window) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void CBurnCDProgress::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    HWND hwnd = window;
    if (hwnd && IsDialogMessageW(hwnd, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool CBurnCDProgress::ConfirmTestMode(HWND ownerWindow) {
  return MessageBoxW(ownerWindow,
                     L"In Test Mode the burning process will be simulated only.\n\n"
                     L"- Click \"Yes\" to continue in Test Mode.\n- Click \"No\" to turn off Test Mode.\n",
                     kProductName, MB_YESNO | MB_ICONWARNING) == IDYES;
}

// ------------------------------------------------------------------------------------------------------------
// IConvertCallback: a sent message runs the work on the window's thread; sent to our own thread it is a call.

LRESULT CBurnCDProgress::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND target = window;
  return target ? SendMessageW(target, message, wParam, lParam) : 0;
}

BOOL CBurnCDProgress::ConfirmOverwrite(const wchar_t*) { return TRUE; }

void CBurnCDProgress::Log(const wchar_t* text) { LogStyled(text, L""); }

void CBurnCDProgress::LogStyled(const wchar_t* text, const wchar_t* style) {
  Deliver(kAppendLog, reinterpret_cast<WPARAM>(Text(style)), reinterpret_cast<LPARAM>(Text(text)));
}

void CBurnCDProgress::SetProgressRange(int max) { Deliver(kSetRange, 0, std::max(max, 0)); }
void CBurnCDProgress::SetProgressPos(int pos) { Deliver(kSetPosition, static_cast<WPARAM>(pos), 0); }
void CBurnCDProgress::StepProgress(int step) { Deliver(kStep, static_cast<WPARAM>(step), 0); }

void CBurnCDProgress::SetStatusText(const wchar_t* text) {
  Deliver(kSetStatus, 0, reinterpret_cast<LPARAM>(Text(text)));
}

void CBurnCDProgress::SetCurrentFile(const wchar_t* text, BOOL isPath) {
  Deliver(kSetCurrentFile, isPath ? 1 : 0, reinterpret_cast<LPARAM>(Text(text)));
}

// ------------------------------------------------------------------------------------------------------------
// IDiscMasterProgressEvents (the mapping it derives from): arrive on the window's thread while the disc master
// works.

HRESULT STDMETHODCALLTYPE CBurnCDProgress::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDiscMasterProgressEvents)) return E_NOINTERFACE;
  *out = static_cast<IDiscMasterProgressEvents*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CBurnCDProgress::AddRef() { return static_cast<ULONG>(++refCount); }

ULONG STDMETHODCALLTYPE CBurnCDProgress::Release() {
  const LONG left = --refCount;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// ------------------------------------------------------------------------------------------------------------

INT_PTR CBurnCDProgress::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND bar = GetDlgItem(window, IDC_BURN_BAR);
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BURN_CANCEL:
          Cancel();
          break;
        case IDC_BURN_CLOSE:
          Close();
          break;
        case IDC_BURN_DETAILS:
          ShowDetails(!detailsShown);
          break;
        case IDCANCEL:
          // Esc: a stray key must not stop a burn, so it only closes a finished window.
          Close();
          break;
      }
      return TRUE;
    case WM_CLOSE:
      // The close box of a running job is a request to stop it; the window stays until the job has ended.
      if (finished)
        Close();
      else
        Cancel();
      return TRUE;
    case WM_QUERYENDSESSION:
      SetWindowLongPtrW(window, DWLP_MSGRESULT, burning ? FALSE : TRUE);
      return TRUE;
    case kAppendLog:
      AppendLog(reinterpret_cast<const wchar_t*>(lParam), reinterpret_cast<const wchar_t*>(wParam));
      return TRUE;
    case kSetRange:
      SendMessageW(bar, PBM_SETRANGE32, 0, lParam);
      return TRUE;
    case kSetPosition:
      SendMessageW(bar, PBM_SETPOS, wParam, 0);
      return TRUE;
    case kStep:
      SendMessageW(bar, PBM_SETSTEP, wParam, 0);
      SendMessageW(bar, PBM_STEPIT, 0, 0);
      return TRUE;
    case kSetStatus:
      SetDlgItemTextW(window, IDC_BURN_STATUS, reinterpret_cast<const wchar_t*>(lParam));
      return TRUE;
    case kSetCurrentFile:
      SetCurrentText(GetDlgItem(window, IDC_BURN_CURRENT), reinterpret_cast<const wchar_t*>(lParam), wParam != 0);
      return TRUE;
  }
  return FALSE;
}

// Window procedures are an edge of the program: nothing may escape them.
INT_PTR CALLBACK CBurnCDProgress::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CBurnCDProgress*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->window = hwnd;
      self->OnInit();
      return TRUE;
    }
    auto* self = reinterpret_cast<CBurnCDProgress*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
      self->window = nullptr;
      return FALSE;
    }
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
  }
  return FALSE;
}
