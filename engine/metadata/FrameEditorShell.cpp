// The frame editors' file dialogs and URL opening, replaceable by tests.
#include "FrameEditorShell.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

bool PlatformChooseFile(HWND owner, bool save, const wchar_t* filter, std::wstring& path) {
  std::vector<wchar_t> buffer(32768, L'\0');
  path.copy(buffer.data(), std::min(path.size(), buffer.size() - 1));
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.Flags =
      OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return false;
  path = buffer.data();
  return true;
}

bool PlatformOpenUrl(HWND owner, const wchar_t* url) {
  // Values above 32 mean success.
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

std::atomic<ChooseFileFunction> chooseFile{&PlatformChooseFile};
std::atomic<OpenUrlFunction> openUrl{&PlatformOpenUrl};

}  // namespace

bool ChooseFile(HWND owner, bool save, const wchar_t* filter, std::wstring& path) {
  return chooseFile.load()(owner, save, filter, path);
}

bool OpenUrl(HWND owner, const wchar_t* url) { return openUrl.load()(owner, url); }

void SetChooseFileFunction(ChooseFileFunction function) { chooseFile.store(function ? function : &PlatformChooseFile); }

void SetOpenUrlFunction(OpenUrlFunction function) { openUrl.store(function ? function : &PlatformOpenUrl); }
