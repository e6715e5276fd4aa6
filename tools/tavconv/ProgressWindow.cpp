// The progress window of the window mode and the job callback it implements.
#include "ProgressWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "resource.h"

MessageBoxFunction messageBoxFunction = &MessageBoxW;

namespace {
// Callback work handed from the job's worker thread to the window's thread.
enum : UINT {
  kAskOverwrite = WM_APP + 1,  // lParam: path; result: nonzero = replace
  kAddLogLine,                 // wParam: style, lParam: text
  kSetRange,
  kSetPosition,
  kStep,
  kSetStatus,       // lParam: text
  kSetCurrentFile,  // wParam: is a path, lParam: text
  kKey,             // wParam: the virtual key, Esc or Enter, taken from whichever loop dispatches
};

// The window whose keys the thread's message hook watches: one progress window per thread.
thread_local CProgressWindow* keyWindow = nullptr;

// Overall bar steps: fine enough that a long batch still moves.
constexpr int kOverallSteps = 1000;

// How the controls follow a resized window: the log takes the room.
constexpr ControlAnchor kAnchors[] = {
    {IDC_STATUS_TEXT, kAnchorLeft}, {IDC_CURRENT_FILE, kStretchWidth},    {IDC_PROGRESS_BAR, kStretchWidth},
    {IDC_FILE_COUNT, kAnchorLeft},  {IDC_OVERALL_TEXT, kFollowRight},     {IDC_OVERALL_BAR, kStretchWidth},
    {IDC_NAMING, kStretchWidth},    {IDC_SETTINGS_TEXT, kStretchWidth},   {IDC_LOG, kStretchWidth | kStretchHeight},
    {IDC_SETTINGS, kFollowBottom},  {IDOK, kFollowRight | kFollowBottom}, {IDCANCEL, kFollowRight | kFollowBottom},
};

UINT WindowDpi(HWND window) {
  // Windows 10 1607 and later know the window's monitor; before that the system's DPI is all there is.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (dpiForWindow) {
    if (UINT dpi = dpiForWindow(window)) return dpi;
  }
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

std::wstring Counted(int count, UINT one, UINT many) {
  return count == 1 ? ProgramText(one) : ProgramText(many, std::to_wstring(count));
}

LPARAM StyleBits(const wchar_t* style) {
  LPARAM bits = 0;
  for (; style && *style; ++style) {
    switch (*style) {
      case L'e':
        bits |= kLogError;
        break;
      case L'i':
        bits |= kLogInformation;
        break;
      case L'b':
        bits |= kLogBold;
        break;
      case L'k':
        bits |= kLogHighlight;
        break;
    }
  }
  return bits;
}

const wchar_t* Text(const wchar_t* text) { return text ? text : L""; }

HFONT DialogFont(HWND window) { return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)); }
}  // namespace

std::wstring ProgramText(UINT id, const std::wstring& first, const std::wstring& second) {
  const wchar_t* resource = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&resource), 0);
  std::wstring result;
  // One pass, so a "%2" inside the first argument stays as it is.
  for (int index = 0; index < length; ++index) {
    if (resource[index] == L'%' && index + 1 < length && (resource[index + 1] == L'1' || resource[index + 1] == L'2')) {
      result += resource[++index] == L'1' ? first : second;
    } else {
      result += resource[index];
    }
  }
  return result;
}

LogLook LookOfStyle(const wchar_t* style) {
  LPARAM bits = StyleBits(style);
  LogLook look = {GetSysColor(COLOR_WINDOWTEXT), (bits & kLogBold) != 0, (bits & kLogHighlight) != 0, L""};
  if (bits & kLogInformation) look.color = RGB(0, 70, 140);
  if (bits & kLogError) {
    look.color = RGB(200, 0, 0);
    look.prefix = L"Error: ";
  }
  return look;
}

std::wstring SummaryText(const BatchCounts& counts) {
  std::wstring text = Counted(counts.converted, IDS_FILE_CONVERTED, IDS_FILES_CONVERTED);
  if (counts.skipped) text += L", " + Counted(counts.skipped, IDS_FILE_SKIPPED, IDS_FILES_SKIPPED);
  if (counts.failed) text += L", " + Counted(counts.failed, IDS_FILE_FAILED, IDS_FILES_FAILED);
  if (counts.NotConverted())
    text += L", " + Counted(counts.NotConverted(), IDS_FILE_NOT_CONVERTED, IDS_FILES_NOT_CONVERTED);
  return text + L".";
}

std::wstring OutcomeText(const BatchCounts& counts) {
  std::wstring text = ProgramText(IDS_STATUS_COUNTS, std::to_wstring(counts.converted), std::to_wstring(counts.total));
  if (counts.skipped) text += ProgramText(IDS_STATUS_SKIPPED, std::to_wstring(counts.skipped));
  if (counts.failed) text += ProgramText(IDS_STATUS_FAILED, std::to_wstring(counts.failed));
  if (counts.NotConverted()) text += ProgramText(IDS_STATUS_NOT_CONVERTED, std::to_wstring(counts.NotConverted()));
  return text;
}

CProgressWindow::~CProgressWindow() {
  if (window) DestroyWindow(window);
  if (keyHook) UnhookWindowsHookEx(keyHook);
  if (keyWindow == this) keyWindow = nullptr;
  if (boldFont) DeleteObject(boldFont);
}

bool CProgressWindow::Create(const std::wstring& title) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, &DialogProc,
                          reinterpret_cast<LPARAM>(this)))
    return false;
  SetWindowTextW(window, title.c_str());
  // Esc and Enter must reach the window also while the engine's job runs its own message loop, which
  // knows nothing of dialogs.
  keyWindow = this;
  keyHook = SetWindowsHookExW(WH_GETMESSAGE, &KeyHook, nullptr, GetCurrentThreadId());
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  return true;
}

void CProgressWindow::ShowButton(int id, bool show) {
  HWND button = GetDlgItem(window, id);
  ShowWindow(button, show ? SW_SHOW : SW_HIDE);
  EnableWindow(button, show);
}

bool CProgressWindow::WaitForStart(const std::wstring& summary, const std::function<void()>& settingsAction) {
  if (!window) return false;
  onSettings = settingsAction;
  state = State::kReady;
  SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(IDS_READY).c_str());
  SetCurrentFile(summary.c_str(), FALSE);
  ShowButton(IDC_SETTINGS, true);
  ShowButton(IDOK, true);
  SendMessageW(window, DM_SETDEFID, IDOK, 0);
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDOK)), TRUE);
  RunMessageLoop([this] { return state != State::kReady; });
  onSettings = nullptr;
  return window && state == State::kRunning;
}

void CProgressWindow::SetDetails(const std::wstring& naming, const std::wstring& settings) {
  SetDlgItemTextW(window, IDC_NAMING, naming.c_str());
  SetDlgItemTextW(window, IDC_SETTINGS_TEXT, settings.c_str());
}

void CProgressWindow::StartBatch(const std::vector<ULONGLONG>& sizes) {
  batch.Start(sizes, GetTickCount64());
  batchStarted = true;
  SendDlgItemMessageW(window, IDC_OVERALL_BAR, PBM_SETRANGE32, 0, kOverallSteps);
  UpdateOverall();
}

void CProgressWindow::ClearLog() {
  HWND log = GetDlgItem(window, IDC_LOG);
  SendMessageW(log, LB_RESETCONTENT, 0, 0);
  SendMessageW(log, LB_SETHORIZONTALEXTENT, 0, 0);
}

void CProgressWindow::SetFileNumber(int number, int count) {
  declined = false;
  SetDlgItemTextW(window, IDC_FILE_COUNT,
                  ProgramText(IDS_FILE_OF, std::to_wstring(number), std::to_wstring(count)).c_str());
  batch.BeginFile(static_cast<size_t>(std::max(number - 1, 0)));
  UpdateOverall();
}

void CProgressWindow::UpdateOverall() {
  if (!window || !batchStarted) return;
  HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
  batch.SetFilePosition(SendMessageW(bar, PBM_GETPOS, 0, 0), SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  const double fraction = batch.Fraction();
  SendDlgItemMessageW(window, IDC_OVERALL_BAR, PBM_SETPOS, static_cast<WPARAM>(std::lround(fraction * kOverallSteps)),
                      0);
  const std::wstring percent = std::to_wstring(static_cast<int>(fraction * 100));
  const LONGLONG left = state == State::kRunning ? batch.MillisecondsLeft(GetTickCount64()) : -1;
  std::wstring text =
      left < 0 ? ProgramText(IDS_OVERALL, percent) : ProgramText(IDS_OVERALL_TIME_LEFT, percent, TimeLeftText(left));
  // The job reports many times a second: the label is only touched when its text changes, so it does not flicker.
  if (text != overallText) {
    overallText = text;
    SetDlgItemTextW(window, IDC_OVERALL_TEXT, text.c_str());
  }
}

void CProgressWindow::AddLogLine(const std::wstring& text, const std::wstring& style) {
  if (!window) return;
  HWND log = GetDlgItem(window, IDC_LOG);
  LogLook look = LookOfStyle(style.c_str());
  LPARAM bits = StyleBits(style.c_str());
  HDC context = GetDC(log);
  HGDIOBJ previousFont = SelectObject(context, look.bold && boldFont ? boldFont : DialogFont(window));
  size_t start = 0;
  // One item per line; the job's texts end in a line break, which adds no empty item.
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = look.prefix + text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    int item = static_cast<int>(SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())));
    if (item >= 0) {
      SendMessageW(log, LB_SETITEMDATA, item, bits);
      SendMessageW(log, LB_SETTOPINDEX, item, 0);
    }
    SIZE extent = {};
    GetTextExtentPoint32W(context, line.c_str(), static_cast<int>(line.size()), &extent);
    int width = extent.cx + 8;
    if (width > SendMessageW(log, LB_GETHORIZONTALEXTENT, 0, 0)) SendMessageW(log, LB_SETHORIZONTALEXTENT, width, 0);
    start = end + 1;
  }
  SelectObject(context, previousFont);
  ReleaseDC(log, context);
}

void CProgressWindow::Finish(const BatchCounts& counts) {
  const bool wasCancelled = cancelled;
  state = State::kFinished;
  if (!window) return;
  if (!wasCancelled) {
    batch.BeginFile(static_cast<size_t>(counts.total));
    UpdateOverall();
  }
  AddLogLine(SummaryText(counts), L"b");
  const std::wstring outcome = OutcomeText(counts);
  UINT status = IDS_FINISHED;
  if (wasCancelled)
    status = IDS_CANCELLED_STATUS;
  else if (counts.converted == counts.total)
    status = IDS_DONE;
  SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(status).c_str());
  SetCurrentFile(outcome.c_str(), FALSE);
  SetWindowTextW(window, ProgramText(IDS_FINISHED_TITLE, outcome).c_str());
  ShowButton(IDOK, false);
  ShowButton(IDC_SETTINGS, false);
  SetDlgItemTextW(window, IDCANCEL, ProgramText(IDS_CLOSE).c_str());
  EnableWindow(GetDlgItem(window, IDCANCEL), TRUE);
  SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
}

void CProgressWindow::RunMessageLoop(const std::function<bool()>& until) {
  MSG message;
  while (window && !closed && !until()) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (window && IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void CProgressWindow::WaitUntilClosed() {
  RunMessageLoop([] { return false; });
}

void CProgressWindow::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (window && IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// A sent message runs the work on the window's thread; sent to our own thread it is a plain call.
LRESULT CProgressWindow::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND target = window;
  return target ? SendMessageW(target, message, wParam, lParam) : 0;
}

BOOL CProgressWindow::ConfirmOverwrite(const wchar_t* path) {
  return Deliver(kAskOverwrite, 0, reinterpret_cast<LPARAM>(Text(path))) != 0;
}

void CProgressWindow::Log(const wchar_t* text) { LogStyled(text, L""); }

void CProgressWindow::LogStyled(const wchar_t* text, const wchar_t* style) {
  Deliver(kAddLogLine, reinterpret_cast<WPARAM>(Text(style)), reinterpret_cast<LPARAM>(Text(text)));
}

void CProgressWindow::SetProgressRange(int max) { Deliver(kSetRange, 0, std::max(max, 0)); }
void CProgressWindow::SetProgressPos(int pos) { Deliver(kSetPosition, static_cast<WPARAM>(pos), 0); }
void CProgressWindow::StepProgress(int step) { Deliver(kStep, static_cast<WPARAM>(step), 0); }

void CProgressWindow::SetStatusText(const wchar_t* text) {
  Deliver(kSetStatus, 0, reinterpret_cast<LPARAM>(Text(text)));
}

void CProgressWindow::SetCurrentFile(const wchar_t* text, BOOL isPath) {
  Deliver(kSetCurrentFile, isPath ? 1 : 0, reinterpret_cast<LPARAM>(Text(text)));
}

void CProgressWindow::Close() {
  closed = true;
  DestroyWindow(window);
}

void CProgressWindow::Cancel() {
  if (cancelled) return;
  cancelled = true;
  EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
  SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(IDS_CANCELLING).c_str());
}

// The Cancel button says what it does: no question.
void CProgressWindow::OnCancelButton() {
  if (state == State::kRunning)
    Cancel();
  else
    Close();
}

// Esc and the close box are easily hit by mistake: a running batch asks first.
void CProgressWindow::OnCloseRequest() {
  if (state != State::kRunning) {
    Close();
    return;
  }
  if (cancelled || askingToCancel) return;
  askingToCancel = true;
  const bool stop =
      messageBoxFunction(window, ProgramText(IDS_CANCEL_QUESTION).c_str(), ProgramText(IDS_APP_CAPTION).c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
  askingToCancel = false;
  // The batch may have ended while the question was open: then there is nothing left to cancel.
  if (stop && state == State::kRunning) Cancel();
}

void CProgressWindow::OnKey(WPARAM key) {
  if (key == VK_ESCAPE) {
    OnCloseRequest();
    return;
  }
  if (state == State::kFinished) {
    Close();
  } else if (state == State::kReady) {
    // Enter on a focused button presses that button, as in any dialog; anywhere else it presses Convert.
    HWND focus = GetFocus();
    int id = focus && GetParent(focus) == window && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)
                 ? GetDlgCtrlID(focus)
                 : IDOK;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  }
}

BOOL CProgressWindow::AskOverwrite(const wchar_t* path) {
  BOOL replace = FALSE;
  if (!cancelled) {
    OverwriteAnswer answer = OverwriteAnswer::kNo;
    if (replaceAll)
      answer = *replaceAll ? OverwriteAnswer::kYes : OverwriteAnswer::kNo;
    else
      answer = COverwriteDialog::Ask(window, path);
    switch (answer) {
      case OverwriteAnswer::kYesToAll:
        replaceAll = true;
        [[fallthrough]];
      case OverwriteAnswer::kYes:
        replace = TRUE;
        break;
      case OverwriteAnswer::kNoToAll:
        replaceAll = false;
        [[fallthrough]];
      case OverwriteAnswer::kNo:
        declined = true;
        break;
      case OverwriteAnswer::kCancel:
        Cancel();
        break;
    }
  }
  // A Cancel clicked while the question was open wins: the job stops, so nothing is replaced.
  return cancelled ? FALSE : replace;
}

void CProgressWindow::DrawLogItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  LPARAM bits = static_cast<LPARAM>(item.itemData);
  std::wstring style;
  if (bits & kLogError) style += L'e';
  if (bits & kLogInformation) style += L'i';
  if (bits & kLogBold) style += L'b';
  if (bits & kLogHighlight) style += L'k';
  LogLook look = LookOfStyle(style.c_str());
  int length = static_cast<int>(SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0));
  std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
  SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(std::max(length, 0)));

  COLORREF background = look.highlight ? RGB(255, 245, 170) : GetSysColor(COLOR_WINDOW);
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(item.hDC, &item.rcItem, brush);
  DeleteObject(brush);
  HGDIOBJ previousFont = SelectObject(item.hDC, look.bold && boldFont ? boldFont : DialogFont(window));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, look.color);
  RECT area = item.rcItem;
  area.left += 3;
  DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &area,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(item.hDC, previousFont);
}

INT_PTR CProgressWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          // Esc reaches a dialog as IDCANCEL too; the key hook takes it first, so this is the button.
          OnCancelButton();
          break;
        case IDOK:
          if (state == State::kReady) {
            state = State::kRunning;
            // The job says so itself once it runs, but an overwrite question may come first.
            SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(IDS_CONVERTING).c_str());
            ShowButton(IDC_SETTINGS, false);
            ShowButton(IDOK, false);
            SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
            SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
          } else if (state == State::kFinished) {
            Close();
          }
          break;
        case IDC_SETTINGS:
          if (state == State::kReady && onSettings) onSettings();
          break;
      }
      return TRUE;
    case WM_CLOSE:
      OnCloseRequest();
      return TRUE;
    case WM_SIZE:
      layout.Apply();
      return TRUE;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      SIZE minimum = layout.MinimumSize();
      if (minimum.cx > 0) limits->ptMinTrackSize = {minimum.cx, minimum.cy};
      return TRUE;
    }
    case WM_DPICHANGED: {
      const UINT newDpi = LOWORD(wParam);
      layout.Scale(static_cast<int>(newDpi), static_cast<int>(dpi));
      dpi = newDpi;
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_DRAWITEM:
      if (wParam != IDC_LOG) return FALSE;
      DrawLogItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kKey:
      OnKey(wParam);
      return TRUE;
    case kAskOverwrite:
      SetWindowLongPtrW(window, DWLP_MSGRESULT, AskOverwrite(reinterpret_cast<const wchar_t*>(lParam)));
      return TRUE;
    case kAddLogLine:
      AddLogLine(reinterpret_cast<const wchar_t*>(lParam), reinterpret_cast<const wchar_t*>(wParam));
      return TRUE;
    case kSetRange:
      SendMessageW(bar, PBM_SETRANGE32, 0, lParam);
      UpdateOverall();
      return TRUE;
    case kSetPosition:
      SendMessageW(bar, PBM_SETPOS, wParam, 0);
      UpdateOverall();
      return TRUE;
    case kStep:
      SendMessageW(bar, PBM_DELTAPOS, wParam, 0);
      UpdateOverall();
      return TRUE;
    case kSetStatus:
      SetDlgItemTextW(window, IDC_STATUS_TEXT, reinterpret_cast<const wchar_t*>(lParam));
      return TRUE;
    case kSetCurrentFile: {
      HWND label = GetDlgItem(window, IDC_CURRENT_FILE);
      LONG_PTR labelStyle = GetWindowLongPtrW(label, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_ELLIPSISMASK);
      SetWindowLongPtrW(label, GWL_STYLE, labelStyle | (wParam ? SS_PATHELLIPSIS : SS_ENDELLIPSIS));
      SetWindowTextW(label, reinterpret_cast<const wchar_t*>(lParam));
      return TRUE;
    }
  }
  return FALSE;
}

void CProgressWindow::OnInit() {
  LOGFONTW font = {};
  if (GetObjectW(DialogFont(window), sizeof(font), &font)) {
    font.lfWeight = FW_BOLD;
    boldFont = CreateFontIndirectW(&font);
  }
  SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 0);
  SendDlgItemMessageW(window, IDC_OVERALL_BAR, PBM_SETRANGE32, 0, kOverallSteps);
  // Created running: the first step with Settings... and Convert is asked for by WaitForStart.
  ShowButton(IDC_SETTINGS, false);
  ShowButton(IDOK, false);
  SendMessageW(window, DM_SETDEFID, IDCANCEL, 0);
  dpi = WindowDpi(window);
  layout.Capture(window, kAnchors, sizeof(kAnchors) / sizeof(kAnchors[0]));
}

LRESULT CALLBACK CProgressWindow::KeyHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* message = reinterpret_cast<MSG*>(lParam);
  CProgressWindow* self = keyWindow;
  if (code == HC_ACTION && wParam == PM_REMOVE && self && self->window && message->message == WM_KEYDOWN &&
      (message->wParam == VK_ESCAPE || message->wParam == VK_RETURN) &&
      (message->hwnd == self->window || IsChild(self->window, message->hwnd))) {
    // Questions are not asked inside a hook: the window gets the key as a message of its own.
    PostMessageW(self->window, kKey, message->wParam, 0);
    message->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Window procedures are an edge of the program: nothing may escape them.
INT_PTR CALLBACK CProgressWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CProgressWindow*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->window = hwnd;
      self->OnInit();
      return TRUE;
    }
    auto* self = reinterpret_cast<CProgressWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
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
