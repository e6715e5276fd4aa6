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
  // The user's timer sees only this thread's windows: an answered question was asked on the window's thread.
  WindowUser user;
  user.onOverwrite = [](const OverwriteQuestion&) { return IDYES; };
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
  EXPECT_TRUE(replace);
  ASSERT_EQ(user.questions.size(), 1u);
  EXPECT_EQ(user.questions[0].owner, window);
  EXPECT_NE(user.questions[0].text.find(L"C:\\Music\\song (Wave).wav"), std::wstring::npos);
  EXPECT_TRUE(boxes.shown.empty());
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

// A running batch: the Cancel button cancels at once; Esc and the close box ask first, and No goes on.
TEST(ProgressWindow, EscAndTheCloseBoxAskBeforeCancelling) {
  struct Case {
    const char* how;
    int answer;
    bool cancels;
    size_t questions;
  } cases[] = {{"Esc", IDNO, false, 1},
               {"close box", IDNO, false, 1},
               {"Esc", IDYES, true, 1},
               {"close box", IDYES, true, 1},
               {"Cancel button", IDNO, true, 0}};
  for (const Case& test : cases) {
    MessageBoxDouble boxes;
    boxes.answer = test.answer;
    CProgressWindow progress;
    ASSERT_TRUE(progress.Create(L"Converting"));
    HWND window = progress.Window();
    std::string how = test.how;
    if (how == "Esc") PressKey(window, VK_ESCAPE);
    if (how == "close box") PostMessageW(window, WM_CLOSE, 0, 0);
    if (how == "Cancel button") Click(window, IDCANCEL);
    progress.PumpMessages();
    EXPECT_EQ(boxes.shown.size(), test.questions) << test.how;
    if (!boxes.shown.empty()) {
      EXPECT_EQ(boxes.shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
      EXPECT_EQ(boxes.shown[0].owner, window);
    }
    EXPECT_EQ(progress.IsCancelled() != FALSE, test.cancels) << test.how;
    // The job still uses a cancelled window: it stays until the batch is finished.
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(IsWindowEnabled(GetDlgItem(window, IDCANCEL)) != FALSE, !test.cancels) << test.how;
    if (test.cancels) {
      EXPECT_FALSE(progress.ConfirmOverwrite(L"C:\\x.wav")) << "no question after Cancel";
    }
    EXPECT_EQ(boxes.shown.size(), test.questions);
  }
}

// The finished window tells the outcome in its title, status and log; Enter or Esc closes it, unasked.
TEST(ProgressWindow, FinishedWindowTellsTheOutcomeAndClosesWithEnter) {
  struct Case {
    BatchCounts counts;
    bool cancel;
    const wchar_t* status;
    const wchar_t* outcome;
    const wchar_t* summary;
    WPARAM key;
  } cases[] = {
      {{5, 5, 0, 0}, false, L"Done:", L"5 of 5 converted", L"5 files converted.", VK_RETURN},
      {{5, 3, 0, 2}, false, L"Finished:", L"3 of 5 converted, 2 failed", L"3 files converted, 2 failed.", VK_RETURN},
      {{5, 3, 1, 1},
       false,
       L"Finished:",
       L"3 of 5 converted, 1 skipped, 1 failed",
       L"3 files converted, 1 skipped, 1 failed.",
       VK_ESCAPE},
      {{2, 0, 2, 0}, false, L"Finished:", L"0 of 2 converted, 2 skipped", L"0 files converted, 2 skipped.", VK_RETURN},
      {{3, 1, 0, 0},
       true,
       L"Cancelled:",
       L"1 of 3 converted, 2 not converted",
       L"1 file converted, 2 not converted.",
       VK_RETURN},
  };
  for (const Case& test : cases) {
    MessageBoxDouble boxes;
    CProgressWindow progress;
    ASSERT_TRUE(progress.Create(L"Converting"));
    HWND window = progress.Window();
    if (test.cancel) Click(window, IDCANCEL);
    progress.Finish(test.counts);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    EXPECT_EQ(title, std::wstring(test.outcome) + L" - Tavrel");
    EXPECT_EQ(TextOf(window, IDC_STATUS_TEXT), test.status);
    EXPECT_EQ(TextOf(window, IDC_CURRENT_FILE), test.outcome);
    EXPECT_EQ(ReadLog(window).back().text, test.summary);
    EXPECT_EQ(TextOf(window, IDCANCEL), L"Close");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
    PressKey(window, test.key);
    progress.WaitUntilClosed();
    EXPECT_FALSE(IsWindow(window)) << test.outcome;
    EXPECT_EQ(progress.Window(), nullptr);
    EXPECT_TRUE(boxes.shown.empty()) << "a finished window closes without a question";
  }
}

// Made larger, the window gives the room to the log and keeps the buttons in the corner; it cannot be made
// smaller than it was made.
TEST(ProgressWindow, ResizingGivesTheRoomToTheLog) {
  CProgressWindow progress;
  ASSERT_TRUE(progress.Create(L"Converting"));
  HWND window = progress.Window();
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME);
  auto rectOf = [&](int id) {
    RECT rect;
    GetWindowRect(GetDlgItem(window, id), &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  RECT frame;
  GetWindowRect(window, &frame);
  const RECT log = rectOf(IDC_LOG), close = rectOf(IDCANCEL), bar = rectOf(IDC_OVERALL_BAR),
             count = rectOf(IDC_FILE_COUNT);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 120,
               SWP_NOMOVE | SWP_NOZORDER);
  const RECT grownLog = rectOf(IDC_LOG), movedClose = rectOf(IDCANCEL), grownBar = rectOf(IDC_OVERALL_BAR),
             sameCount = rectOf(IDC_FILE_COUNT);
  EXPECT_EQ(grownLog.right - grownLog.left, log.right - log.left + 200);
  EXPECT_EQ(grownLog.bottom - grownLog.top, log.bottom - log.top + 120);
  EXPECT_EQ(grownLog.top, log.top);
  EXPECT_EQ(movedClose.left, close.left + 200);
  EXPECT_EQ(movedClose.top, close.top + 120);
  EXPECT_EQ(movedClose.right - movedClose.left, close.right - close.left);
  EXPECT_EQ(grownBar.right, bar.right + 200);
  EXPECT_EQ(grownBar.top, bar.top);
  EXPECT_TRUE(EqualRect(&sameCount, &count));

  MINMAXINFO limits = {};
  SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, frame.right - frame.left);
  EXPECT_EQ(limits.ptMinTrackSize.y, frame.bottom - frame.top);
}

TEST(BatchProgress, WeighsFilesBySizeAndEstimatesTheTimeLeft) {
  struct Case {
    std::vector<ULONGLONG> sizes;
    size_t file;
    LONGLONG position, range;
    ULONGLONG elapsed;
    double fraction;
    LONGLONG left;
  } cases[] = {
      {{100, 300}, 0, 50, 100, 4000, 0.125, 28000},
      {{100, 300}, 1, 150, 300, 5000, 0.625, 3000},
      {{100, 300}, 1, 900, 300, 5000, 1.0, 0},   // a position past the range is the end of the file
      {{0, 0, 0, 0}, 2, 0, 0, 5000, 0.5, 5000},  // missing files still take their turn
      {{100, 300}, 0, 0, 0, 5000, 0.0, -1},      // nothing done: no estimate
      {{100, 100}, 1, 10, 100, 1500, 0.55, -1},  // too early to tell
      {{100}, 3, 0, 100, 5000, 1.0, 0},          // past the last file
  };
  for (const Case& test : cases) {
    CBatchProgress batch;
    batch.Start(test.sizes, 1000);
    batch.BeginFile(test.file);
    batch.SetFilePosition(test.position, test.range);
    EXPECT_NEAR(batch.Fraction(), test.fraction, 1e-9) << test.file << " " << test.position;
    EXPECT_EQ(batch.MillisecondsLeft(1000 + test.elapsed), test.left) << test.file << " " << test.position;
  }
  struct Text {
    LONGLONG milliseconds;
    const wchar_t* text;
  } texts[] = {{0, L"about 1 s left"},        {40000, L"about 40 s left"},        {59001, L"about 1 min left"},
               {150000, L"about 3 min left"}, {3599000, L"about 1 h 0 min left"}, {3723000, L"about 1 h 2 min left"}};
  for (const Text& test : texts) EXPECT_EQ(TimeLeftText(test.milliseconds), test.text);
}
}  // namespace
