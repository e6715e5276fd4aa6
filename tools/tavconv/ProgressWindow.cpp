// The progress window of the window mode and the job callback it implements.
#include "ProgressWindow.h"

#include <commctrl.h>

#include <algorithm>

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
};

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

CProgressWindow::~CProgressWindow() {
  if (window) DestroyWindow(window);
  if (boldFont) DeleteObject(boldFont);
}

bool CProgressWindow::Create(const std::wstring& title) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  if (!CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, &DialogProc,
                          reinterpret_cast<LPARAM>(this)))
    return false;
  SetWindowTextW(window, title.c_str());
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  return true;
}

void CProgressWindow::SetFileNumber(int number, int count) {
  SetDlgItemTextW(window, IDC_FILE_COUNT,
                  ProgramText(IDS_FILE_OF, std::to_wstring(number), std::to_wstring(count)).c_str());
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

void CProgressWindow::Finish(const std::wstring& summary) {
  finished = true;
  if (!window) return;
  AddLogLine(summary, L"b");
  SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(cancelled ? IDS_CANCELLED : IDS_DONE).c_str());
  SetDlgItemTextW(window, IDC_CURRENT_FILE, L"");
  SetDlgItemTextW(window, IDCANCEL, ProgramText(IDS_CLOSE).c_str());
  EnableWindow(GetDlgItem(window, IDCANCEL), TRUE);
  SetFocus(GetDlgItem(window, IDCANCEL));
}

void CProgressWindow::WaitUntilClosed() {
  MSG message;
  while (window && !closed) {
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

void CProgressWindow::OnCancelOrClose() {
  if (finished) {
    closed = true;
    DestroyWindow(window);
    return;
  }
  if (cancelled) return;
  cancelled = true;
  EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
  SetDlgItemTextW(window, IDC_STATUS_TEXT, ProgramText(IDS_CANCELLING).c_str());
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
      if (LOWORD(wParam) == IDCANCEL) OnCancelOrClose();
      return TRUE;
    case WM_CLOSE:
      OnCancelOrClose();
      return TRUE;
    case WM_DRAWITEM:
      if (wParam != IDC_LOG) return FALSE;
      DrawLogItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kAskOverwrite: {
      BOOL replace = FALSE;
      if (!cancelled) {
        std::wstring question = ProgramText(IDS_OVERWRITE_QUESTION, reinterpret_cast<const wchar_t*>(lParam));
        replace = messageBoxFunction(window, question.c_str(), ProgramText(IDS_APP_CAPTION).c_str(),
                                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
      }
      // A Cancel clicked while the question was open wins: the job stops, so nothing is replaced.
      if (cancelled) replace = FALSE;
      SetWindowLongPtrW(window, DWLP_MSGRESULT, replace);
      return TRUE;
    }
    case kAddLogLine:
      AddLogLine(reinterpret_cast<const wchar_t*>(lParam), reinterpret_cast<const wchar_t*>(wParam));
      return TRUE;
    case kSetRange:
      SendMessageW(bar, PBM_SETRANGE32, 0, lParam);
      return TRUE;
    case kSetPosition:
      SendMessageW(bar, PBM_SETPOS, wParam, 0);
      return TRUE;
    case kStep:
      SendMessageW(bar, PBM_DELTAPOS, wParam, 0);
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

// Window procedures are an edge of the program: nothing may escape them.
INT_PTR CALLBACK CProgressWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CProgressWindow*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->window = hwnd;
      LOGFONTW font = {};
      if (GetObjectW(DialogFont(hwnd), sizeof(font), &font)) {
        font.lfWeight = FW_BOLD;
        self->boldFont = CreateFontIndirectW(&font);
      }
      SendDlgItemMessageW(hwnd, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 0);
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
