// The question asked when an output file exists: Yes, Yes to all, No, No to all or Cancel.
#pragma once

#include <windows.h>

#include <string>

enum class OverwriteAnswer { kYes, kYesToAll, kNo, kNoToAll, kCancel };

class COverwriteDialog {
 public:
  // Asks modally over `owner` about `path`; the close box and Esc answer Cancel.
  static OverwriteAnswer Ask(HWND owner, const std::wstring& path);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
