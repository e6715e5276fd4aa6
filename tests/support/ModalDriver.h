// Drives a modal dialog from inside its own message loop: the test's function runs once the first
// dialog window of this thread exists, and sends the messages a user's clicks would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(HWND)> drive);
  ~ModalDriver();
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  bool Drove() const { return drove; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  std::function<void(HWND)> drive;
  UINT_PTR timer = 0;
  bool drove = false;
};

// What a user's choice in a drop-down list sends to the dialog.
void SelectComboItem(HWND dialog, int id, int index);
// The index of the item whose text starts with `prefix`, or -1.
int FindComboItem(HWND dialog, int id, const wchar_t* prefix);
// A mouse click on a button: BM_CLICK, so the button changes its own check (and its radio group) and tells
// the dialog, and a disabled or hidden button does nothing.
void Click(HWND dialog, int id);
// Moves the keyboard focus to a control, as the dialog manager does for Tab.
void Focus(HWND dialog, int id);
// A key pressed and released on the control with the focus, passed through the dialog manager as the
// dialog's message loop does (Tab, arrows within a radio group, space on a button, arrows on a slider).
void PressKey(HWND dialog, UINT key);
// The id of the control with the focus, or 0.
int FocusedId();
// Alt and a letter, as the dialog manager takes it: the control with that access key, or the control after
// a label with it, gets the focus (a button is clicked).
void PressAccessKey(HWND dialog, wchar_t letter);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
// What is wrong with a dialog's access keys: a letter used twice, or a label of a list, an edit box or a
// slider without one. Empty when nothing is.
std::wstring AccessKeyProblems(HWND dialog);
