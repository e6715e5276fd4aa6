// The burn progress window as the user sees it while the job (on a worker thread) and the disc master report.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <atomic>
#include <string>
#include <thread>

#include "BurnProgress.h"
#include "BurnProgressResource.h"
#include "ModalDriver.h"
#include "UserScript.h"

namespace {

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(dialog, id, text, 1024);
  return text;
}

int BarPosition(HWND dialog) { return static_cast<int>(SendDlgItemMessageW(dialog, IDC_BURN_BAR, PBM_GETPOS, 0, 0)); }
int BarRange(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, IDC_BURN_BAR, PBM_GETRANGE, FALSE, 0));
}

// The look of the log's text where `text` starts; false when the log does not hold it.
bool LookOf(HWND dialog, const wchar_t* text, CHARFORMAT2W* format) {
  HWND log = GetDlgItem(dialog, IDC_BURN_LOG);
  FINDTEXTEXW find = {{0, -1}, text, {}};
  if (SendMessageW(log, EM_FINDTEXTEXW, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&find)) < 0) return false;
  SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&find.chrgText));
  *format = {};
  format->cbSize = sizeof(*format);
  SendMessageW(log, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(format));
  return true;
}

int WindowHeight(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

// The burner window the progress window belongs to, and the "ProgressDetails" choice the test starts from
// (put back afterwards).
class BurnProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    hadDetails = ReadPInt(L"Settings", L"ProgressDetails", &oldDetails) != FALSE;
    owner = CreateWindowExW(0, L"STATIC", L"Burner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 300, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
  }
  void TearDown() override {
    if (progress) progress->Release();
    DestroyWindow(owner);
    if (hadDetails)
      WritePInt(L"Settings", L"ProgressDetails", oldDetails);
    else
      WritePString(L"Settings", L"ProgressDetails", nullptr);
  }

  HWND Open(int details) {
    WritePInt(L"Settings", L"ProgressDetails", details);
    progress = new CBurnCDProgress;
    EXPECT_TRUE(progress->Create(owner));
    return progress->Window();
  }

  HWND owner = nullptr;
  CBurnCDProgress* progress = nullptr;
  bool hadDetails = false;
  int oldDetails = 0;
};

TEST_F(BurnProgressTest, ReportsFromTheWorkerThreadReachTheControlsAndTheLog) {
  HWND dialog = Open(1);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(owner));

  std::atomic<bool> done{false};
  IConvertCallback* callback = progress;
  std::thread worker([&] {
    callback->SetStatusText(L"Converting:");
    callback->SetCurrentFile(L"Z:\\music\\a rather long folder name\\and another one\\track.wav", TRUE);
    callback->SetProgressRange(200);
    callback->SetProgressPos(40);
    callback->StepProgress(30);
    callback->Log(L"Converting audio files to Red-book format...\n");
    callback->Log(L"track.wav");  // no line break: still a line of its own
    callback->LogStyled(L"Audio track creation failed (hr=80040215)\n", L"e");
    callback->LogStyled(L"This error usually occurs if the disc is not writeable.\n", L"ib");
    callback->Log(L"Recording disc...\n");
    done = true;
  });
  while (!done) {
    progress->PumpMessages();
    Sleep(1);
  }
  worker.join();

  EXPECT_EQ(ControlText(dialog, IDC_BURN_STATUS), L"Converting:");
  EXPECT_EQ(ControlText(dialog, IDC_BURN_CURRENT), L"Z:\\music\\a rather long folder name\\and another one\\track.wav");
  EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(dialog, IDC_BURN_CURRENT), GWL_STYLE) & SS_PATHELLIPSIS);
  EXPECT_EQ(BarRange(dialog), 200);
  EXPECT_EQ(BarPosition(dialog), 70);

  const std::wstring log = ControlText(dialog, IDC_BURN_LOG);
  EXPECT_NE(log.find(L"Red-book format...\r\ntrack.wav\r\nAudio track creation failed (hr=80040215)\r\n"
                     L"This error usually occurs if the disc is not writeable.\r\nRecording disc...\r\n"),
            std::wstring::npos)
      << std::string(log.begin(), log.end());

  CHARFORMAT2W normal, error, information;
  ASSERT_TRUE(LookOf(dialog, L"track.wav", &normal));
  ASSERT_TRUE(LookOf(dialog, L"Audio track creation failed", &error));
  ASSERT_TRUE(LookOf(dialog, L"This error usually", &information));
  EXPECT_EQ(error.crTextColor, RGB(200, 0, 0));
  EXPECT_NE(information.crTextColor, error.crTextColor);
  EXPECT_TRUE(information.dwEffects & CFE_BOLD);
  EXPECT_TRUE(normal.dwEffects & CFE_AUTOCOLOR);
  EXPECT_FALSE(normal.dwEffects & CFE_BOLD);
  PauseForALook();
}

// The user's buttons: "&Cancel" stops the job, only the ended job's window closes, and "Details" is kept.
TEST_F(BurnProgressTest, CancelStopsTheJobCloseEndsTheWindowAndKeepsTheDetailsChoice) {
  HWND dialog = Open(0);
  ASSERT_NE(dialog, nullptr);
  const int compact = WindowHeight(dialog);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_BURN_LOG)));
  EXPECT_EQ(ControlText(dialog, IDC_BURN_DETAILS), L"Details >>");
  PauseForALook();
  Click(dialog, IDC_BURN_DETAILS);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_BURN_LOG)));
  EXPECT_EQ(ControlText(dialog, IDC_BURN_DETAILS), L"<< Details");
  EXPECT_GT(WindowHeight(dialog), compact);

  // Neither the disabled "Close" nor Esc ends a running job's window; the close box asks the job to stop.
  Click(dialog, IDC_BURN_CLOSE);
  PressKey(dialog, VK_ESCAPE);
  EXPECT_FALSE(progress->IsCancelled());
  SendMessageW(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_TRUE(progress->IsCancelled());
  EXPECT_FALSE(IsEnabled(dialog, IDC_BURN_CANCEL));

  progress->Finish();
  EXPECT_TRUE(IsEnabled(dialog, IDC_BURN_CLOSE));
  EXPECT_FALSE(IsWindowEnabled(owner));
  PressKey(dialog, VK_RETURN);  // "Close" is the default button now
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(IsWindowEnabled(owner));
  int details = 0;
  EXPECT_TRUE(ReadPInt(L"Settings", L"ProgressDetails", &details));
  EXPECT_EQ(details, 1);
  // Reports after the window is gone go nowhere.
  progress->Log(L"late\n");
  progress->SetProgressPos(3);
}

TEST_F(BurnProgressTest, TheCancelButtonWorksWhileTheDiscMasterReports) {
  HWND dialog = Open(0);
  ASSERT_NE(dialog, nullptr);
  IDiscMasterProgressEvents* events = nullptr;
  ASSERT_EQ(progress->QueryInterface(IID_IDiscMasterProgressEvents, reinterpret_cast<void**>(&events)), S_OK);

  EXPECT_EQ(events->NotifyBlockProgress(300, 1000), S_OK);
  EXPECT_EQ(BarRange(dialog), 1000);
  EXPECT_EQ(BarPosition(dialog), 300);
  EXPECT_EQ(events->NotifyTrackProgress(0, 3), S_OK);
  EXPECT_EQ(ControlText(dialog, IDC_BURN_CURRENT), L"Track 1/3...");

  // A click waiting in the queue is handled by the next event's dispatching.
  progress->SetBurning(true);
  PostMessageW(GetDlgItem(dialog, IDC_BURN_CANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(events->NotifyAddProgress(1, 2), S_OK);
  boolean cancel = FALSE;
  EXPECT_EQ(events->QueryCancel(&cancel), S_OK);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(events->QueryCancel(nullptr), E_POINTER);

  EXPECT_EQ(SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0), FALSE) << "a burning recorder refuses log-off";
  EXPECT_EQ(events->NotifyClosingDisc(10), S_OK);
  EXPECT_EQ(ControlText(dialog, IDC_BURN_CURRENT), L"Closing Disc...");
  progress->SetBurning(false);
  EXPECT_NE(SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0), FALSE);
  events->Release();
  EXPECT_TRUE(IsWindow(dialog));
}

const wchar_t kTestModeQuestion[] =
    L"In Test Mode the burning process will be simulated only.\n\n- Click \"Yes\" to continue in Test Mode.\n"
    L"- Click \"No\" to turn off Test Mode.\n";

// The user's answer to the question: its text and title, and what ConfirmTestMode made of the answer.
struct TestModeAnswer {
  std::wstring text, caption;
  bool testMode = false;
};
TestModeAnswer Answer(int button) {
  TestModeAnswer answer;
  ModalDriver user([&](HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    answer.text = text;
    GetWindowTextW(box, text, 1024);
    answer.caption = text;
    Click(box, button);
  });
  answer.testMode = CBurnCDProgress::ConfirmTestMode(nullptr);
  EXPECT_TRUE(user.Drove());
  return answer;
}

TEST(BurnProgressTestModeQuestion, YesKeepsTestModeAndNoRecordsForReal) {
  const TestModeAnswer yes = Answer(IDYES);
  EXPECT_TRUE(yes.testMode);
  EXPECT_EQ(yes.text, kTestModeQuestion);
  EXPECT_EQ(yes.caption, L"Tavrel cdforge");
  EXPECT_FALSE(Answer(IDNO).testMode);
}

}  // namespace
