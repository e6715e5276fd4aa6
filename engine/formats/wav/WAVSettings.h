// The Wave destination's encoder settings (codec and exact format, or automatic) and their dialog.
#pragma once

#include <windows.h>

#include <string>

#include "AcmCatalog.h"
#include "SettingsDlg.h"
#include "resource.h"

struct WAVSETTINGS {
  FormatBytes format;  // the exact output format; empty = automatic
  UINT32 formatTag = WAVE_FORMAT_PCM;

  UINT32 FormatSize() const { return static_cast<UINT32>(format.size()); }
  const WAVEFORMATEX* Format() const { return AsFormat(format); }
  bool operator==(const WAVSETTINGS& other) const { return format == other.format && formatTag == other.formatTag; }
};

// One line for the user: the codec's name and the exact format, or "auto detection".
std::wstring DescribeWavSettings(const WAVSETTINGS& settings);

class CWAVSettings : public CSettingsDlg<CWAVSettings, WAVSETTINGS, IDD_WAV_SETTINGS> {
 public:
  CWAVSettings() = default;
  CWAVSettings(const CWAVSettings&) = delete;
  CWAVSettings& operator=(const CWAVSettings&) = delete;

  // Stored in section "WAV".
  void LoadSettings(WAVSETTINGS& record);
  void SaveSettings(const WAVSETTINGS& record);
  void InitControls();
  void ReadControls();
  void OnCommand(int id, int code);
  void OnDestroy();

 private:
  void FillFormats();
  void ShowDetails();
  void ClearFormatItems();
  DWORD SelectedTag() const;
  const FormatBytes* SelectedFormat(bool* automatic) const;
};

