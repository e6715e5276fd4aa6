// AddToMediaLibrary: a script handed to the shell, since the player's library has no other public entry.
#include "MediaLibrary.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>

#include "AbiGuard.h"
#include "tavcore.h"

std::wstring MediaLibraryScript(const wchar_t* path) {
  return std::wstring(L"On Error Resume Next\r\nDim Player\r\nSet Player = CreateObject(\"WMPlayer.OCX\")\r\n") +
         L"Player.MediaCollection.add(\"" + (path ? path : L"") + L"\")";
}

namespace {
bool MediaPlayerInstalled() {
  CLSID player;
  return SUCCEEDED(CLSIDFromProgID(L"WMPlayer.OCX", &player));
}
}  // namespace

TAVCORE_API HRESULT WINAPI AddToMediaLibrary(HWND owner, const wchar_t* path) {
  return GuardedHResult([&]() -> HRESULT {
    int enabled = 0;
    ReadPInt(L"Settings", L"AddToMediaLibrary", &enabled);
    if (!enabled || !path || !MediaPlayerInstalled()) return S_FALSE;

    wchar_t folder[MAX_PATH] = {}, scratch[MAX_PATH] = {};
    ACTempPath(folder);
    if (!GetTempFileNameW(folder, L"vbs", 0, scratch)) return E_FAIL;
    std::wstring script = MediaLibraryScript(path);
    if (FILE* file = _wfopen(scratch, L"w+b")) {
      fwrite(script.data(), sizeof(wchar_t), script.size(), file);
      fclose(file);
    }
    std::wstring runnable = std::wstring(scratch) + L".vbs";
    if (!CopyFileW(scratch, runnable.c_str(), FALSE)) {
      DeleteFileW(scratch);
      return E_FAIL;
    }
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | (owner ? 0 : SEE_MASK_FLAG_NO_UI);
    info.hwnd = owner;
    info.lpFile = runnable.c_str();
    info.nShow = SW_HIDE;
    if (ShellExecuteExW(&info) && info.hProcess) {
      WaitForSingleObject(info.hProcess, INFINITE);
      CloseHandle(info.hProcess);
    }
    SetCursor(previous);
    DeleteFileW(runnable.c_str());
    DeleteFileW(scratch);
    return S_OK;
  });
}
