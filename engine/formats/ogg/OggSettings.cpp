// The Ogg Vorbis settings record: its description, storage and dialog.
#include "OggSettings.h"

#include <commctrl.h>

#include <algorithm>

#include "EngineResources.h"
#include "tavcore.h"

namespace {
const wchar_t kSection[] = L"OGG";
const wchar_t kValueName[] = L"OggSettings";

LRESULT Send(HWND window, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageW(window, id, message, wParam, lParam);
}

// A stored record may come from an older or damaged store: flags become 0/1, rates become steps.
OGGSETTINGS Normalised(const OGGSETTINGS& stored) {
  OGGSETTINGS record = stored;
  record.qualityBased = stored.qualityBased != 0;
  record.useMinBitrate = stored.useMinBitrate != 0;
  record.useMaxBitrate = stored.useMaxBitrate != 0;
  record.quality = std::clamp<int32_t>(stored.quality, 0, 100);
  record.minBitrate = OggBitrateStep(stored.minBitrate);
  record.maxBitrate = OggBitrateStep(stored.maxBitrate);
  record.avgBitrate = OggBitrateStep(stored.avgBitrate);
  return record;
}
}  // namespace

int OggBitrateIndex(int kbps) {
  int index = 0;
  for (int step = 0; step < kOggBitrateStepCount; ++step)
    if (kOggBitrateSteps[step] <= kbps) index = step;
  return index;
}

std::wstring DescribeOggSettings(const OGGSETTINGS& settings) {
  if (settings.qualityBased) return FormatText(64, L"VBR Quality %d%%", settings.quality);
  std::wstring text = FormatText(64, L"ABR %d kbps", settings.avgBitrate);
  if (settings.useMinBitrate) text += FormatText(64, L"; Min. %d kbps", settings.minBitrate);
  if (settings.useMaxBitrate) text += FormatText(64, L"; Max. %d kbps", settings.maxBitrate);
  return text;
}

void COggSettings::LoadSettings(OGGSETTINGS& record) {
  record = OGGSETTINGS();
  OGGSETTINGS stored;
  UINT32 size = sizeof stored;
  if (GetProfileBinary(kSection, kValueName, &stored, &size) && size == sizeof stored) record = Normalised(stored);
}

void COggSettings::SaveSettings(const OGGSETTINGS& record) {
  PutProfileBinary(kSection, kValueName, &record, sizeof record);
}

void COggSettings::InitControls() {
  CheckRadioButton(window, IDC_OGG_QUALITY_MODE, IDC_OGG_AVERAGE_MODE,
                   settings.qualityBased ? IDC_OGG_QUALITY_MODE : IDC_OGG_AVERAGE_MODE);
  Send(window, IDC_OGG_QUALITY, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  Send(window, IDC_OGG_QUALITY, TBM_SETPOS, TRUE, std::clamp(settings.quality, 0, 100) / 10);
  const std::pair<int, int> rateSliders[] = {
      {IDC_OGG_AVERAGE, settings.avgBitrate}, {IDC_OGG_MIN, settings.minBitrate}, {IDC_OGG_MAX, settings.maxBitrate}};
  for (const auto& [id, kbps] : rateSliders) {
    Send(window, id, TBM_SETRANGE, TRUE, MAKELPARAM(0, kOggBitrateStepCount - 1));
    Send(window, id, TBM_SETPOS, TRUE, OggBitrateIndex(kbps));
  }
  CheckDlgButton(window, IDC_OGG_USE_MIN, settings.useMinBitrate ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, IDC_OGG_USE_MAX, settings.useMaxBitrate ? BST_CHECKED : BST_UNCHECKED);
  for (int slider : {IDC_OGG_QUALITY, IDC_OGG_AVERAGE, IDC_OGG_MIN, IDC_OGG_MAX}) ShowValue(slider);
  UpdateEnabling();
}

// The label beside a slider: "40%" or "128 kbps".
void COggSettings::ShowValue(int slider) {
  int label = slider == IDC_OGG_QUALITY   ? IDC_OGG_QUALITY_VALUE
              : slider == IDC_OGG_AVERAGE ? IDC_OGG_AVERAGE_VALUE
              : slider == IDC_OGG_MIN     ? IDC_OGG_MIN_VALUE
                                          : IDC_OGG_MAX_VALUE;
  std::wstring text = slider == IDC_OGG_QUALITY ? FormatText(32, L"%d%%", QualityPosition() * 10)
                                                : FormatText(32, L"%d kbps", kOggBitrateSteps[Position(slider)]);
  SetDlgItemTextW(window, label, text.c_str());
}

void COggSettings::OnScroll(HWND control) {
  for (int slider : {IDC_OGG_QUALITY, IDC_OGG_AVERAGE, IDC_OGG_MIN, IDC_OGG_MAX})
    if (control == GetDlgItem(window, slider)) ShowValue(slider);
}

bool COggSettings::Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

int COggSettings::Position(int id) const {
  return std::clamp(static_cast<int>(Send(window, id, TBM_GETPOS)), 0, kOggBitrateStepCount - 1);
}

int COggSettings::QualityPosition() const {
  return std::clamp(static_cast<int>(Send(window, IDC_OGG_QUALITY, TBM_GETPOS)), 0, 10);
}

void COggSettings::UpdateEnabling() {
  bool quality = Checked(IDC_OGG_QUALITY_MODE);
  bool average = !quality;
  bool minimum = average && Checked(IDC_OGG_USE_MIN);
  bool maximum = average && Checked(IDC_OGG_USE_MAX);
  const std::pair<int, bool> states[] = {
      {IDC_OGG_QUALITY, quality},   {IDC_OGG_QUALITY_LABEL, quality}, {IDC_OGG_QUALITY_VALUE, quality},
      {IDC_OGG_AVERAGE, average},   {IDC_OGG_AVERAGE_LABEL, average}, {IDC_OGG_AVERAGE_VALUE, average},
      {IDC_OGG_USE_MIN, average},   {IDC_OGG_USE_MAX, average},       {IDC_OGG_MIN, minimum},
      {IDC_OGG_MIN_LABEL, minimum}, {IDC_OGG_MIN_VALUE, minimum},     {IDC_OGG_MAX, maximum},
      {IDC_OGG_MAX_LABEL, maximum}, {IDC_OGG_MAX_VALUE, maximum},
  };
  for (const auto& [id, enabled] : states) EnableWindow(GetDlgItem(window, id), enabled);
}

void COggSettings::ReadControls() {
  settings.qualityBased = Checked(IDC_OGG_QUALITY_MODE) ? 1 : 0;
  if (settings.qualityBased) {
    settings.quality = QualityPosition() * 10;
    return;
  }
  settings.avgBitrate = kOggBitrateSteps[Position(IDC_OGG_AVERAGE)];
  settings.minBitrate = kOggBitrateSteps[Position(IDC_OGG_MIN)];
  settings.maxBitrate = kOggBitrateSteps[Position(IDC_OGG_MAX)];
  settings.useMinBitrate = Checked(IDC_OGG_USE_MIN) ? 1 : 0;
  settings.useMaxBitrate = Checked(IDC_OGG_USE_MAX) ? 1 : 0;
}

void COggSettings::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_OGG_QUALITY_MODE || id == IDC_OGG_AVERAGE_MODE || id == IDC_OGG_USE_MIN || id == IDC_OGG_USE_MAX)
    UpdateEnabling();
}
