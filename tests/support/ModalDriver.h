// Drives a modal dialog from inside its own message loop: the test's function runs once the first
// dialog window of this thread exists, and sends the messages a user's clicks would.
#pragma once

#include <windows.h>

#include <functional>

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
void Click(HWND dialog, int id);
