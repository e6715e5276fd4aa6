// The Ogg Vorbis encoder settings record, its bit-rate steps, its stored defaults and its dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "SettingsDlg.h"
#include "resource.h"

struct OGGSETTINGS {
  int32_t qualityBased = 1;  // 1: quality-based VBR; 0: managed bit rate around avgBitrate
  int32_t quality = 40;      // percent, 0 to 100
  int32_t useMinBitrate = 0;
  int32_t useMaxBitrate = 0;
  int32_t minBitrate = 48;  // kbps
  int32_t maxBitrate = 320;
  int32_t avgBitrate = 96;

  bool operator==(const OGGSETTINGS& other) const {
    return qualityBased == other.qualityBased && quality == other.quality && useMinBitrate == other.useMinBitrate &&
           useMaxBitrate == other.useMaxBitrate && minBitrate == other.minBitrate && maxBitrate == other.maxBitrate &&
           avgBitrate == other.avgBitrate;
  }
};
static_assert(sizeof(OGGSETTINGS) == 28, "the stored record is 28 bytes");

// The bit rates (kbps) offered by the dialog and the options.
constexpr int kOggBitrateSteps[] = {48, 64, 96, 128, 160, 192, 256, 320};
constexpr int kOggBitrateStepCount = 8;
// Index of the largest step not above kbps; 0 below the first step.
int OggBitrateIndex(int kbps);
inline int OggBitrateStep(int kbps) { return kOggBitrateSteps[OggBitrateIndex(kbps)]; }

// "VBR Quality 40%" or "ABR 128 kbps; Min. 48 kbps; Max. 192 kbps".
std::wstring DescribeOggSettings(const OGGSETTINGS& settings);

class COggSettings : public CSettingsDlg<COggSettings, OGGSETTINGS, IDD_OGG_SETTINGS> {
 public:
  COggSettings() = default;
  COggSettings(const COggSettings&) = delete;
  COggSettings& operator=(const COggSettings&) = delete;

  // Stored as one 28-byte binary value in section "OGG"; a stored record of another size is ignored.
  void LoadSettings(OGGSETTINGS& record);
  void SaveSettings(const OGGSETTINGS& record);
  void InitControls();
  void ReadControls();
  void OnCommand(int id, int code);
  void OnScroll(HWND control);

 private:
  void UpdateEnabling();
  void ShowValue(int slider);
  bool Checked(int id) const;
  // The step index of a bit-rate slider; the quality slider's position 0 to 10.
  int Position(int id) const;
  int QualityPosition() const;
};
