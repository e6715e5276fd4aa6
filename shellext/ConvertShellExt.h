// The file manager's context menu for audio files: convert to a format, burn an audio CD, or rip CD tracks. The
// extension converts nothing itself: it writes the selection into a list file and starts the converter.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

class CConvertShellExt final : public IShellExtInit, public IContextMenu {
 public:
  // The menu's switches of section "ShellExt", in the order of the menu table.
  enum Switch { kWindowsMedia, kWave, kMP3, kAIFF, kOgg, kBurn, kRip, kSwitchCount };
  // The formats the all-of-format flags stand for.
  enum Flag { kCdTrack, kFlagWindowsMedia, kFlagWave, kFlagMP3, kFlagAIFF, kFlagOgg, kFlagCount };
  static constexpr UINT kCommandCount = 8;

  static HRESULT Create(REFIID iid, void** out);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY classKey) override;

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer,
                                             UINT length) override;

 private:
  CConvertShellExt();
  ~CConvertShellExt();

  // A unique "con*.tmp" file in the temporary folder holding the selection; empty when it cannot be made.
  std::wstring WriteListFile(HWND owner) const;
  // The converter of the App Paths entry "tavcore.exe"; false when it cannot be started.
  bool StartConverter(HWND owner, const std::wstring& parameters) const;

  LONG references = 1;
  bool switches[kSwitchCount];
  bool allOf[kFlagCount];
  std::vector<std::wstring> selection;
};
