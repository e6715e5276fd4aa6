// The voxcap window.
#include "MainDlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "OutputName.h"
#include "SpoolRecovery.h"
#include "UserMessage.h"
#include "resource.h"

namespace {
enum : UINT {
  kNoticeMessage = WM_APP + 1,  // boxes waiting in the notice queue
  kStopWantedMessage,           // the engine asks for the end of the recording
  kOfferRecoveryMessage,        // once the window is on screen
};

const wchar_t kSection[] = L"Settings";
const wchar_t kNotApplicable[] = L"(not applicable)";
const wchar_t kQualityNames[][16] = {L"Best quality", L"High", L"Medium", L"Smallest size"};
const int kMp3Bitrates[] = {192, 128, 96, 64};
const wchar_t* const kWindowsMediaFormats[] = {L"128 kbps, 44 kHz, stereo CBR", L" 96 kbps, 44 kHz, stereo CBR",
                                               L" 64 kbps, 44 kHz, stereo CBR", L" 48 kbps, 44 kHz, stereo CBR"};
constexpr int kToleranceMax = 20;

void DefaultOpenLink(HWND owner, const wchar_t* address) { _SHOpen(owner, address, nullptr); }

bool DefaultPickFolder(HWND owner, const wchar_t* title, std::wstring* folder) {
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.lpszTitle = title;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (ok) *folder = path;
  return ok;
}

std::wstring WithoutTrailingNewlines(const wchar_t* text) {
  std::wstring result = text ? text : L"";
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r')) result.pop_back();
  return result;
}

std::wstring Percent(int value) {
  wchar_t text[16] = {};
  _snwprintf(text, 15, L"%d%%", value);
  return text;
}

LRESULT SelectedData(HWND combo) {
  const LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return item == CB_ERR ? CB_ERR : SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
}
}  // namespace

const wchar_t CMainDlg::kHelpAddress[] = L"https://www.tavrel.com/voxcap/help/output-file.html";
void (*CMainDlg::openLink)(HWND, const wchar_t*) = &DefaultOpenLink;
bool (*CMainDlg::pickFolder)(HWND, const wchar_t*, std::wstring*) = &DefaultPickFolder;

CMainDlg::CMainDlg(IClock& clockToUse) : clock(clockToUse) {}

CMainDlg::~CMainDlg() {
  // The window finishes a running recording (tags included) as it goes; the engine is stopped here at the
  // latest, while the destination's callback (this object) is still whole.
  if (window) DestroyWindow(window);
  noticeWindow = nullptr;
  if (recorder.IsRecording()) recorder.Stop();
  recorder.StopMonitor();
  if (destination) {
    destination->SetCallback(nullptr);
    destination->Release();
  }
}

INT_PTR CMainDlg::Run() {
  modal = true;
  return RunModal(GetModuleHandleW(nullptr), IDD_MAIN, nullptr);
}

HWND CMainDlg::Create() {
  modal = false;
  HWND created = CreateModeless(GetModuleHandleW(nullptr), IDD_MAIN, nullptr);
  if (created) ShowWindow(created, SW_SHOW);
  return created;
}

INT_PTR CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      OnScroll(reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_METER) return FALSE;
      meter.Paint(item->hDC, item->rcItem);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_HELP_LINK && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        openLink(window, AddReferer(kHelpAddress));
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case kNoticeMessage:
      ShowNotices();
      return TRUE;
    case kStopWantedMessage:
      StopRecording();
      return TRUE;
    case kOfferRecoveryMessage:
      OfferRecovery();
      return TRUE;
    case WM_DESTROY:
      noticeWindow = nullptr;
      for (UINT_PTR timer : {kMeterTimer, kStatusTimer, kStartTimer, kStopTimer}) KillTimer(window, timer);
      if (recorder.IsRecording()) StopRecording();
      recorder.StopMonitor();
      return TRUE;
  }
  return FALSE;
}

void CMainDlg::OnInit() {
  noticeWindow = window;
  if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VOXCAP))) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }

  int silence = 0, tolerance = 0;
  ReadPInt(kSection, L"SilenceDetection", &silence);
  ReadPInt(kSection, L"SilencePercent", &tolerance);
  wchar_t lastFormat[512] = L"MP3";
  ReadPString(kSection, L"LastOutFmt", lastFormat);
  wchar_t lastFile[512] = {};
  wcscpy(lastFile, kDefaultOutputTemplate);
  ReadPString(kSection, L"LastOutFile", lastFile);

  CheckDlgButton(window, IDC_SILENCE, silence ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageW(window, IDC_TOLERANCE, TBM_SETRANGE, FALSE, MAKELPARAM(0, kToleranceMax));
  SendDlgItemMessageW(window, IDC_TOLERANCE, TBM_SETTICFREQ, 10, 0);
  SetTolerance(std::clamp(tolerance, 0, kToleranceMax));
  SendDlgItemMessageW(window, IDC_VOLUME, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
  SendDlgItemMessageW(window, IDC_VOLUME, TBM_SETTICFREQ, 10, 0);

  SendDlgItemMessageW(window, IDC_OUTPUT_FILE, EM_LIMITTEXT, 511, 0);
  SetDlgItemTextW(window, IDC_OUTPUT_FILE, lastFile);

  // The meter is drawn pixel for pixel: its size does not follow the dialog font.
  HWND meterControl = GetDlgItem(window, IDC_METER);
  SetWindowPos(meterControl, nullptr, 0, 0, CLevelMeter::kWidth, CLevelMeter::kHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  FillFormats(lastFormat);
  FillDevices();
  OpenMixer();
  recorder.StartMonitor(Device());
  SetTimer(window, kMeterTimer, 100, nullptr);
  UpdateButtons();
  RefreshStatus();
  RefreshSize();
  PostMessageW(window, kOfferRecoveryMessage, 0, 0);
}

void CMainDlg::OnCommand(int id, int code) {
  switch (id) {
    case IDC_DEVICE:
      if (code == CBN_SELCHANGE) OnDeviceChange();
      break;
    case IDC_LINE:
      if (code == CBN_SELCHANGE) OnLineChange();
      break;
    case IDC_FORMAT:
      if (code == CBN_SELCHANGE) OnFormatChange();
      break;
    case IDC_QUALITY:
      if (code == CBN_SELCHANGE) OnQualityChange();
      break;
    case IDC_CHANGE_SETTINGS:
      OnChangeSettings();
      break;
    case IDC_BROWSE:
      OnBrowse();
      break;
    case IDC_WRITE_TAG:
      UpdateTagOptions();
      break;
    case IDC_EDIT_TAG:
      OnEditTags();
      break;
    case IDC_AUTO_START:
      OnAutoBox(true);
      break;
    case IDC_AUTO_START_SETUP:
      OnAutoSetup(true, false);
      break;
    case IDC_AUTO_STOP:
      OnAutoBox(false);
      break;
    case IDC_AUTO_STOP_SETUP:
      OnAutoSetup(false, false);
      break;
    case IDC_RECORD:
      StartRecording();
      break;
    case IDC_PAUSE:
      OnPause();
      break;
    case IDC_STOP:
      StopRecording();
      break;
    case IDCANCEL:
      OnClose();
      break;
  }
}

void CMainDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kMeterTimer:
      OnMeterTimer();
      break;
    case kStatusTimer:
      if (!recorder.IsRecording()) break;
      recorder.OnStatusTick();
      RefreshStatus();
      RefreshSize();
      break;
    case kStartTimer:
      if (!ScheduleDue(startSchedule, startArmedTick, clock)) {
        if (!recorder.IsRecording()) RefreshStatus();
        break;
      }
      startSchedule.mode = Schedule::kOff;
      KillTimer(window, kStartTimer);
      CheckDlgButton(window, IDC_AUTO_START, BST_UNCHECKED);
      if (recorder.IsRecording()) break;
      if (!StartRecording()) RefreshStatus();
      break;
    case kStopTimer:
      if (!recorder.IsRecording()) {
        KillTimer(window, kStopTimer);
        break;
      }
      if (!ScheduleDue(stopSchedule, recordingStartTick, clock)) break;
      stopSchedule.mode = Schedule::kOff;
      KillTimer(window, kStopTimer);
      CheckDlgButton(window, IDC_AUTO_STOP, BST_UNCHECKED);
      StopRecording();
      break;
  }
}

void CMainDlg::OnScroll(HWND slider) {
  if (slider == GetDlgItem(window, IDC_TOLERANCE)) {
    SetTolerance(static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
  } else if (slider == GetDlgItem(window, IDC_VOLUME)) {
    const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    SetDlgItemTextW(window, IDC_VOLUME_PERCENT, Percent(100 - position).c_str());
    const LRESULT line = SendDlgItemMessageW(window, IDC_LINE, CB_GETCURSEL, 0, 0);
    mixer.SetVolume(static_cast<int>(line), static_cast<DWORD>((100 - position) * CMixer::kFullVolume / 100));
  }
}

void CMainDlg::OnClose() {
  if (recorder.IsRecording()) {
    Message(L"Please stop recording before closing the program.", L"Note!", MB_OK | MB_ICONINFORMATION);
    return;
  }
  for (UINT_PTR timer : {kMeterTimer, kStartTimer, kStopTimer}) KillTimer(window, timer);
  recorder.StopMonitor();
  if (modal)
    EndDialog(window, IDCANCEL);
  else
    DestroyWindow(window);
}

// ---------------------------------------------------------------------------------------------------------------
// Source: device, mixer line, volume

void CMainDlg::FillDevices() {
  HWND list = GetDlgItem(window, IDC_DEVICE);
  const UINT count = waveInGetNumDevs();
  for (UINT device = 0; device < count; ++device) {
    WAVEINCAPSW caps = {};
    if (waveInGetDevCapsW(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
    std::wstring name(caps.szPname, wcsnlen(caps.szPname, MAXPNAMELEN));
    const LRESULT item = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(item), device);
  }
  SendMessageW(list, CB_SETCURSEL, 0, 0);
}

UINT CMainDlg::Device() const {
  const LRESULT device = SelectedData(GetDlgItem(window, IDC_DEVICE));
  return device == CB_ERR ? WAVE_MAPPER : static_cast<UINT>(device);
}

void CMainDlg::OnDeviceChange() {
  OpenMixer();
  // During a recording the new device is used from the next one on.
  if (!recorder.IsRecording()) recorder.StartMonitor(Device());
}

void CMainDlg::OpenMixer() {
  HWND lines = GetDlgItem(window, IDC_LINE);
  SendMessageW(lines, CB_RESETCONTENT, 0, 0);
  const bool available = Device() != WAVE_MAPPER && mixer.Open(Device()) && !mixer.Sources().empty();
  if (!available) {
    mixer.Close();
    SendMessageW(lines, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"<not available>"));
    SendMessageW(lines, CB_SETCURSEL, 0, 0);
    EnableWindow(lines, FALSE);
    ShowLineVolume();
    return;
  }
  for (const CMixer::Source& source : mixer.Sources()) {
    const std::wstring text = mixer.DestinationName() + L" : " + source.name;
    SendMessageW(lines, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  EnableWindow(lines, TRUE);
  SendMessageW(lines, CB_SETCURSEL, static_cast<WPARAM>(std::max(mixer.SelectedSource(), 0)), 0);
  ShowLineVolume();
}

void CMainDlg::OnLineChange() {
  const int line = static_cast<int>(SendDlgItemMessageW(window, IDC_LINE, CB_GETCURSEL, 0, 0));
  mixer.SelectSource(line);
  ShowLineVolume();
}

void CMainDlg::ShowLineVolume() {
  const int line = static_cast<int>(SendDlgItemMessageW(window, IDC_LINE, CB_GETCURSEL, 0, 0));
  DWORD volume = 0;
  const bool known = mixer.GetVolume(line, &volume);
  const int percent =
      known ? static_cast<int>((std::min<DWORD>(volume, CMixer::kFullVolume) * 100 + CMixer::kFullVolume / 2) /
                               CMixer::kFullVolume)
            : 100;
  SendDlgItemMessageW(window, IDC_VOLUME, TBM_SETPOS, TRUE, 100 - percent);
  SetDlgItemTextW(window, IDC_VOLUME_PERCENT, Percent(percent).c_str());
  for (int id : {IDC_VOLUME_LABEL, IDC_VOLUME, IDC_VOLUME_PERCENT}) Enable(id, known);
}

// ---------------------------------------------------------------------------------------------------------------
// Output: format, quality, settings, name, tags

void CMainDlg::FillFormats(const std::wstring& lastFormat) {
  HWND list = GetDlgItem(window, IDC_FORMAT);
  int chosen = 0;
  for (UINT32 row = 0; row < ConvGetFormatCount(); ++row) {
    CONVFORMAT entry = {};
    if (FAILED(ConvGetFormatAt(&entry, row)) || !entry.destinationClass) continue;
    const LRESULT item = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name));
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(item), row);
    if (_wcsicmp(entry.name, lastFormat.c_str()) == 0) chosen = static_cast<int>(item);
  }
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  formatItem = chosen;
  const LRESULT row = SelectedData(list);
  if (row != CB_ERR) ApplyFormat(static_cast<UINT32>(row));
}

void CMainDlg::OnFormatChange() {
  HWND list = GetDlgItem(window, IDC_FORMAT);
  if (recorder.IsRecording()) {
    Message(L"You cannot change the output format while recording.", L"Note!", MB_OK | MB_ICONWARNING);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(formatItem), 0);
    return;
  }
  formatItem = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
  const LRESULT row = SelectedData(list);
  if (row != CB_ERR) ApplyFormat(static_cast<UINT32>(row));
}

bool CMainDlg::ApplyFormat(UINT32 row) {
  if (destination) {
    destination->SetCallback(nullptr);
    destination->Release();
    destination = nullptr;
  }
  format = {};
  if (FAILED(ConvGetFormatAt(&format, row)) || FAILED(ConvCreateDest(&format, &destination)) || !destination) {
    destination = nullptr;
    RefreshSettingsText();
    FillQuality();
    UpdateTagOptions();
    Message(L"Output format not supported", L"", MB_OK | MB_ICONERROR);
    return false;
  }
  destination->SetFormat(&CRecorder::kFormat);
  destination->SetCallback(this);
  RefreshSettingsText();
  FillQuality();
  UpdateTagOptions();
  return true;
}

bool CMainDlg::HasQualityPresets() const {
  return destination && (wcscmp(format.name, L"MP3") == 0 || wcscmp(format.name, L"Windows Media") == 0);
}

void CMainDlg::FillQuality() {
  HWND list = GetDlgItem(window, IDC_QUALITY);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  if (HasQualityPresets()) {
    for (const wchar_t* name : kQualityNames) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  } else {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNotApplicable));
  }
  EnableWindow(list, HasQualityPresets());
  SendMessageW(list, CB_SETCURSEL, 0, 0);
  qualityItem = 0;
  if (HasQualityPresets()) ApplyQuality(0);
}

void CMainDlg::OnQualityChange() {
  HWND list = GetDlgItem(window, IDC_QUALITY);
  if (recorder.IsRecording()) {
    Message(L"You cannot change quality while recording.", L"Note!", MB_OK | MB_ICONWARNING);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(qualityItem), 0);
    return;
  }
  qualityItem = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
  if (HasQualityPresets() && qualityItem >= 0) ApplyQuality(qualityItem);
}

void CMainDlg::ApplyQuality(int preset) {
  if (!destination || preset < 0 || preset >= 4) return;
  wchar_t error[1024] = {};
  if (wcscmp(format.name, L"MP3") == 0) {
    wchar_t rate[16] = {};
    _snwprintf(rate, 15, L"%dkbps", kMp3Bitrates[preset]);
    destination->SetOption(L"bitrate", rate, error);
  } else {
    // The newer codec wins where it is installed; the format names the same in both.
    destination->SetOption(L"wma-codec", L"Windows Media Audio 9.1", error);
    destination->SetOption(L"wma-codec", L"Windows Media Audio 9.5", error);
    destination->SetOption(L"wma-format", kWindowsMediaFormats[preset], error);
  }
  RefreshSettingsText();
}

void CMainDlg::RefreshSettingsText() {
  wchar_t text[512] = {};
  if (destination && !destination->GetSettingsText(text, 512)) text[0] = L'\0';
  SetDlgItemTextW(window, IDC_SETTINGS_TEXT, text);
  Enable(IDC_CHANGE_SETTINGS, destination != nullptr);
}

void CMainDlg::UpdateTagOptions() {
  const bool available = HasQualityPresets();
  Enable(IDC_WRITE_TAG, available);
  ShowWindow(GetDlgItem(window, IDC_TAG_NOTE), available ? SW_HIDE : SW_SHOW);
  Enable(IDC_EDIT_TAG, available && IsDlgButtonChecked(window, IDC_WRITE_TAG) == BST_CHECKED);
}

void CMainDlg::OnChangeSettings() {
  if (recorder.IsRecording()) {
    Message(L"You cannot change settings while recording.", L"Note!", MB_OK | MB_ICONWARNING);
    return;
  }
  if (!destination) return;
  destination->ShowSettings(window, nullptr);
  RefreshSettingsText();
}

void CMainDlg::OnBrowse() {
  std::wstring folder;
  if (!pickFolder(window, L"Please select the destination folder for output files.", &folder)) return;
  SetDlgItemTextW(window, IDC_OUTPUT_FILE, ReplaceTemplateFolder(ItemText(IDC_OUTPUT_FILE), folder).c_str());
}

void CMainDlg::OnEditTags() {
  CMetadataDlg dialog(tags);
  if (dialog.Run(window) == IDOK) tags = dialog.Tags();
}

// ---------------------------------------------------------------------------------------------------------------
// Schedules

void CMainDlg::OnAutoBox(bool start) {
  const int box = start ? IDC_AUTO_START : IDC_AUTO_STOP;
  if (IsDlgButtonChecked(window, box) == BST_CHECKED) {
    OnAutoSetup(start, true);
  } else {
    ApplySchedule(start, Schedule());
  }
}

void CMainDlg::OnAutoSetup(bool start, bool arm) {
  CAutoDlg dialog(start ? CAutoDlg::Kind::kStart : CAutoDlg::Kind::kStop, start ? startSchedule : stopSchedule, clock,
                  arm);
  if (dialog.Run(window) == IDOK) ApplySchedule(start, dialog.Result());
  // The box shows whether a schedule is armed, also after Cancel.
  const Schedule& current = start ? startSchedule : stopSchedule;
  CheckDlgButton(window, start ? IDC_AUTO_START : IDC_AUTO_STOP,
                 current.mode != Schedule::kOff ? BST_CHECKED : BST_UNCHECKED);
}

void CMainDlg::ApplySchedule(bool start, const Schedule& schedule) {
  const bool armed = schedule.mode != Schedule::kOff;
  if (start) {
    startSchedule = schedule;
    if (armed) {
      startArmedTick = clock.TickCount();
      SetTimer(window, kStartTimer, 1000, nullptr);
    } else {
      KillTimer(window, kStartTimer);
    }
  } else {
    stopSchedule = schedule;
    // Counted from the recording's start, also when armed during the recording.
    if (armed && recorder.IsRecording())
      SetTimer(window, kStopTimer, 1000, nullptr);
    else if (!armed)
      KillTimer(window, kStopTimer);
  }
  CheckDlgButton(window, start ? IDC_AUTO_START : IDC_AUTO_STOP, armed ? BST_CHECKED : BST_UNCHECKED);
  RefreshStatus();
}

void CMainDlg::SetTolerance(int position) {
  SendDlgItemMessageW(window, IDC_TOLERANCE, TBM_SETPOS, TRUE, position);
  SetDlgItemTextW(window, IDC_TOLERANCE_PERCENT, Percent(position).c_str());
}

// ---------------------------------------------------------------------------------------------------------------
// Recording

bool CMainDlg::StartRecording() {
  if (recorder.IsRecording()) return false;
  if (!destination) {
    Message(L"Output format not supported", L"", MB_OK | MB_ICONERROR);
    return false;
  }
  const std::wstring pattern = ItemText(IDC_OUTPUT_FILE);
  WritePString(kSection, L"LastOutFile", pattern.c_str());
  WritePString(kSection, L"LastOutFmt", format.name);
  const int sequence = NextSequenceNumber();
  const std::wstring path =
      ExpandOutputTemplate(pattern + format.extensions, sequence, clock.LocalTime(), MusicFolder());

  const bool silence = IsDlgButtonChecked(window, IDC_SILENCE) == BST_CHECKED;
  const int tolerance = static_cast<int>(SendDlgItemMessageW(window, IDC_TOLERANCE, TBM_GETPOS, 0, 0));
  WritePInt(kSection, L"SilenceDetection", silence ? 1 : 0);
  WritePInt(kSection, L"SilencePercent", tolerance);

  if (!recorder.Start(Device(), path, destination, silence, tolerance + 1)) {
    recorder.StartMonitor(Device());
    RefreshStatus();
    return false;
  }
  lastOutputPath = path;
  recordingStartTick = clock.TickCount();
  SetTimer(window, kStatusTimer, 500, nullptr);
  if (stopSchedule.mode != Schedule::kOff) SetTimer(window, kStopTimer, 1000, nullptr);
  SetDlgItemTextW(window, IDC_PAUSE, L"&Pause");
  UpdateButtons();
  RefreshStatus();
  RefreshSize();
  return true;
}

void CMainDlg::ShowStopStatus(void* context, const wchar_t* text) {
  auto* self = static_cast<CMainDlg*>(context);
  SetDlgItemTextW(self->window, IDC_STATUS, text);
  // The window thread waits for the encoder meanwhile: paint now.
  UpdateWindow(GetDlgItem(self->window, IDC_STATUS));
}

void CMainDlg::StopRecording() {
  if (!recorder.IsRecording()) return;
  KillTimer(window, kStatusTimer);
  KillTimer(window, kStopTimer);
  recorder.Stop(&ShowStopStatus, this);
  if (IsWindowEnabled(GetDlgItem(window, IDC_WRITE_TAG)) && IsDlgButtonChecked(window, IDC_WRITE_TAG) == BST_CHECKED)
    WriteRecordingTags(destination, tags);
  SetDlgItemTextW(window, IDC_PAUSE, L"&Pause");
  UpdateButtons();
  RefreshSize();
  RefreshStatus();
  meter.Reset();
  InvalidateRect(GetDlgItem(window, IDC_METER), nullptr, FALSE);
  if (noticeWindow) recorder.StartMonitor(Device());
}

void CMainDlg::OnPause() {
  if (!recorder.IsRecording()) return;
  recorder.TogglePause();
  SetDlgItemTextW(window, IDC_PAUSE, recorder.IsPaused() ? L"Resu&me" : L"&Pause");
  RefreshStatus();
}

std::wstring CMainDlg::StatusText() {
  if (!recorder.IsRecording()) {
    if (startSchedule.mode == Schedule::kOff) return L"Ready";
    return L"Ready " + ScheduleNote(startSchedule, startArmedTick, clock, true);
  }
  if (recorder.IsPaused()) return L"Paused";
  if (recorder.IsSkippingSilence()) return L"Skipping silence";
  if (recorder.InSilence()) return L"Recording [Silence detected]";
  if (stopSchedule.mode != Schedule::kOff)
    return L"Recording " + ScheduleNote(stopSchedule, recordingStartTick, clock, false);
  return L"Recording";
}

void CMainDlg::RefreshStatus() {
  const std::wstring text = StatusText();
  if (ItemText(IDC_STATUS) != text) SetDlgItemTextW(window, IDC_STATUS, text.c_str());
}

void CMainDlg::RefreshSize() {
  const ULONGLONG total = recorder.TotalBytes();
  wchar_t text[64] = {};
  _snwprintf(text, 63, L"%llu KB", total / 1024);
  SetDlgItemTextW(window, IDC_RECORDED_SIZE, text);
  _snwprintf(text, 63, L"%d sec.", static_cast<int>(total / CRecorder::kBlockBytes));
  SetDlgItemTextW(window, IDC_SECONDS, text);
}

void CMainDlg::UpdateButtons() {
  const bool recording = recorder.IsRecording();
  Enable(IDC_RECORD, !recording);
  Enable(IDC_PAUSE, recording);
  Enable(IDC_STOP, recording);
  // The focus must not stay on a button that has just been disabled.
  HWND focus = GetFocus();
  if (focus && !IsWindowEnabled(focus) && IsChild(window, focus))
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, recording ? IDC_STOP : IDC_RECORD)),
                 TRUE);
}

void CMainDlg::OnMeterTimer() {
  BYTE frames[CLevelMeter::kBytes];
  if (!recorder.MeterFrames(frames)) return;
  if (meter.Update(frames)) InvalidateRect(GetDlgItem(window, IDC_METER), nullptr, FALSE);
}

// ---------------------------------------------------------------------------------------------------------------
// Boxes from other threads, and the recovery of an interrupted recording

void CMainDlg::LogStyled(const wchar_t* text, const wchar_t* style) {
  if (!style || !wcschr(style, L'e')) return;
  Post({WithoutTrailingNewlines(text), L"Error", MB_OK | MB_ICONERROR});
}

void CMainDlg::OnRecorderMessage(const std::wstring& text, const std::wstring& caption, UINT icon) {
  Post({text, caption, MB_OK | icon});
}

void CMainDlg::OnStopWanted() {
  if (HWND target = noticeWindow) PostMessageW(target, kStopWantedMessage, 0, 0);
}

void CMainDlg::Post(const Notice& notice) {
  {
    std::lock_guard<std::mutex> held(noticeLock);
    notices.push_back(notice);
  }
  if (HWND target = noticeWindow) PostMessageW(target, kNoticeMessage, 0, 0);
}

void CMainDlg::ShowNotices() {
  // A box's own message loop may deliver the next notice: the outer loop shows it, in order.
  if (showingNotices) return;
  showingNotices = true;
  for (;;) {
    Notice notice;
    {
      std::lock_guard<std::mutex> held(noticeLock);
      if (notices.empty()) break;
      notice = notices.front();
      notices.pop_front();
    }
    Message(notice.text.c_str(), notice.caption.c_str(), notice.type);
  }
  showingNotices = false;
}

void CMainDlg::OfferRecovery() {
  const std::wstring interrupted = FindInterruptedRecording();
  if (interrupted.empty()) return;
  const std::wstring question = L"A recording was interrupted before it was finished:\n\n" + interrupted +
                                L"\n\nDo you want to recover what was recorded? If you answer No, the unfinished "
                                L"recording is deleted.";
  if (ShowMessage(window, question.c_str(), L"Voxcap", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    DiscardInterruptedRecording(interrupted);
    return;
  }
  std::wstring error;
  const std::wstring recovered = RecoverInterruptedRecording(interrupted, &error);
  if (recovered.empty()) {
    const std::wstring text = L"The recording could not be recovered: " + error;
    Message(text.c_str(), L"Voxcap", MB_OK | MB_ICONERROR);
  } else {
    const std::wstring text = L"The recording was recovered into:\n\n" + recovered;
    Message(text.c_str(), L"Voxcap", MB_OK | MB_ICONINFORMATION);
  }
}

void CMainDlg::Message(const wchar_t* text, const wchar_t* caption, UINT type) {
  ShowMessage(window, text, caption, type);
}
