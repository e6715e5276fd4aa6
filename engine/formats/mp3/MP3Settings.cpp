// MP3 settings: storage, description, options and the dialog.
#include "MP3Settings.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <vector>

#include "EngineResources.h"
#include "tavcore.h"

namespace {
const wchar_t kSection[] = L"MP3";
const uint32_t kBitrateSteps[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
const uint32_t kQualitySteps[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
const uint32_t kResampleRates[] = {0, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
const UINT kModeStrings[] = {IDS_MP3_MODE_CBR, IDS_MP3_MODE_VBR, IDS_MP3_MODE_ABR, IDS_MP3_MODE_FAST_VBR};
const wchar_t kOnOffText[] = L"Value either 'on' or 'off'. If no value is specified, 'on' will be used";

bool EqualNoCase(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

// A decimal number followed by one of the units (compared without case); the unit's factor applies.
bool ParseNumber(const wchar_t* value, std::initializer_list<std::pair<const wchar_t*, double>> units, uint32_t& out) {
  if (!value || !iswdigit(*value)) return false;
  const wchar_t* at = value;
  unsigned long long number = 0;
  while (iswdigit(*at)) {
    number = number * 10 + static_cast<unsigned>(*at++ - L'0');
    if (number > 0xFFFFFFFFull) return false;
  }
  for (const auto& [unit, factor] : units) {
    if (EqualNoCase(at, unit)) {
      out = static_cast<uint32_t>(number * factor);
      return true;
    }
  }
  return false;
}

bool ParseSwitch(const wchar_t* value, uint32_t& out) {
  if (!value || !*value || EqualNoCase(value, L"on")) {
    out = 1;
    return true;
  }
  if (EqualNoCase(value, L"off")) {
    out = 0;
    return true;
  }
  return false;
}

std::vector<uint32_t> SliderSteps(uint32_t mode) {
  if (mode == 1 || mode == 3) return {std::begin(kQualitySteps), std::end(kQualitySteps)};
  return {std::begin(kBitrateSteps), std::end(kBitrateSteps)};
}

LRESULT Send(HWND window, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageW(window, id, message, wParam, lParam);
}

const int kFlagBoxes[] = {IDC_MP3_JOINT_STEREO, IDC_MP3_CRC,       IDC_MP3_ISO,
                          IDC_MP3_ORIGINAL,     IDC_MP3_COPYRIGHT, IDC_MP3_PRIVATE};
uint32_t* FlagOf(MP3SETTINGS& settings, int box) {
  switch (box) {
    case IDC_MP3_JOINT_STEREO:
      return &settings.jointStereo;
    case IDC_MP3_CRC:
      return &settings.crc;
    case IDC_MP3_ISO:
      return &settings.strictIso;
    case IDC_MP3_ORIGINAL:
      return &settings.originalBit;
    case IDC_MP3_COPYRIGHT:
      return &settings.copyrightBit;
    default:
      return &settings.privateBit;
  }
}
}  // namespace

std::wstring DescribeMp3Settings(const MP3SETTINGS& settings) {
  static const wchar_t* const kModeNames[] = {L"CBR", L"VBR", L"ABR", L"Fast VBR"};
  const wchar_t* name = kModeNames[settings.mode <= 3 ? settings.mode : 2];
  std::wstring rate = settings.IsVbr() ? FormatText(64, L"Quality %d%%", static_cast<int>(settings.vbrQuality))
                                       : FormatText(64, L"%d kbps", static_cast<int>(settings.bitrate));
  std::wstring resample =
      settings.resampleRate ? FormatText(64, L"; %i kHz", static_cast<int>(settings.resampleRate / 1000)) : L"";
  return FormatText(256, L"%s %s%s", name, rate.c_str(), resample.c_str());
}

bool SetMp3Option(MP3SETTINGS& settings, const wchar_t* name, const wchar_t* value, std::wstring& error) {
  error.clear();
  if (!name) return false;
  if (EqualNoCase(name, L"encoder")) {
    error = L"The --encoder switch is no longer supported. LAME encoder is used.";
    return false;
  }
  if (EqualNoCase(name, L"mpeg-ii")) {
    error = L"The --mpeg-ii switch is no longer supported.";
    return false;
  }
  if (EqualNoCase(name, L"channels")) {
    error = L"The --channels switch is no longer supported.";
    return false;
  }
  if (EqualNoCase(name, L"enable-vbr")) {
    error = L"The --enable-vbr switch is obsolete. Use --vbr-mode";
    return false;
  }
  if (EqualNoCase(name, L"vbr-mode")) {
    if (!value || !*value) {
      error = L"Use --vbr-mode=... with either CBR, VBR, FASTVBR or ABR";
      return false;
    }
    const std::pair<const wchar_t*, uint32_t> modes[] = {{L"vbr", 1}, {L"fastvbr", 3}, {L"abr", 2}, {L"cbr", 0}};
    for (const auto& [word, mode] : modes) {
      if (EqualNoCase(value, word)) {
        settings.mode = mode;
        return true;
      }
    }
    error = L"Value can be either CBR, VBR, FASTVBR or ABR.";
    return false;
  }
  if (EqualNoCase(name, L"bitrate") || EqualNoCase(name, L"max-bitrate")) {
    uint32_t rate = 0;
    if (!ParseNumber(value, {{L"", 1}, {L"kbps", 1}, {L"bps", 0.001}}, rate)) {
      error = L"Value must be a number ended by either kbps, bps or nothing";
      return false;
    }
    // The encoder knows nothing outside the MPEG bit rates; it would fail only when the conversion starts.
    if (rate < 8 || rate > 320) {
      error = L"Bit rate must be from 8 to 320 kbps";
      return false;
    }
    (EqualNoCase(name, L"bitrate") ? settings.bitrate : settings.maxBitrate) = rate;
    return true;
  }
  if (EqualNoCase(name, L"sample-rate")) {
    uint32_t rate = 0;
    if (!ParseNumber(value, {{L"", 1}, {L"Hz", 1}, {L"kHz", 1000}}, rate)) {
      error = L"Value must be a number ended by either kHz, Hz or nothing";
      return false;
    }
    // 0 keeps the input's rate; anything else must be a rate MPEG audio has.
    const uint32_t mpegRates[] = {0, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    if (std::find(std::begin(mpegRates), std::end(mpegRates), rate) == std::end(mpegRates)) {
      error = L"Sample rate must be 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 or 48000 Hz";
      return false;
    }
    settings.resampleRate = rate;
    return true;
  }
  if (EqualNoCase(name, L"vbr-quality")) {
    uint32_t quality = 0;
    if (!ParseNumber(value, {{L"", 1}}, quality) || quality < 10 || quality > 100 || quality % 10) {
      error = L"Value must be a number between 10 and 100 (and must be divisible by 10)";
      return false;
    }
    settings.vbrQuality = quality;
    return true;
  }
  const std::pair<const wchar_t*, uint32_t MP3SETTINGS::*> switches[] = {
      {L"joint-stereo", &MP3SETTINGS::jointStereo},
      {L"iso", &MP3SETTINGS::strictIso},
      {L"crc", &MP3SETTINGS::crc},
      {L"original", &MP3SETTINGS::originalBit},
      {L"copyright", &MP3SETTINGS::copyrightBit},
      {L"private", &MP3SETTINGS::privateBit},
  };
  for (const auto& [option, field] : switches) {
    if (!EqualNoCase(name, option)) continue;
    if (!ParseSwitch(value, settings.*field)) {
      error = kOnOffText;
      return false;
    }
    return true;
  }
  return false;
}

void CMP3Settings::LoadSettings(MP3SETTINGS& record) {
  record = MP3SETTINGS();
  MP3SETTINGS stored;
  UINT32 size = sizeof(stored);
  if (GetProfileBinary(kSection, L"LAMESettings", &stored, &size) && size == sizeof(stored)) {
    record = stored;
    record.maxBitrate = 320;
  }
}

void CMP3Settings::SaveSettings(const MP3SETTINGS& record) {
  PutProfileBinary(kSection, L"LAMESettings", &record, sizeof(record));
}

void CMP3Settings::InitControls() {
  for (uint32_t mode = 0; mode < 4; ++mode) {
    std::wstring text = LoadEngineString(kModeStrings[mode]);
    LRESULT item = Send(window, IDC_MP3_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Send(window, IDC_MP3_MODE, CB_SETITEMDATA, static_cast<WPARAM>(item), mode);
  }
  if (settings.mode > 3) settings.mode = 3;
  Send(window, IDC_MP3_MODE, CB_SETCURSEL, settings.mode);
  for (int box : kFlagBoxes) CheckDlgButton(window, box, *FlagOf(settings, box) ? BST_CHECKED : BST_UNCHECKED);
  ShowMode(settings.mode);
}

uint32_t CMP3Settings::SelectedMode() const {
  LRESULT item = Send(window, IDC_MP3_MODE, CB_GETCURSEL);
  return item == CB_ERR ? settings.mode : static_cast<uint32_t>(Send(window, IDC_MP3_MODE, CB_GETITEMDATA, item));
}

// Relabels the slider, refills its steps and the down-sampling list for a mode, from the current record.
void CMP3Settings::ShowMode(uint32_t mode) {
  const bool vbr = mode == 1 || mode == 3;
  // The label's text comes from the string table (and language packs); the access key is added here.
  std::wstring label = LoadEngineString(vbr ? IDS_VBR_QUALITY : IDS_BIT_RATE);
  if (label.find(L'&') == std::wstring::npos) label.insert(0, L"&");
  SetDlgItemTextW(window, IDC_MP3_SLIDER_LABEL, label.c_str());
  std::vector<uint32_t> steps = SliderSteps(mode);
  uint32_t current = vbr ? settings.vbrQuality : settings.bitrate;
  size_t position = steps.size() - 1;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i] >= current) {
      position = i;
      break;
    }
  }
  Send(window, IDC_MP3_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, steps.size() - 1));
  Send(window, IDC_MP3_SLIDER, TBM_SETPOS, TRUE, static_cast<LPARAM>(position));
  const wchar_t* minimum = vbr ? L"%d%%" : L"%d kBits / sec.";
  const wchar_t* maximum = vbr ? L"%d%%" : L"%d kbps";
  SetDlgItemTextW(window, IDC_MP3_SLIDER_MIN, FormatText(64, minimum, static_cast<int>(steps.front())).c_str());
  SetDlgItemTextW(window, IDC_MP3_SLIDER_MAX, FormatText(64, maximum, static_cast<int>(steps.back())).c_str());
  ShowSliderValue();

  Send(window, IDC_MP3_RESAMPLE, CB_RESETCONTENT);
  const size_t offered = vbr ? 4 : std::size(kResampleRates);
  int selected = 0;
  for (size_t i = 0; i < offered; ++i) {
    uint32_t rate = kResampleRates[i];
    std::wstring text =
        rate ? FormatText(64, L"%d,%03d Hz", static_cast<int>(rate / 1000), static_cast<int>(rate % 1000))
             : LoadEngineString(IDS_AUTOMATIC_DETECTION);
    LRESULT item = Send(window, IDC_MP3_RESAMPLE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Send(window, IDC_MP3_RESAMPLE, CB_SETITEMDATA, static_cast<WPARAM>(item), rate);
    if (rate == settings.resampleRate) selected = static_cast<int>(item);
  }
  Send(window, IDC_MP3_RESAMPLE, CB_SETCURSEL, static_cast<WPARAM>(selected));
}

void CMP3Settings::ShowSliderValue() {
  uint32_t mode = SelectedMode();
  std::vector<uint32_t> steps = SliderSteps(mode);
  size_t position = static_cast<size_t>(Send(window, IDC_MP3_SLIDER, TBM_GETPOS));
  if (position >= steps.size()) position = steps.size() - 1;
  const wchar_t* format = mode == 1 || mode == 3 ? L"%d%%" : L"%d kbps";
  SetDlgItemTextW(window, IDC_MP3_VALUE, FormatText(64, format, static_cast<int>(steps[position])).c_str());
}

void CMP3Settings::ReadControls() {
  settings.mode = SelectedMode();
  for (int box : kFlagBoxes) *FlagOf(settings, box) = IsDlgButtonChecked(window, box) == BST_CHECKED ? 1 : 0;
  std::vector<uint32_t> steps = SliderSteps(settings.mode);
  size_t position = static_cast<size_t>(Send(window, IDC_MP3_SLIDER, TBM_GETPOS));
  if (position >= steps.size()) position = steps.size() - 1;
  (settings.IsVbr() ? settings.vbrQuality : settings.bitrate) = steps[position];
  LRESULT item = Send(window, IDC_MP3_RESAMPLE, CB_GETCURSEL);
  settings.resampleRate =
      item == CB_ERR ? 0 : static_cast<uint32_t>(Send(window, IDC_MP3_RESAMPLE, CB_GETITEMDATA, item));
}

void CMP3Settings::OnCommand(int id, int code) {
  if (id == IDC_MP3_MODE && code == CBN_SELCHANGE) ShowMode(SelectedMode());
}

void CMP3Settings::OnScroll(HWND control) {
  if (control == GetDlgItem(window, IDC_MP3_SLIDER)) ShowSliderValue();
}
