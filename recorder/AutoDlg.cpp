// Schedules and the "Auto Start" / "Auto Stop" dialogs.
#include "AutoDlg.h"

#include <commctrl.h>

#include <algorithm>

#include "resource.h"

namespace {
class CSystemClock final : public IClock {
 public:
  ULONGLONG TickCount() override { return GetTickCount64(); }
  SYSTEMTIME LocalTime() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
  }
};

// Comparable value of a calendar time; the day of the week plays no part.
ULONGLONG TimeValue(SYSTEMTIME time) {
  time.wDayOfWeek = 0;
  FILETIME file = {};
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

constexpr int kMaxMinutes = 9999;
}  // namespace

IClock& SystemClock() {
  static CSystemClock clock;
  return clock;
}

bool ScheduleDue(const Schedule& schedule, ULONGLONG since, IClock& clock) {
  switch (schedule.mode) {
    case Schedule::kAt:
      return TimeValue(schedule.at) <= TimeValue(clock.LocalTime());
    case Schedule::kAfter:
      return (clock.TickCount() - since) / 1000 >= static_cast<ULONGLONG>(std::max(schedule.seconds, 0));
    default:
      return false;
  }
}

int SecondsLeft(const Schedule& schedule, ULONGLONG since, IClock& clock) {
  const LONGLONG passed = static_cast<LONGLONG>((clock.TickCount() - since) / 1000);
  return static_cast<int>(std::max<LONGLONG>(schedule.seconds - passed, 0));
}

std::wstring ScheduleNote(const Schedule& schedule, ULONGLONG since, IClock& clock, bool start) {
  wchar_t text[128] = {};
  if (schedule.mode == Schedule::kAt) {
    const SYSTEMTIME& at = schedule.at;
    _snwprintf(text, 127,
               start ? L"[Starting at %d:%02d:%02d %d/%02d/%02d]" : L"[Stopping at %d:%02d:%02d %d/%02d/%02d]",
               at.wHour, at.wMinute, at.wSecond, at.wYear, at.wMonth, at.wDay);
  } else if (schedule.mode == Schedule::kAfter) {
    _snwprintf(text, 127, start ? L"[Starting in %d seconds]" : L"[Stopping in %d seconds]",
               SecondsLeft(schedule, since, clock));
  }
  return text;
}

INT_PTR CAutoDlg::Run(HWND parent) { return RunModal(GetModuleHandleW(nullptr), IDD_AUTO, parent); }

INT_PTR CAutoDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_AUTO_ENABLE:
        case IDC_AUTO_AT:
        case IDC_AUTO_AFTER:
          if (HIWORD(wParam) == BN_CLICKED) UpdateEnabled();
          return TRUE;
        case IDOK:
          OnOK();
          return TRUE;
        case IDCANCEL:
          EndDialog(window, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void CAutoDlg::OnInit() {
  const bool start = kind == Kind::kStart;
  SetWindowTextW(window, start ? L"Auto Start" : L"Auto Stop");
  SetDlgItemTextW(window, IDC_AUTO_ENABLE, start ? L"&Auto Start" : L"&Auto Stop");
  SetDlgItemTextW(window, IDC_AUTO_AT, start ? L"Start at specific &date/time:" : L"Stop at specific &date/time:");
  SetDlgItemTextW(window, IDC_AUTO_AFTER, start ? L"Start &in:" : L"Stop a&fter:");

  SYSTEMTIME when = schedule.mode == Schedule::kAt ? schedule.at : clock.LocalTime();
  SendDlgItemMessageW(window, IDC_AUTO_DATE, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&when));
  SendDlgItemMessageW(window, IDC_AUTO_TIME, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&when));

  SendDlgItemMessageW(window, IDC_AUTO_MINUTES_SPIN, UDM_SETRANGE32, 0, kMaxMinutes);
  SendDlgItemMessageW(window, IDC_AUTO_SECONDS_SPIN, UDM_SETRANGE32, 0, 59);
  const int seconds = schedule.mode == Schedule::kAfter ? std::max(schedule.seconds, 0) : 0;
  SetDlgItemInt(window, IDC_AUTO_MINUTES, static_cast<UINT>(seconds / 60), FALSE);
  SetDlgItemInt(window, IDC_AUTO_SECONDS, static_cast<UINT>(seconds % 60), FALSE);

  CheckDlgButton(window, IDC_AUTO_ENABLE, schedule.mode != Schedule::kOff || arm ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(window, IDC_AUTO_AT, IDC_AUTO_AFTER, schedule.mode == Schedule::kAt ? IDC_AUTO_AT : IDC_AUTO_AFTER);
  UpdateEnabled();
}

void CAutoDlg::UpdateEnabled() {
  const bool on = IsDlgButtonChecked(window, IDC_AUTO_ENABLE) == BST_CHECKED;
  const bool at = IsDlgButtonChecked(window, IDC_AUTO_AT) == BST_CHECKED;
  Enable(IDC_AUTO_AT, on);
  Enable(IDC_AUTO_AFTER, on);
  for (int id : {IDC_AUTO_DATE, IDC_AUTO_TIME}) Enable(id, on && at);
  for (int id : {IDC_AUTO_MINUTES, IDC_AUTO_MINUTES_SPIN, IDC_AUTO_SECONDS, IDC_AUTO_SECONDS_SPIN,
                 IDC_AUTO_MINUTES_UNIT, IDC_AUTO_SECONDS_UNIT})
    Enable(id, on && !at);
}

void CAutoDlg::OnOK() {
  Schedule result;
  if (IsDlgButtonChecked(window, IDC_AUTO_ENABLE) != BST_CHECKED) {
    result.mode = Schedule::kOff;
  } else if (IsDlgButtonChecked(window, IDC_AUTO_AT) == BST_CHECKED) {
    SYSTEMTIME date = {}, time = {};
    SendDlgItemMessageW(window, IDC_AUTO_DATE, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
    SendDlgItemMessageW(window, IDC_AUTO_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
    result.mode = Schedule::kAt;
    result.at = date;
    result.at.wHour = time.wHour;
    result.at.wMinute = time.wMinute;
    result.at.wSecond = time.wSecond;
    result.at.wMilliseconds = 0;
  } else {
    const UINT minutes = GetDlgItemInt(window, IDC_AUTO_MINUTES, nullptr, FALSE);
    const UINT seconds = GetDlgItemInt(window, IDC_AUTO_SECONDS, nullptr, FALSE);
    result.mode = Schedule::kAfter;
    result.seconds = static_cast<int>(std::min<UINT>(minutes, kMaxMinutes) * 60 + std::min<UINT>(seconds, 86400));
  }
  schedule = result;
  EndDialog(window, IDOK);
}
