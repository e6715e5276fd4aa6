// The "Voxcap" window driven as a user drives it: formats and quality, refusals while recording, output names,
// scheduled start and stop on a clock the test moves, tags of the finished file, the mixer line and volume, the
// recovery of an interrupted recording. Recordings use Wine's real wave input, fed by the tests' home.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "MainDlg.h"
#include "ModalDriver.h"
#include "SpoolRecord.h"
#include "SpoolRecovery.h"
#include "TagText.h"
#include "TestSupport.h"
#include "UserMessage.h"
#include "UserScript.h"
#include "resource.h"

namespace {
struct ShownBox {
  std::wstring text, caption;
  UINT type;
};

// Records the boxes while it lives; questions get `answer`.
struct BoxDouble {
  BoxDouble() { Active() = this, voxcapMessageBox = &Show; }
  ~BoxDouble() { Active() = nullptr, voxcapMessageBox = &MessageBoxW; }
  static BoxDouble*& Active() {
    static BoxDouble* active = nullptr;
    return active;
  }
  static int WINAPI Show(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
    Active()->shown.push_back({text, caption, type});
    return (type & MB_TYPEMASK) == MB_YESNO ? Active()->answer : IDOK;
  }
  std::vector<ShownBox> shown;
  int answer = IDNO;
};

class FakeClock final : public IClock {
 public:
  ULONGLONG TickCount() override { return tick; }
  SYSTEMTIME LocalTime() override { return now; }
  void Advance(int seconds) {
    tick += static_cast<ULONGLONG>(seconds) * 1000;
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER value = {{file.dwLowDateTime, file.dwHighDateTime}};
    value.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000;
    file = {value.LowPart, value.HighPart};
    FileTimeToSystemTime(&file, &now);
  }
  ULONGLONG tick = 50000000;
  SYSTEMTIME now = {2024, 3, 2, 5, 8, 0, 0, 0};
};

// Dispatches this thread's messages until `done` (false after the safety limit).
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 60000) {
  const ULONGLONG end = GetTickCount64() + limitMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
  return true;
}
void PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

std::wstring TextOf(HWND window, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(window, id, text, 512);
  return text;
}

std::vector<std::wstring> ComboItems(HWND window, int id) {
  std::vector<std::wstring> items;
  for (int item = 0; item < SendDlgItemMessageW(window, id, CB_GETCOUNT, 0, 0); ++item) {
    wchar_t text[256] = {};
    SendDlgItemMessageW(window, id, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

int ReadSetting(const wchar_t* name) {
  int value = -1;
  ReadPInt(L"Settings", name, &value);
  return value;
}

class VoxcapWindow : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"Settings", L"InterruptedRecording", nullptr);
    WritePString(L"Settings", L"LastOutFile", (folder / L"take %S").c_str());
    WritePInt(L"Settings", L"SequenzeNumber", 0);
    WritePInt(L"Settings", L"SilenceDetection", 0);
    WritePInt(L"Settings", L"SilencePercent", 0);
  }
  void TearDown() override {
    dialog.reset();
    PumpPending();
  }

  void Open(const wchar_t* format) {
    WritePString(L"Settings", L"LastOutFmt", format);
    dialog = std::make_unique<CMainDlg>(clock);
    window = dialog->Create();
    ASSERT_TRUE(window);
    PumpPending();
  }
  // Starts a recording with the Record button and waits until a second of audio has been taken.
  void Record() {
    Click(window, IDC_RECORD);
    ASSERT_TRUE(dialog->IsRecording());
    ASSERT_TRUE(PumpUntil([&] { return TextOf(window, IDC_SECONDS) != L"0 sec."; }));
  }
  void Stop() {
    Click(window, IDC_STOP);
    ASSERT_FALSE(dialog->IsRecording());
  }
  void Tick(UINT_PTR timer) { SendMessageW(window, WM_TIMER, timer, 0); }

  TempFolder folder;
  FakeClock clock;
  BoxDouble boxes;
  std::unique_ptr<CMainDlg> dialog;
  HWND window = nullptr;
};

TEST_F(VoxcapWindow, FormatsQualityAndTagOptions) {
  Open(L"wave");  // the saved name is found regardless of case
  std::vector<std::wstring> expected;
  for (UINT32 row = 0; row < ConvGetFormatCount(); ++row) {
    CONVFORMAT format = {};
    ConvGetFormatAt(&format, row);
    if (format.destinationClass) expected.push_back(format.name);
  }
  EXPECT_EQ(ComboItems(window, IDC_FORMAT), expected);
  EXPECT_EQ(TextOf(window, IDC_FORMAT), L"Wave");
  EXPECT_EQ(ComboItems(window, IDC_QUALITY), std::vector<std::wstring>{L"(not applicable)"});
  EXPECT_FALSE(IsEnabled(window, IDC_QUALITY));
  EXPECT_FALSE(IsEnabled(window, IDC_WRITE_TAG));
  EXPECT_FALSE(IsEnabled(window, IDC_EDIT_TAG));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_TAG_NOTE)));
  EXPECT_EQ(TextOf(window, IDC_TAG_NOTE), L"[Not support by file format]");

  // Every MP3 preset reaches the destination; the first one is applied with the format.
  SelectComboItem(window, IDC_FORMAT, FindComboItem(window, IDC_FORMAT, L"MP3"));
  EXPECT_EQ(ComboItems(window, IDC_QUALITY),
            (std::vector<std::wstring>{L"Best quality", L"High", L"Medium", L"Smallest size"}));
  EXPECT_TRUE(IsEnabled(window, IDC_QUALITY));
  EXPECT_NE(TextOf(window, IDC_SETTINGS_TEXT).find(L"192 kbps"), std::wstring::npos)
      << TextOf(window, IDC_SETTINGS_TEXT);
  const wchar_t* rates[] = {L"192 kbps", L"128 kbps", L"96 kbps", L"64 kbps"};
  for (int preset : {3, 1, 2, 0}) {
    SelectComboItem(window, IDC_QUALITY, preset);
    EXPECT_NE(TextOf(window, IDC_SETTINGS_TEXT).find(rates[preset]), std::wstring::npos)
        << preset << ": " << TextOf(window, IDC_SETTINGS_TEXT);
  }
  EXPECT_TRUE(IsEnabled(window, IDC_WRITE_TAG));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_TAG_NOTE)));
  EXPECT_FALSE(IsEnabled(window, IDC_EDIT_TAG)) << "only with the box checked";
  Click(window, IDC_WRITE_TAG);
  EXPECT_TRUE(IsEnabled(window, IDC_EDIT_TAG));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(VoxcapWindow, KeyboardAccessOfEveryDialog) {
  Open(L"MP3");
  EXPECT_EQ(AccessKeyProblems(window), L"");
  // Tab walks the window in reading order (disabled controls are passed over).
  Click(window, IDC_WRITE_TAG);
  Focus(window, IDC_DEVICE);
  std::vector<int> order;
  for (int step = 0; step < 16; ++step) {
    PressKey(window, VK_TAB);
    order.push_back(FocusedId());
  }
  const std::vector<int> expected = {IDC_FORMAT,     IDC_QUALITY,          IDC_CHANGE_SETTINGS, IDC_OUTPUT_FILE,
                                     IDC_HELP_LINK,  IDC_BROWSE,           IDC_WRITE_TAG,       IDC_EDIT_TAG,
                                     IDC_AUTO_START, IDC_AUTO_START_SETUP, IDC_AUTO_STOP,       IDC_AUTO_STOP_SETUP,
                                     IDC_SILENCE,    IDC_TOLERANCE,        IDC_RECORD,          IDCANCEL};
  EXPECT_EQ(order, expected);

  std::vector<std::wstring> problems;
  UserScript user;
  for (const wchar_t* title : {L"Auto Start", L"Auto Stop", L"Edit ID3"})
    user.InDialog(title, [&](HWND dialogWindow) {
      problems.push_back(AccessKeyProblems(dialogWindow));
      PauseForALook();
      Click(dialogWindow, IDCANCEL);
    });
  Click(window, IDC_AUTO_START_SETUP);
  Click(window, IDC_AUTO_STOP_SETUP);
  Click(window, IDC_EDIT_TAG);
  EXPECT_TRUE(user.Done());
  EXPECT_EQ(problems, std::vector<std::wstring>(3));
}

TEST_F(VoxcapWindow, ChangesAndClosingAreRefusedWhileRecording) {
  Open(L"MP3");
  Record();
  PauseForALook();
  EXPECT_FALSE(IsEnabled(window, IDC_RECORD));
  EXPECT_TRUE(IsEnabled(window, IDC_PAUSE));
  EXPECT_TRUE(IsEnabled(window, IDC_STOP));

  const int mp3 = FindComboItem(window, IDC_FORMAT, L"MP3");
  SelectComboItem(window, IDC_FORMAT, FindComboItem(window, IDC_FORMAT, L"Wave"));
  SelectComboItem(window, IDC_QUALITY, 3);
  Click(window, IDC_CHANGE_SETTINGS);
  SendMessageW(window, WM_CLOSE, 0, 0);
  Click(window, IDCANCEL);
  const std::vector<std::pair<std::wstring, UINT>> expected = {
      {L"You cannot change the output format while recording.", MB_ICONWARNING},
      {L"You cannot change quality while recording.", MB_ICONWARNING},
      {L"You cannot change settings while recording.", MB_ICONWARNING},
      {L"Please stop recording before closing the program.", MB_ICONINFORMATION},
      {L"Please stop recording before closing the program.", MB_ICONINFORMATION}};
  ASSERT_EQ(boxes.shown.size(), expected.size());
  for (size_t index = 0; index < expected.size(); ++index) {
    EXPECT_EQ(boxes.shown[index].text, expected[index].first);
    EXPECT_EQ(boxes.shown[index].caption, L"Note!");
    EXPECT_EQ(boxes.shown[index].type & MB_ICONMASK, expected[index].second);
  }
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_FORMAT, CB_GETCURSEL, 0, 0), mp3);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_QUALITY, CB_GETCURSEL, 0, 0), 0);
  EXPECT_NE(TextOf(window, IDC_SETTINGS_TEXT).find(L"192 kbps"), std::wstring::npos);
  EXPECT_TRUE(IsWindow(window));

  Click(window, IDC_PAUSE);
  EXPECT_EQ(TextOf(window, IDC_PAUSE), L"Resu&me");
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Paused");
  Click(window, IDC_PAUSE);
  EXPECT_EQ(TextOf(window, IDC_PAUSE), L"&Pause");
  Stop();
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready");
  EXPECT_TRUE(IsEnabled(window, IDC_RECORD));
  EXPECT_FALSE(IsEnabled(window, IDC_STOP));
  Click(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(VoxcapWindow, RecordingStartStoresTheSettingsAndNamesTheFile) {
  WritePInt(L"Settings", L"SequenzeNumber", 6);
  WritePInt(L"Settings", L"SilencePercent", 4);
  Open(L"Wave");
  EXPECT_EQ(TextOf(window, IDC_OUTPUT_FILE), folder / L"take %S");
  EXPECT_EQ(TextOf(window, IDC_TOLERANCE_PERCENT), L"4%");
  SendDlgItemMessageW(window, IDC_TOLERANCE, TBM_SETPOS, TRUE, 9);
  SendMessageW(window, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_TOLERANCE)));
  EXPECT_EQ(TextOf(window, IDC_TOLERANCE_PERCENT), L"9%");
  SetDlgItemTextW(window, IDC_OUTPUT_FILE, (folder / L"%D %Q %S").c_str());
  Record();
  Stop();
  EXPECT_EQ(dialog->LastOutputPath(), folder / L"2024-03-05 XQ 007.wav");
  EXPECT_GT(ReadFileBytes(dialog->LastOutputPath()).size(), 44u + 176400u);
  EXPECT_EQ(ReadSetting(L"SequenzeNumber"), 7);
  EXPECT_EQ(ReadSetting(L"SilencePercent"), 9);
  EXPECT_EQ(ReadSetting(L"SilenceDetection"), 0);
  wchar_t text[512] = {};
  ReadPString(L"Settings", L"LastOutFile", text);
  EXPECT_EQ(std::wstring(text), folder / L"%D %Q %S");
  ReadPString(L"Settings", L"LastOutFmt", text);
  EXPECT_EQ(std::wstring(text), L"Wave");
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
}

// "Start in:" counts down on the status line, then starts the recording and clears the box; "Start at" waits for
// the local time.
TEST_F(VoxcapWindow, AutoStartCountsDownAndStarts) {
  Open(L"Wave");
  UserScript user;
  user.InDialog(L"Auto Start", [](HWND autoDialog) {
    EXPECT_TRUE(IsChecked(autoDialog, IDC_AUTO_ENABLE)) << "checking the box asks to arm";
    Click(autoDialog, IDC_AUTO_AFTER);
    EXPECT_FALSE(IsEnabled(autoDialog, IDC_AUTO_DATE));
    SetDlgItemTextW(autoDialog, IDC_AUTO_MINUTES, L"1");
    SetDlgItemTextW(autoDialog, IDC_AUTO_SECONDS, L"30");
    Click(autoDialog, IDOK);
  });
  Click(window, IDC_AUTO_START);
  ASSERT_TRUE(user.Done());
  EXPECT_TRUE(IsChecked(window, IDC_AUTO_START));
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready [Starting in 90 seconds]");
  clock.Advance(89);
  Tick(CMainDlg::kStartTimer);
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready [Starting in 1 seconds]");
  EXPECT_FALSE(dialog->IsRecording());
  clock.Advance(1);
  Tick(CMainDlg::kStartTimer);
  EXPECT_TRUE(dialog->IsRecording());
  EXPECT_FALSE(IsChecked(window, IDC_AUTO_START));
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Recording");
  Stop();

  // The dialog opens with the schedule; "Start at" a time two minutes ahead.
  UserScript at;
  at.InDialog(L"Auto Start", [](HWND autoDialog) {
    EXPECT_FALSE(IsChecked(autoDialog, IDC_AUTO_ENABLE));
    Click(autoDialog, IDC_AUTO_ENABLE);
    Click(autoDialog, IDC_AUTO_AT);
    SYSTEMTIME when = {2024, 3, 2, 5, 8, 3, 30, 0};
    SendDlgItemMessageW(autoDialog, IDC_AUTO_DATE, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&when));
    SendDlgItemMessageW(autoDialog, IDC_AUTO_TIME, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&when));
    Click(autoDialog, IDOK);
  });
  Click(window, IDC_AUTO_START_SETUP);
  ASSERT_TRUE(at.Done());
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready [Starting at 8:03:30 2024/03/05]");
  clock.now = {2024, 3, 2, 5, 8, 3, 29, 0};
  Tick(CMainDlg::kStartTimer);
  EXPECT_FALSE(dialog->IsRecording());
  clock.now.wSecond = 30;
  Tick(CMainDlg::kStartTimer);
  EXPECT_TRUE(dialog->IsRecording());
  Stop();

  // Unchecking the box disarms.
  UserScript again;
  again.InDialog(L"Auto Start", [](HWND autoDialog) { Click(autoDialog, IDOK); });
  Click(window, IDC_AUTO_START);
  Click(window, IDC_AUTO_START);
  EXPECT_FALSE(IsChecked(window, IDC_AUTO_START));
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready");
}

TEST_F(VoxcapWindow, AutoStopArmedDuringTheRecordingCountsFromItsStart) {
  Open(L"Wave");
  Record();
  clock.Advance(4);
  UserScript user;
  user.InDialog(L"Auto Stop", [](HWND autoDialog) {
    Click(autoDialog, IDC_AUTO_AFTER);
    SetDlgItemTextW(autoDialog, IDC_AUTO_MINUTES, L"0");
    SetDlgItemTextW(autoDialog, IDC_AUTO_SECONDS, L"10");
    Click(autoDialog, IDOK);
  });
  Click(window, IDC_AUTO_STOP);
  ASSERT_TRUE(user.Done());
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Recording [Stopping in 6 seconds]");
  clock.Advance(5);
  Tick(CMainDlg::kStopTimer);
  EXPECT_TRUE(dialog->IsRecording());
  clock.Advance(1);
  Tick(CMainDlg::kStopTimer);
  EXPECT_FALSE(dialog->IsRecording());
  EXPECT_FALSE(IsChecked(window, IDC_AUTO_STOP));
  EXPECT_EQ(TextOf(window, IDC_STATUS), L"Ready");
}

TEST_F(VoxcapWindow, TagsAreWrittenIntoTheFinishedFile) {
  Open(L"MP3");
  Click(window, IDC_WRITE_TAG);
  struct Case {
    const wchar_t* genre;  // the list entry chosen
    const wchar_t* tcon;
  } cases[] = {{L"Rock", L"(17)"}, {L"", L"<none>"}};
  for (const Case& test : cases) {
    UserScript user;
    user.InDialog(L"Edit ID3", [&](HWND tagDialog) {
      SetDlgItemTextW(tagDialog, IDC_TAG_TITLE, L"Take One");
      SetDlgItemTextW(tagDialog, IDC_TAG_YEAR, L"2024");
      SetDlgItemTextW(tagDialog, IDC_TAG_TRACK, L"3");
      SetDlgItemTextW(tagDialog, IDC_TAG_COMMENT, L"live");
      const int entry = test.genre[0] ? FindComboItem(tagDialog, IDC_TAG_GENRE, test.genre) : 0;
      EXPECT_EQ(entry, test.genre[0] ? 18 : 0);
      SelectComboItem(tagDialog, IDC_TAG_GENRE, entry);
      Click(tagDialog, IDOK);
    });
    Click(window, IDC_EDIT_TAG);
    ASSERT_TRUE(user.Done());
    Record();
    Stop();
    const std::wstring path = dialog->LastOutputPath();
    EXPECT_EQ(FrameTextOf(path, kFrameGenre), test.tcon);
    EXPECT_EQ(FrameTextOf(path, kFrameTitle), L"Take One");
    EXPECT_EQ(FrameTextOf(path, kFrameYear), L"2024");
    EXPECT_EQ(FrameTextOf(path, kFrameTrackNumber), L"3");
    EXPECT_EQ(FrameTextOf(path, kFrameAlbum), L"<none>") << "empty fields write no frame";
    EXPECT_EQ(CommentOf(path), L"live");
  }
  // Without the box nothing is written.
  Click(window, IDC_WRITE_TAG);
  Record();
  Stop();
  EXPECT_EQ(FrameTextOf(dialog->LastOutputPath(), kFrameTitle), L"<none>");
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
}

TEST_F(VoxcapWindow, TagDialogResetAsksAndCancelDiscards) {
  Open(L"MP3");
  Click(window, IDC_WRITE_TAG);
  for (int answer : {IDNO, IDYES}) {
    boxes.answer = answer;
    std::wstring titleAfterReset;
    UserScript user;
    user.InDialog(L"Edit ID3", [&](HWND tagDialog) {
      SetDlgItemTextW(tagDialog, IDC_TAG_TITLE, L"Kept?");
      SelectComboItem(tagDialog, IDC_TAG_GENRE, 5);
      Click(tagDialog, IDC_TAG_RESET);
      titleAfterReset = TextOf(tagDialog, IDC_TAG_TITLE);
      Click(tagDialog, IDOK);
    });
    Click(window, IDC_EDIT_TAG);
    ASSERT_TRUE(user.Done());
    EXPECT_EQ(titleAfterReset, answer == IDYES ? L"" : L"Kept?");
    EXPECT_EQ(dialog->Tags().genre, answer == IDYES ? -1 : 4);
  }
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, L"Do you want to reset all fields?");
  EXPECT_EQ(boxes.shown[0].caption, L"Question");
  EXPECT_EQ(boxes.shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));

  UserScript cancel;
  cancel.InDialog(L"Edit ID3", [](HWND tagDialog) {
    SetDlgItemTextW(tagDialog, IDC_TAG_ALBUM, L"Gone");
    Click(tagDialog, IDCANCEL);
  });
  Click(window, IDC_EDIT_TAG);
  EXPECT_EQ(dialog->Tags().album, L"");
}

// Reports of the engine's threads appear on the window's thread: destination errors as "Error" boxes without the
// log's line end, other styles not at all, the recorder's own messages with their caption.
TEST_F(VoxcapWindow, ReportsFromOtherThreadsBecomeBoxes) {
  Open(L"Wave");
  std::thread worker([&] {
    IConvertCallback& callback = *dialog;
    callback.LogStyled(L"Cannot write the output file\n", L"e");
    callback.LogStyled(L"Just so you know\n", L"i");
    callback.Log(L"plain\n");
    EXPECT_TRUE(callback.ConfirmOverwrite(L"C:\\x.wav"));
    dialog->OnRecorderMessage(L"Buffer overflow", L"RecError", MB_ICONERROR);
  });
  worker.join();
  EXPECT_TRUE(boxes.shown.empty()) << "not on the engine's thread";
  ASSERT_TRUE(PumpUntil([&] { return boxes.shown.size() >= 2; }));
  PumpPending();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, L"Cannot write the output file");
  EXPECT_EQ(boxes.shown[0].caption, L"Error");
  EXPECT_EQ(boxes.shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(boxes.shown[1].text, L"Buffer overflow");
  EXPECT_EQ(boxes.shown[1].caption, L"RecError");
}

// A sound card's mixer: a multiplexer on the recording line choosing one of three sources, two of them with a
// volume control. It keeps what the window sets, as the platform does.
namespace fakemixer {
constexpr DWORD kDestination = 0xFFFF0000, kMux = 1;
struct Line {
  const wchar_t* name;
  DWORD id, volumeControl, volume;
};
Line lines[3];
bool selected[3];
int opened = 0;
const HMIXER kHandle = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(0x4D58));

void Reset() {
  lines[0] = {L"Microphone", 0x1000, 10, 65535};
  lines[1] = {L"Line In", 0x1001, 11, 32768};
  lines[2] = {L"CD Player", 0x1002, 0, 0};
  selected[0] = false, selected[1] = true, selected[2] = false;
  opened = 0;
}

MMRESULT WINAPI Open(LPHMIXER mixer, UINT, DWORD_PTR, DWORD_PTR, DWORD flags) {
  if ((flags & 0xF0000000) != MIXER_OBJECTF_WAVEIN) return MMSYSERR_INVALFLAG;
  ++opened;
  *mixer = kHandle;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI Close(HMIXER mixer) {
  if (mixer != kHandle) return MMSYSERR_INVALHANDLE;
  --opened;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI GetLineInfo(HMIXEROBJ, LPMIXERLINEW line, DWORD flags) {
  if ((flags & MIXER_GETLINEINFOF_QUERYMASK) != MIXER_GETLINEINFOF_COMPONENTTYPE ||
      line->cbStruct != sizeof(MIXERLINEW) || line->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_WAVEIN)
    return MIXERR_INVALLINE;
  line->dwLineID = kDestination;
  wcscpy(line->szName, L"Recording");
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI GetLineControls(HMIXEROBJ, LPMIXERLINECONTROLSW controls, DWORD flags) {
  if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE || controls->cControls != 1 ||
      controls->cbmxctrl != sizeof(MIXERCONTROLW))
    return MMSYSERR_INVALPARAM;
  MIXERCONTROLW& control = *controls->pamxctrl;
  if (controls->dwLineID == kDestination && controls->dwControlType == MIXERCONTROL_CONTROLTYPE_MUX) {
    control.dwControlID = kMux;
    control.cMultipleItems = 3;
    return MMSYSERR_NOERROR;
  }
  for (const Line& line : lines)
    if (line.id == controls->dwLineID && line.volumeControl &&
        controls->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) {
      control.dwControlID = line.volumeControl;
      return MMSYSERR_NOERROR;
    }
  return MIXERR_INVALCONTROL;
}
Line* VolumeLine(DWORD control) {
  for (Line& line : lines)
    if (line.volumeControl && line.volumeControl == control) return &line;
  return nullptr;
}
MMRESULT WINAPI GetDetails(HMIXEROBJ, LPMIXERCONTROLDETAILS details, DWORD flags) {
  if (details->cChannels != 1) return MMSYSERR_INVALPARAM;
  const DWORD query = flags & MIXER_GETCONTROLDETAILSF_QUERYMASK;
  if (details->dwControlID == kMux) {
    if (details->cMultipleItems != 3) return MMSYSERR_INVALPARAM;
    for (int item = 0; item < 3; ++item) {
      if (query == MIXER_GETCONTROLDETAILSF_LISTTEXT) {
        auto* texts = static_cast<MIXERCONTROLDETAILS_LISTTEXTW*>(details->paDetails);
        texts[item].dwParam1 = lines[item].id;
        wcscpy(texts[item].szName, lines[item].name);
      } else {
        static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)[item].fValue = selected[item];
      }
    }
    return MMSYSERR_NOERROR;
  }
  Line* line = VolumeLine(details->dwControlID);
  if (!line || query != MIXER_GETCONTROLDETAILSF_VALUE) return MIXERR_INVALCONTROL;
  static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = line->volume;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI SetDetails(HMIXEROBJ, LPMIXERCONTROLDETAILS details, DWORD) {
  if (details->cChannels != 1) return MMSYSERR_INVALPARAM;
  if (details->dwControlID == kMux) {
    if (details->cMultipleItems != 3) return MMSYSERR_INVALPARAM;
    for (int item = 0; item < 3; ++item)
      selected[item] = static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)[item].fValue != 0;
    return MMSYSERR_NOERROR;
  }
  Line* line = VolumeLine(details->dwControlID);
  if (!line) return MIXERR_INVALCONTROL;
  line->volume = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
  return MMSYSERR_NOERROR;
}
}  // namespace fakemixer

TEST_F(VoxcapWindow, AudioLineAndVolumeGoToTheMixer) {
  {
    // Wine's own mixer has no selector on the recording line.
    Open(L"Wave");
    EXPECT_EQ(ComboItems(window, IDC_LINE), std::vector<std::wstring>{L"<not available>"});
    EXPECT_FALSE(IsEnabled(window, IDC_LINE));
    EXPECT_FALSE(IsEnabled(window, IDC_VOLUME));
    dialog.reset();
  }
  fakemixer::Reset();
  const MixerFunctions platform = mixerFunctions;
  mixerFunctions = {&fakemixer::Open,       &fakemixer::Close,     &fakemixer::GetLineInfo, &fakemixer::GetLineControls,
                    &fakemixer::GetDetails, &fakemixer::SetDetails};
  Open(L"Wave");
  EXPECT_EQ(ComboItems(window, IDC_LINE),
            (std::vector<std::wstring>{L"Recording : Microphone", L"Recording : Line In", L"Recording : CD Player"}));
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_LINE, CB_GETCURSEL, 0, 0), 1) << "the active source";
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_VOLUME, TBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(TextOf(window, IDC_VOLUME_PERCENT), L"50%");
  PauseForALook();

  SelectComboItem(window, IDC_LINE, 0);
  EXPECT_TRUE(fakemixer::selected[0] && !fakemixer::selected[1] && !fakemixer::selected[2]);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_VOLUME, TBM_GETPOS, 0, 0), 0) << "top is 100 %";
  SendDlgItemMessageW(window, IDC_VOLUME, TBM_SETPOS, TRUE, 25);
  SendMessageW(window, WM_VSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_VOLUME)));
  EXPECT_EQ(fakemixer::lines[0].volume, 75u * 65535 / 100);
  EXPECT_EQ(TextOf(window, IDC_VOLUME_PERCENT), L"75%");
  EXPECT_EQ(fakemixer::lines[1].volume, 32768u);

  SelectComboItem(window, IDC_LINE, 2);
  EXPECT_TRUE(fakemixer::selected[2] && !fakemixer::selected[0]);
  EXPECT_FALSE(IsEnabled(window, IDC_VOLUME)) << "a source without a volume control";
  dialog.reset();
  EXPECT_EQ(fakemixer::opened, 0);
  mixerFunctions = platform;
}

// A recording cut short by a crash left its spool: the next start asks, and recovers or discards it.
TEST_F(VoxcapWindow, InterruptedRecordingIsOfferedAtStart) {
  for (int answer : {IDYES, IDNO}) {
    const std::wstring output = folder / (answer == IDYES ? L"cut.wav" : L"dropped.wav");
    std::string spool(sizeof(SpoolHeader) + 176400, '\0');
    const SpoolHeader header = {kSpoolMagic, 1, 176400, 176400, kSpoolAudio, 0};
    memcpy(spool.data(), &header, sizeof(header));
    for (size_t at = sizeof(header); at < spool.size(); ++at) spool[at] = static_cast<char>(at * 7);
    ASSERT_TRUE(WriteFileBytes(SpoolFileName(output, 0), spool));
    NoteInterruptibleRecording(output);

    boxes.shown.clear();
    boxes.answer = answer;
    Open(L"Wave");
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown[0].caption, L"Voxcap");
    EXPECT_EQ(boxes.shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_NE(boxes.shown[0].text.find(output), std::wstring::npos);
    EXPECT_FALSE(FileExists(SpoolFileName(output, 0)));
    EXPECT_EQ(FindInterruptedRecording(), L"");
    const std::wstring recovered = folder / L"cut (recovered).wav";
    if (answer == IDYES) {
      ASSERT_EQ(boxes.shown.size(), 2u);
      EXPECT_NE(boxes.shown[1].text.find(recovered), std::wstring::npos) << boxes.shown[1].text;
      EXPECT_GE(ReadFileBytes(recovered).size(), 176400u);
    } else {
      EXPECT_EQ(boxes.shown.size(), 1u);
      EXPECT_FALSE(FileExists(folder / L"dropped (recovered).wav"));
    }
    dialog.reset();
  }
}
}  // namespace
