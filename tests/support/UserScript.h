// A user at the keyboard and mouse, as a script of steps: each step waits for its window (a dialog with a
// title, a pop-up menu, a message box) to appear on this thread, then acts on it. The steps run from a thread
// timer, so they go on inside every modal loop the code under test enters (dialogs, menus, message boxes).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class UserScript {
 public:
  UserScript();
  ~UserScript();
  UserScript(const UserScript&) = delete;
  UserScript& operator=(const UserScript&) = delete;

  // When a top-level dialog of this thread with this title appears.
  UserScript& InDialog(const std::wstring& title, std::function<void(HWND)> act);
  // When a pop-up menu appears: act gets the menu window and its items' texts ("" for separators).
  UserScript& InMenu(std::function<void(HWND, const std::vector<std::wstring>&)> act);
  // When a message box appears: its text is recorded, and it is closed with Enter.
  UserScript& AcknowledgeMessage();

  bool Done() const { return steps.empty(); }
  // Texts of the message boxes acknowledged so far.
  const std::vector<std::wstring>& Messages() const { return messages; }

 private:
  struct Step {
    std::function<HWND()> find;
    std::function<void(HWND)> act;
  };
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);

  std::deque<Step> steps;
  std::vector<std::wstring> messages;
  UINT_PTR timer = 0;
};

// With TAVREL_SHOW_WINDOWS set, keeps the thread's windows on screen for a few seconds (answering their
// messages), so that someone can look at them or take a screenshot; otherwise does nothing.
void PauseForALook();

// The items of a pop-up menu window, as the user reads them.
std::vector<std::wstring> MenuItems(HWND menuWindow);
// Picks the item at that position of an open pop-up menu with the arrow keys and Enter.
void ChooseMenuItem(HWND menuWindow, int position);
// Closes an open pop-up menu with Escape.
void CloseMenu(HWND menuWindow);

// Mouse clicks on a list control's item, at the middle of the part given (LVIR_ICON, LVIR_LABEL), as the list
// gets them from the mouse: the button goes down and up at that point.
void ClickListItem(HWND list, int item, int part);
void DoubleClickListItem(HWND list, int item, int part);
void RightClickListItem(HWND list, int item);
// A right click on the list's empty space below the last item.
void RightClickListSpace(HWND list);
