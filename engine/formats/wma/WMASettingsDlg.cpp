// Windows Media settings: the dialog lists what the installed codecs offer, so the record it writes always names
// a format of one of them.
#include "WMASettingsDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>

#include "EngineResources.h"

namespace {

const UINT kModeStrings[] = {IDS_WMA_MODE_CBR, IDS_WMA_MODE_QUALITY_VBR, IDS_WMA_MODE_AVERAGE_VBR,
                             IDS_WMA_MODE_CBR_TWO_PASS};
const wchar_t kProfileFilter[] = L"Windows Media Profile (.prx)\0*.prx\0";
constexpr LONGLONG kProfileFileLimit = 1 << 20;

LRESULT Send(HWND window, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageW(window, id, message, wParam, lParam);
}

std::wstring ChannelsText(WORD channels) {
  if (channels == 1) return L"mono";
  if (channels == 2) return L"stereo";
  return FormatText(32, L"%d channel", channels);
}

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes, std::wstring& error) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = L"Profile file cannot be opened";
    return false;
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (ok && size.QuadPart > kProfileFileLimit) {
    error = L"Profile file is too big";
    ok = false;
  } else if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                           read == bytes.size());
    if (!ok) error = L"Profile file cannot be read";
  } else {
    error = L"Profile file cannot be read";
  }
  CloseHandle(file);
  return ok;
}

// Profile files are UTF-16 with a byte-order mark as the SDK saves them; older ones are 8-bit text.
std::wstring ProfileText(const std::vector<BYTE>& bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  const int length = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                        text.data(), length);
  return text;
}

// The platform's file dialog for a ".prx" file to read or to write.
bool AskProfilePath(HWND owner, bool save, wchar_t (&path)[MAX_PATH]) {
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kProfileFilter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"prx";
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  return (save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) != FALSE;
}

}  // namespace

std::wstring DescribeWmaSettings(const WMASETTINGS& settings) {
  WMACodecInfo codecs;
  std::wstring description;
  if (FAILED(codecs.Open()) || FAILED(codecs.ApplyMode(settings.codec, settings.mode)) ||
      FAILED(codecs.Format(settings.codec, settings.format, nullptr, &description)))
    return {};
  return description;
}

bool SetWmaOption(WMASETTINGS& settings, const wchar_t* name, const wchar_t* value, std::wstring& error) {
  error.clear();
  if (!name || !value) return false;
  const bool codecOption = _wcsicmp(name, L"wma-codec") == 0;
  if (!codecOption && _wcsicmp(name, L"wma-format") != 0) return false;
  WMACodecInfo codecs;
  codecs.Open();
  if (codecOption) {
    for (DWORD codec = 0, count = codecs.CodecCount(); codec < count; ++codec) {
      std::wstring codecName = codecs.CodecName(codec);
      if (codecName.size() > 1024) codecName.resize(1024);
      if (_wcsicmp(codecName.c_str(), value) == 0) {
        settings.codec = codec;
        return true;
      }
    }
    error = L"WMA codec with this name was not found";
    return false;
  }
  bool found = false;
  for (const WMAFormatEntry& entry : codecs.ListFormats(settings.codec)) {
    if (_wcsicmp(entry.description.c_str(), value) != 0) continue;
    settings.format = entry.format;
    settings.mode = entry.mode;
    found = true;  // the last match wins
  }
  if (!found) error = L"WMA format with this name was not found";
  return found;
}

bool ReadProfileFile(const wchar_t* path, WMASETTINGS& settings, std::wstring& error) {
  std::vector<BYTE> bytes;
  if (!path || !ReadWholeFile(path, bytes, error)) return false;
  const std::wstring text = ProfileText(bytes);
  WMACodecInfo codecs;
  ComPtr<IWMProfile> profile;
  if (FAILED(codecs.Open()) || FAILED(codecs.Manager()->LoadProfileByData(text.c_str(), &profile)) || !profile ||
      !SettingsFromProfile(codecs, profile.Get(), settings)) {
    error = L"Profile data is invalid";
    return false;
  }
  return true;
}

TAVCORE_API int WINAPI WMASetDefaultProfile(const wchar_t* path) {
  WMASETTINGS settings;
  std::wstring error;
  if (!ReadProfileFile(path, settings, error)) return -1;
  SaveWmaSettings(settings);
  return 0;
}

uint32_t CWMASettingsDlg::SelectedMode() const {
  const LRESULT item = Send(window, IDC_WMA_MODE, CB_GETCURSEL);
  return item < 0 ? 0 : static_cast<uint32_t>(Send(window, IDC_WMA_MODE, CB_GETITEMDATA, static_cast<WPARAM>(item)));
}

DWORD CWMASettingsDlg::SelectedCodec() const {
  const LRESULT item = Send(window, IDC_WMA_CODEC, CB_GETCURSEL);
  return item < 0 ? 0 : static_cast<DWORD>(item);
}

void CWMASettingsDlg::InitControls() {
  codecs.Open();
  for (DWORD codec = 0, count = codecs.CodecCount(); codec < count; ++codec)
    Send(window, IDC_WMA_CODEC, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(codecs.CodecName(codec).c_str()));
  Send(window, IDC_WMA_CODEC, CB_SETCURSEL, settings.codec);
  for (uint32_t mode = 0; mode < kWmaModes; ++mode) {
    const std::wstring text = LoadEngineString(kModeStrings[mode]);
    const LRESULT item = Send(window, IDC_WMA_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Send(window, IDC_WMA_MODE, CB_SETITEMDATA, static_cast<WPARAM>(item), mode);
  }
  Send(window, IDC_WMA_MODE, CB_SETCURSEL, settings.mode < kWmaModes ? settings.mode : 0);
  listedCodec = ~0u;
  formats.clear();
  // The record's own format decides what is selected first.
  const WMAFormatEntry* chosen = nullptr;
  if (settings.codec < codecs.CodecCount()) {
    formats = codecs.ListFormats(settings.codec);
    listedCodec = settings.codec;
    for (const WMAFormatEntry& entry : formats)
      if (entry.mode == settings.mode && entry.format == settings.format) chosen = &entry;
  }
  CheckDlgButton(window, IDC_WMA_LOW_DELAY, chosen && chosen->lowDelay ? BST_CHECKED : BST_UNCHECKED);
  WAVEFORMATEX wanted = {};
  if (chosen) {
    wanted.nSamplesPerSec = chosen->sampleRate;
    wanted.nChannels = chosen->channels;
    wanted.wBitsPerSample = chosen->bits;
  }
  FillSampleRates(chosen ? &wanted : nullptr);
  FillBitrates(chosen ? chosen->bitrate : 0);
  if (chosen && !steps.empty()) {
    const auto at = std::find(steps.begin(), steps.end(), chosen);
    if (at != steps.end()) Send(window, IDC_WMA_BITRATE, TBM_SETPOS, TRUE, at - steps.begin());
  }
  ShowBitrate();
  CheckDlgButton(window, IDC_WMA_USE_MAX, settings.maxBitrate || settings.bufferWindow ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemInt(window, IDC_WMA_MAX, settings.maxBitrate, FALSE);
  SetDlgItemInt(window, IDC_WMA_BUFFER, settings.bufferWindow, FALSE);
  EnableLimits();
}

void CWMASettingsDlg::FillSampleRates(const WAVEFORMATEX* wanted) {
  const DWORD codec = SelectedCodec();
  if (codec != listedCodec) {
    formats = codecs.ListFormats(codec);
    listedCodec = codec;
  }
  const uint32_t mode = SelectedMode();
  const bool lowDelay = IsDlgButtonChecked(window, IDC_WMA_LOW_DELAY) == BST_CHECKED;
  rates.clear();
  for (const WMAFormatEntry& entry : formats) {
    if (entry.mode != mode || entry.lowDelay != lowDelay) continue;
    const bool known = std::any_of(rates.begin(), rates.end(), [&](const RateEntry& rate) {
      return rate.sampleRate == entry.sampleRate && rate.channels == entry.channels && rate.bits == entry.bits;
    });
    if (!known) rates.push_back({entry.sampleRate, entry.channels, entry.bits});
  }
  std::sort(rates.begin(), rates.end(), [](const RateEntry& a, const RateEntry& b) {
    return a.sampleRate != b.sampleRate ? a.sampleRate > b.sampleRate
                                        : a.channels != b.channels ? a.channels > b.channels : a.bits > b.bits;
  });
  Send(window, IDC_WMA_SAMPLE_RATE, CB_RESETCONTENT);
  int select = 0;
  for (size_t i = 0; i < rates.size(); ++i) {
    const std::wstring text = FormatText(64, L"%d kHz, %d bit, %s", static_cast<int>(rates[i].sampleRate / 1000),
                                         rates[i].bits, ChannelsText(rates[i].channels).c_str());
    Send(window, IDC_WMA_SAMPLE_RATE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (wanted && rates[i].sampleRate == wanted->nSamplesPerSec && rates[i].channels == wanted->nChannels &&
        rates[i].bits == wanted->wBitsPerSample)
      select = static_cast<int>(i);
  }
  Send(window, IDC_WMA_SAMPLE_RATE, CB_SETCURSEL, rates.empty() ? static_cast<WPARAM>(-1) : select);
}

const std::vector<const WMAFormatEntry*> CWMASettingsDlg::FormatsOfSampleRate() const {
  std::vector<const WMAFormatEntry*> found;
  const LRESULT item = Send(window, IDC_WMA_SAMPLE_RATE, CB_GETCURSEL);
  if (item < 0 || static_cast<size_t>(item) >= rates.size()) return found;
  const RateEntry& rate = rates[static_cast<size_t>(item)];
  const uint32_t mode = SelectedMode();
  const bool lowDelay = IsDlgButtonChecked(window, IDC_WMA_LOW_DELAY) == BST_CHECKED;
  for (const WMAFormatEntry& entry : formats)
    if (entry.mode == mode && entry.lowDelay == lowDelay && entry.sampleRate == rate.sampleRate &&
        entry.channels == rate.channels && entry.bits == rate.bits)
      found.push_back(&entry);
  return found;
}

void CWMASettingsDlg::FillBitrates(DWORD wantedBitrate) {
  steps = FormatsOfSampleRate();
  const bool quality = SelectedMode() == 1;
  std::stable_sort(steps.begin(), steps.end(), [quality](const WMAFormatEntry* a, const WMAFormatEntry* b) {
    return quality ? a->quality < b->quality : a->bitrate < b->bitrate;
  });
  const int last = steps.empty() ? 0 : static_cast<int>(steps.size()) - 1;
  Send(window, IDC_WMA_BITRATE, TBM_SETRANGE, TRUE, MAKELPARAM(0, last));
  int position = last;
  for (size_t i = 0; i < steps.size(); ++i)
    if (steps[i]->bitrate <= wantedBitrate) position = static_cast<int>(i);
  Send(window, IDC_WMA_BITRATE, TBM_SETPOS, TRUE, position);
  EnableWindow(GetDlgItem(window, IDC_WMA_BITRATE), steps.size() > 1);
  auto label = [quality](const WMAFormatEntry* entry) {
    return quality ? FormatText(32, L"%d%%", static_cast<int>(entry->quality))
                   : FormatText(32, L"%d kbps", static_cast<int>(entry->bitrate / 1000));
  };
  SetDlgItemTextW(window, IDC_WMA_BITRATE_MIN, steps.empty() ? L"" : label(steps.front()).c_str());
  SetDlgItemTextW(window, IDC_WMA_BITRATE_MAX, steps.empty() ? L"" : label(steps.back()).c_str());
  ShowBitrate();
}

void CWMASettingsDlg::ShowBitrate() {
  const LRESULT position = Send(window, IDC_WMA_BITRATE, TBM_GETPOS);
  if (position < 0 || static_cast<size_t>(position) >= steps.size()) {
    SetDlgItemTextW(window, IDC_WMA_BITRATE_VALUE, L"");
    return;
  }
  const WMAFormatEntry* entry = steps[static_cast<size_t>(position)];
  const std::wstring text = SelectedMode() == 1
                                ? FormatText(32, L"%d%%", static_cast<int>(entry->quality))
                                : FormatText(32, L"%d kBits / sec.", static_cast<int>(entry->bitrate / 1000));
  SetDlgItemTextW(window, IDC_WMA_BITRATE_VALUE, text.c_str());
}

// The limits apply to variable bit rates only, and are typed in only when the box is ticked.
void CWMASettingsDlg::EnableLimits() {
  const bool vbr = ModeIsVbr(SelectedMode());
  EnableWindow(GetDlgItem(window, IDC_WMA_USE_MAX), vbr);
  const bool on = vbr && IsDlgButtonChecked(window, IDC_WMA_USE_MAX) == BST_CHECKED;
  for (int id : {IDC_WMA_MAX, IDC_WMA_MAX_LABEL, IDC_WMA_BUFFER, IDC_WMA_BUFFER_LABEL})
    EnableWindow(GetDlgItem(window, id), on);
}

void CWMASettingsDlg::ReadControls() {
  settings.codec = SelectedCodec();
  settings.mode = SelectedMode();
  const LRESULT position = Send(window, IDC_WMA_BITRATE, TBM_GETPOS);
  if (position >= 0 && static_cast<size_t>(position) < steps.size())
    settings.format = steps[static_cast<size_t>(position)]->format;
  const bool limits = ModeIsVbr(settings.mode) && IsDlgButtonChecked(window, IDC_WMA_USE_MAX) == BST_CHECKED;
  settings.maxBitrate = limits ? GetDlgItemInt(window, IDC_WMA_MAX, nullptr, FALSE) : 0;
  settings.bufferWindow = limits ? GetDlgItemInt(window, IDC_WMA_BUFFER, nullptr, FALSE) : 0;
}

void CWMASettingsDlg::OnCommand(int id, int code) {
  const LRESULT position = Send(window, IDC_WMA_BITRATE, TBM_GETPOS);
  const DWORD bitrate =
      position >= 0 && static_cast<size_t>(position) < steps.size() ? steps[static_cast<size_t>(position)]->bitrate : 0;
  switch (id) {
    case IDC_WMA_CODEC:
    case IDC_WMA_MODE:
    case IDC_WMA_SAMPLE_RATE:
      if (code != CBN_SELCHANGE) return;
      [[fallthrough]];
    case IDC_WMA_LOW_DELAY: {
      if (id != IDC_WMA_SAMPLE_RATE) {
        const LRESULT item = Send(window, IDC_WMA_SAMPLE_RATE, CB_GETCURSEL);
        WAVEFORMATEX wanted = {};
        const bool keep = item >= 0 && static_cast<size_t>(item) < rates.size();
        if (keep) {
          wanted.nSamplesPerSec = rates[static_cast<size_t>(item)].sampleRate;
          wanted.nChannels = rates[static_cast<size_t>(item)].channels;
          wanted.wBitsPerSample = rates[static_cast<size_t>(item)].bits;
        }
        FillSampleRates(keep ? &wanted : nullptr);
      }
      FillBitrates(bitrate);
      EnableLimits();
      break;
    }
    case IDC_WMA_USE_MAX:
      EnableLimits();
      break;
    case IDC_WMA_LOAD:
      LoadProfile();
      break;
    case IDC_WMA_SAVE:
      SaveProfile();
      break;
    default:
      break;
  }
}

void CWMASettingsDlg::OnScroll(HWND control) {
  if (control == GetDlgItem(window, IDC_WMA_BITRATE)) ShowBitrate();
}

void CWMASettingsDlg::LoadProfile() {
  wchar_t path[MAX_PATH] = {};
  if (!AskProfilePath(window, false, path)) return;
  WMASETTINGS loaded;
  std::wstring error;
  if (!ReadProfileFile(path, loaded, error)) {
    MessageBoxW(window, error.c_str(), nullptr, MB_OK | MB_ICONERROR);
    return;
  }
  settings = loaded;
  Send(window, IDC_WMA_CODEC, CB_RESETCONTENT);
  Send(window, IDC_WMA_MODE, CB_RESETCONTENT);
  InitControls();
}

void CWMASettingsDlg::SaveProfile() {
  WMASETTINGS chosen = settings;
  ReadControls();
  std::swap(chosen, settings);
  ComPtr<IWMProfile> profile;
  const wchar_t* error = nullptr;
  std::wstring text;
  if (FAILED(BuildProfile(codecs, chosen, &profile)) || !profile) {
    error = L"Profile cannot be created";
  } else {
    DWORD length = 0;
    if (FAILED(codecs.Manager()->SaveProfile(profile.Get(), nullptr, &length)) || !length) {
      error = L"Profile cannot be saved";
    } else {
      text.assign(length, L'\0');
      if (FAILED(codecs.Manager()->SaveProfile(profile.Get(), text.data(), &length))) error = L"Profile cannot be saved";
      text.resize(wcsnlen(text.c_str(), text.size()));
    }
  }
  if (error) {
    MessageBoxW(window, error, nullptr, MB_OK | MB_ICONERROR);
    return;
  }
  wchar_t path[MAX_PATH] = {};
  if (!AskProfilePath(window, true, path)) return;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    MessageBoxW(window, L"Profile file cannot be created", nullptr, MB_OK | MB_ICONERROR);
    return;
  }
  const wchar_t mark = 0xFEFF;
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const bool ok = WriteFile(file, &mark, sizeof(mark), &written, nullptr) && written == sizeof(mark) &&
                  WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
  CloseHandle(file);
  if (!ok) MessageBoxW(window, L"Profile file cannot be written", nullptr, MB_OK | MB_ICONERROR);
}
