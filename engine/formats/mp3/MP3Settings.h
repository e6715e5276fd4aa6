// The MP3 destination's encoder settings, their storage, their one-line description, their named options
// and their dialog.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "SettingsDlg.h"
#include "resource.h"

struct MP3SETTINGS {
  uint32_t mode = 2;  // 0 CBR, 1 VBR, 2 ABR, 3 fast VBR
  uint32_t bitrate = 128;
  uint32_t maxBitrate = 320;
  uint32_t vbrQuality = 70;
  uint32_t encoderQuality = 5;
  uint32_t resampleRate = 0;
  uint32_t jointStereo = 1;
  uint32_t originalBit = 0;
  uint32_t copyrightBit = 0;
  uint32_t privateBit = 0;
  uint32_t strictIso = 0;
  uint32_t crc = 0;

  bool IsVbr() const { return mode == 1 || mode == 3; }
};
static_assert(sizeof(MP3SETTINGS) == 48 && offsetof(MP3SETTINGS, crc) == 44, "the stored record is 48 bytes");

// "ABR 128 kbps", "VBR Quality 70%; 44 kHz".
std::wstring DescribeMp3Settings(const MP3SETTINGS& settings);
// A named option: true when taken; false with a message in `error` for a bad value, or an empty message for
// an unknown name.
bool SetMp3Option(MP3SETTINGS& settings, const wchar_t* name, const wchar_t* value, std::wstring& error);

class CMP3Settings : public CSettingsDlg<CMP3Settings, MP3SETTINGS, IDD_MP3_SETTINGS> {
public:
  CMP3Settings() = default;
  CMP3Settings(const CMP3Settings&) = delete;
  CMP3Settings& operator=(const CMP3Settings&) = delete;

  // Stored as "LAMESettings" (48 bytes) in section "MP3".
  void LoadSettings(MP3SETTINGS& record);
  void SaveSettings(const MP3SETTINGS& record);
  void InitControls();
  void ReadControls();
  void OnCommand(int id, int code);
  void OnScroll(HWND control);

private:
  void ShowMode(uint32_t mode);
  uint32_t SelectedMode() const;
  void ShowSliderValue();
};

