// The progress window on its own: callback calls from a worker thread, the log's styles, Cancel and Close.
#include <gtest/gtest.h>

#include <thread>

#include "WindowDriver.h"

namespace {
// Keeps the window's thread dispatching until the worker is done, as AudioConvert does.
void RunOnWorker(const std::function<void()>& work) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] { work(), SetEvent(done); });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  worker.join();
  CloseHandle(done);
}

TEST(ProgressWindow, WorkerCallsReachTheControls) {
  MessageBoxDouble boxes;
  CProgressWindow progress;
  ASSERT_TRUE(progress.Create(L"Converting"));
  HWND window = progress.Window();
  DWORD askedOn = 0;
  boxes.onQuestion = [&](const ShownMessage&) { return askedOn = GetCurrentThreadId(), IDYES; };
  BOOL replace = FALSE;
  RunOnWorker([&] {
    IConvertCallback& callback = progress;
    callback.SetStatusText(L"Converting:");
    callback.SetCurrentFile(L"C:\\Music\\song.wav", TRUE);
    callback.SetProgressRange(3000000);
    callback.SetProgressPos(0);
    for (int step = 0; step < 10; ++step) callback.StepProgress(65536);
    callback.LogStyled(L"Output file already exists\n", L"e");
    callback.LogStyled(L"first\nsecond\n", L"ib");
    callback.Log(L"plain\n");
    replace = callback.ConfirmOverwrite(L"C:\\Music\\song (Wave).wav");
  });
  EXPECT_EQ(askedOn, GetCurrentThreadId()) << "the question must be asked on the window's thread";
  EXPECT_TRUE(replace);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].owner, window);
  EXPECT_NE(boxes.shown[0].text.find(L"C:\\Music\\song (Wave).wav"), std::wstring::npos);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 3000000);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 655360);
  EXPECT_EQ(TextOf(window, IDC_STATUS_TEXT), L"Converting:");
  EXPECT_EQ(TextOf(window, IDC_CURRENT_FILE), L"C:\\Music\\song.wav");

  std::vector<LogItem> log = ReadLog(window);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].text, L"Error: Output file already exists");
  EXPECT_EQ(log[0].styleBits, kLogError);
  EXPECT_EQ(log[1].text + L"|" + log[2].text, L"first|second");
  EXPECT_EQ(log[2].styleBits, kLogInformation | kLogBold);
  EXPECT_EQ(log[3].text, L"plain");
  EXPECT_EQ(log[3].styleBits, 0);
  for (const wchar_t* other : {L"", L"i", L"b", L"k"}) EXPECT_NE(LookOfStyle(other).color, LookOfStyle(L"e").color);
}

TEST(ProgressWindow, CancelThenCloseAfterTheSummary) {
  MessageBoxDouble boxes;
  CProgressWindow progress;
  ASSERT_TRUE(progress.Create(L"Converting"));
  HWND window = progress.Window();
  // The title bar's close box of a running window only cancels: the job still uses the window.
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(progress.IsCancelled());
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
  EXPECT_FALSE(progress.ConfirmOverwrite(L"C:\\x.wav"));
  EXPECT_TRUE(boxes.shown.empty()) << "no question after Cancel";

  progress.Finish(L"0 files converted, 1 not converted.");
  EXPECT_EQ(TextOf(window, IDCANCEL), L"Close");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
  EXPECT_EQ(ReadLog(window).back().text, L"0 files converted, 1 not converted.");
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(progress.Window(), nullptr);
}
}  // namespace
