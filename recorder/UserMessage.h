// Every message box of voxcap goes through one function pointer, so tests can answer them without a user.
#pragma once

#include <windows.h>

using MessageBoxFunction = int(WINAPI*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
extern MessageBoxFunction voxcapMessageBox;

inline int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  return voxcapMessageBox(owner, text, caption, type);
}
