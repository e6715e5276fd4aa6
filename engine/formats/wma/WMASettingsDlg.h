// The Windows Media destination's settings: their description, named options, profile files and the dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SettingsDlg.h"
#include "WMACodecs.h"
#include "resource.h"

// The SDK's description of the record's codec format under its mode; empty when there is none.
std::wstring DescribeWmaSettings(const WMASETTINGS& settings);
// "wma-codec" and "wma-format": true when taken; false with a message in `error` for a value that names nothing,
// or an empty message for an unknown name.
bool SetWmaOption(WMASETTINGS& settings, const wchar_t* name, const wchar_t* value, std::wstring& error);
// Reads a profile file (".prx", UTF-16 with byte-order mark, or 8-bit text) into the record; false with the
// message of what went wrong.
bool ReadProfileFile(const wchar_t* path, WMASETTINGS& settings, std::wstring& error);

class CWMASettingsDlg : public CSettingsDlg<CWMASettingsDlg, WMASETTINGS, IDD_WMA_SETTINGS> {
 public:
  CWMASettingsDlg() = default;
  CWMASettingsDlg(const CWMASettingsDlg&) = delete;
  CWMASettingsDlg& operator=(const CWMASettingsDlg&) = delete;

  // Stored as "General" (20 bytes) in section "WMA9".
  void LoadSettings(WMASETTINGS& record) { LoadWmaSettings(record); }
  void SaveSettings(const WMASETTINGS& record) { SaveWmaSettings(record); }
  void InitControls();
  void ReadControls();
  void OnCommand(int id, int code);
  void OnScroll(HWND control);

  IConvertSource* source = nullptr;  // borrowed: the destination's source, when it has one

 private:
  uint32_t SelectedMode() const;
  DWORD SelectedCodec() const;
  // The formats of the codec, mode and delay shown, and the sample-rate entries and bit rates they offer.
  void FillSampleRates(const WAVEFORMATEX* wanted);
  void FillBitrates(DWORD wantedBitrate);
  const std::vector<const WMAFormatEntry*> FormatsOfSampleRate() const;
  void ShowBitrate();
  void EnableLimits();
  void LoadProfile();
  void SaveProfile();

  WMACodecInfo codecs;
  DWORD listedCodec = ~0u;
  std::vector<WMAFormatEntry> formats;  // of the listed codec, every mode
  struct RateEntry {
    DWORD sampleRate;
    WORD channels;
    WORD bits;
  };
  std::vector<RateEntry> rates;
  std::vector<const WMAFormatEntry*> steps;  // the slider's positions
};
