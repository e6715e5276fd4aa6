// The data-CD settings dialog: volume label, the target format's encoder settings and the cache of converted files.
#pragma once
#include <windows.h>

#include <string>

#include "Dialog.h"

class CISOSettingsDlg : public CDialog {
 public:
  // format: 2 (MP3 CD) or 3 (Windows Media CD).
  CISOSettingsDlg(int format, std::wstring label) : format(format), label(std::move(label)) {}
  INT_PTR DoModal(HWND parent);
  const std::wstring& Label() const { return label; }

  // The cache folder as stored, or its default.
  static std::wstring CacheFolder();
  // Deletes the cache files (32 hexadecimal digits + the extension) of the format's subfolder; counts come back.
  static void ClearCache(const std::wstring& cacheFolder, int format, int* deleted, int* failed);

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnInit();
  void ShowEncoding();
  const wchar_t* Subfolder() const { return format == 3 ? L"wma" : L"mp3"; }

  int format;
  std::wstring label;
};
