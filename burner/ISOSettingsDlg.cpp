// The data-CD settings dialog.
#include "ISOSettingsDlg.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <cwctype>

#include "BurnCDDlg.h"
#include "CdforgeResource.h"
#include "tavcore.h"

void ShowCdforgeHelp(HWND owner, UINT context);

namespace {
const wchar_t kSettings[] = L"Settings";
}  // namespace

std::wstring CISOSettingsDlg::CacheFolder() {
  wchar_t stored[512] = {};
  if (ReadPString(kSettings, L"CDCache", stored) && stored[0]) return stored;
  wchar_t appData[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
  return std::wstring(appData) + L"\\cdforge\\CDCache";
}

void CISOSettingsDlg::ClearCache(const std::wstring& cacheFolder, int format, int* deleted, int* failed) {
  *deleted = *failed = 0;
  const std::wstring extension = format == 3 ? L".wma" : L".mp3";
  const std::wstring folder = cacheFolder + L"\\" + extension.substr(1);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*" + extension).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // Only names the cache itself makes: an MD5 digest in hexadecimal and the extension.
    if (name.size() != 36 || _wcsicmp(name.c_str() + 32, extension.c_str()) != 0) continue;
    bool digest = true;
    for (size_t i = 0; i < 32; ++i) digest = digest && iswxdigit(name[i]);
    if (!digest) continue;
    if (DeleteFileW((folder + L"\\" + name).c_str()))
      ++*deleted;
    else
      ++*failed;
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

INT_PTR CISOSettingsDlg::DoModal(HWND parent) {
  return RunModal(GetModuleHandleW(nullptr), IDD_ISOSETTINGS, parent);
}

void CISOSettingsDlg::OnInit() {
  SetWindowTextW(window, format == 3 ? L"Windows Media CD Settings" : L"MP3 CD Settings");
  SendDlgItemMessageW(window, IDC_ISO_LABEL, EM_LIMITTEXT, 32, 0);
  SetDlgItemTextW(window, IDC_ISO_LABEL, label.c_str());
  int useCache = 1, noReencode = 1;
  ReadPInt(kSettings, L"UseCDCache", &useCache);
  ReadPInt(kSettings, L"NoReencode", &noReencode);
  CheckDlgButton(window, IDC_ISO_USECACHE, useCache ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, IDC_ISO_NOREENCODE, noReencode ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextW(window, IDC_ISO_CACHEDIR, CacheFolder().c_str());
  ShowEncoding();
}

void CISOSettingsDlg::ShowEncoding() {
  CONVFORMAT target = {};
  wchar_t text[512] = {};
  if (SUCCEEDED(ConvGetFormatByName(&target, format == 3 ? L"Windows Media" : L"MP3")))
    ConvDefOutputSettingsString(text, 512, &target);
  SetDlgItemTextW(window, IDC_ISO_ENCODING, text);
}

INT_PTR CISOSettingsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    OnInit();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  wchar_t folder[MAX_PATH] = {};
  GetDlgItemTextW(window, IDC_ISO_CACHEDIR, folder, MAX_PATH);
  switch (LOWORD(wParam)) {
    case IDC_ISO_ENCODING_CHANGE: {
      CONVFORMAT target = {};
      if (SUCCEEDED(ConvGetFormatByName(&target, format == 3 ? L"Windows Media" : L"MP3"))) {
        ConvDefOutputSettings(window, &target);
        ShowEncoding();
      }
      return TRUE;
    }
    case IDC_ISO_OPEN: {
      const std::wstring sub = std::wstring(folder) + L"\\" + Subfolder();
      SHCreateDirectoryExW(window, sub.c_str(), nullptr);
      ShellExecuteW(window, L"open", sub.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return TRUE;
    }
    case IDC_ISO_CLEAR: {
      if (cdforgeMessageBox(window, L"Do you want to delete all cache files?", CBurnCDDlg::kProductName,
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return TRUE;
      int deleted = 0, failed = 0;
      ClearCache(folder, format, &deleted, &failed);
      wchar_t text[160];
      swprintf(text, 160, L"Cleared cache: %d cache files deleted successfully, %d failed", deleted, failed);
      cdforgeMessageBox(window, text, CBurnCDDlg::kProductName, MB_OK | MB_ICONINFORMATION);
      return TRUE;
    }
    case IDC_ISO_CACHE_CHANGE: {
      BROWSEINFOW browse = {};
      browse.hwndOwner = window;
      browse.lpszTitle = L"Please select directory for cache files.";
      browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
      PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
      if (chosen) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(window, IDC_ISO_CACHEDIR, path);
        CoTaskMemFree(chosen);
      }
      return TRUE;
    }
    case IDC_ISO_HELP:
      ShowCdforgeHelp(window, IDH_CDFORGE_SETTINGS);
      return TRUE;
    case IDOK: {
      wchar_t text[64] = {};
      GetDlgItemTextW(window, IDC_ISO_LABEL, text, 64);
      label = std::wstring(text).substr(0, 32);
      WritePString(kSettings, L"CDCache", folder);
      WritePInt(kSettings, L"NoReencode", IsDlgButtonChecked(window, IDC_ISO_NOREENCODE) == BST_CHECKED);
      WritePInt(kSettings, L"UseCDCache", IsDlgButtonChecked(window, IDC_ISO_USECACHE) == BST_CHECKED);
      EndDialog(window, IDOK);
      return TRUE;
    }
    case IDCANCEL:
      EndDialog(window, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}
