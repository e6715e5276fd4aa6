// Scheduled start and stop of a recording: the clock they read, the schedules, and the "Auto Start" and
// "Auto Stop" dialogs that edit them.
#pragma once

#include <windows.h>

#include <string>

#include "Dialog.h"

// Time as the schedules see it; tests move it by hand.
class IClock {
 public:
  virtual ULONGLONG TickCount() = 0;  // milliseconds since the system started
  virtual SYSTEMTIME LocalTime() = 0;

 protected:
  ~IClock() = default;
};
IClock& SystemClock();

struct Schedule {
  enum Mode { kOff = 0, kAt = 1, kAfter = 2 };
  int mode = kOff;
  SYSTEMTIME at = {};  // kAt: local date and time, milliseconds 0
  int seconds = 0;     // kAfter
};

// Whether the schedule is due: kAt when its time is not later than now, kAfter when its seconds have passed
// since `since` (a tick count).
bool ScheduleDue(const Schedule& schedule, ULONGLONG since, IClock& clock);
// kAfter: the seconds still to wait, not below 0.
int SecondsLeft(const Schedule& schedule, ULONGLONG since, IClock& clock);
// "[Starting at 8:05:00 2024/03/05]", "[Stopping in 12 seconds]"; empty when off.
std::wstring ScheduleNote(const Schedule& schedule, ULONGLONG since, IClock& clock, bool start);

class CAutoDlg : public CDialog {
 public:
  enum class Kind { kStart, kStop };

  // `arm`: the user asked to switch the schedule on, so the dialog opens with its box checked.
  CAutoDlg(Kind kind, const Schedule& current, IClock& clock, bool arm = false)
      : kind(kind), schedule(current), clock(clock), arm(arm) {}

  // IDOK (Result() holds the new schedule) or IDCANCEL.
  INT_PTR Run(HWND parent);
  const Schedule& Result() const { return schedule; }

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnInit();
  void UpdateEnabled();
  void OnOK();

  Kind kind;
  Schedule schedule;
  IClock& clock;
  bool arm;
};
