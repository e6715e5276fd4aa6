// The window mode as the shell extension starts it: command lines, list files and whole conversion runs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>

#include "ProgressWindow.h"
#include "WavFiles.h"
#include "WindowDriver.h"
#include "WindowMode.h"
#include "resource.h"

namespace {
const wchar_t kScheme[] = L"<sourcedir>\\<sourcename> (Wave)";

class WindowModeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WritePString(L"Converter", L"NamingScheme", kScheme)); }
  void TearDown() override { WritePString(L"Converter", L"NamingScheme", nullptr); }

  std::string MakeWave(const std::wstring& path, size_t frames = 4410) {
    WAVEFORMATEX format = PcmFormat(16, 2, 44100);
    std::string samples = PcmSignal(format, frames);
    EXPECT_TRUE(WriteFileBytes(path, PcmWave(format, samples)));
    return samples;
  }
  std::wstring WriteList(const std::vector<std::wstring>& paths) {
    std::wstring text;
    for (const std::wstring& path : paths) text += path + L"\r\n";
    std::string bytes = "\xEF\xBB\xBF";
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    EXPECT_TRUE(WriteFileBytes(listFile, bytes + utf8));
    return listFile;
  }

  TempFolder folder;
  std::wstring listFile = folder / L"list.tmp";
  MessageBoxDouble boxes;
};

std::wstring LogText(const FinishedWindow& window) {
  std::wstring text;
  for (const LogItem& item : window.log) text += L"\n  " + item.text;
  return text;
}

std::wstring OutputOf(const std::wstring& source) { return source.substr(0, source.size() - 4) + L" (Wave).wav"; }

TEST(WindowModeCommand, SelectsOnlyTheShellExtensionsSwitches) {
  for (const wchar_t* yes : {L"/C", L"/c", L"/B", L"/b", L"/R", L"/r", L"/Cx"})
    EXPECT_TRUE(IsWindowModeCommand(yes)) << yes;
  for (const wchar_t* no : {L"formats", L"--help", L"-C", L"/X", L"/", L"", L"C"})
    EXPECT_FALSE(IsWindowModeCommand(no)) << no;
  EXPECT_FALSE(IsWindowModeCommand(nullptr));
}

TEST(WindowModeSummary, CountsWithSingularAndPlural) {
  EXPECT_EQ(SummaryText(3, 1, 0), L"3 files converted, 1 failed.");
  EXPECT_EQ(SummaryText(1, 0, 0), L"1 file converted.");
  EXPECT_EQ(SummaryText(0, 2, 1), L"0 files converted, 2 failed, 1 not converted.");
  EXPECT_EQ(SummaryText(1, 0, 2), L"1 file converted, 2 not converted.");
}

// Every refusal: one message box captioned "Tavrel", the status, and the list file gone exactly when the
// command line names it for sure.
TEST_F(WindowModeTest, RefusesBadLinesAndUnavailableActions) {
  struct Case {
    std::vector<std::wstring> arguments;  // "LIST" stands for the list file
    int status;
    const wchar_t* message;  // a part of the message
    bool listDeleted;
  } cases[] = {
      {{L"/C"}, 2, L"/C \"format name\" \"list file\"", false},
      {{L"/C", L"Wave"}, 2, L"\"/C\" \"Wave\"", false},
      {{L"/C", L"Wave", L"LIST", L"extra"}, 2, L"/B \"list file\"", false},
      {{L"/Cx", L"Wave", L"LIST"}, 2, L"\"/Cx\"", false},
      {{L"/B"}, 2, L"/R \"list file\"", false},
      {{L"/C", L"Nonsense", L"LIST"}, 2, L"Unknown output format \"Nonsense\"", true},
      {{L"/C", L"MP3", L"LIST"}, 1, L"Converting to \"MP3\" is not available in this version.", true},
      {{L"/b", L"LIST"}, 1, L"Burning audio CDs is not available in this version.", true},
      {{L"/R", L"LIST"}, 1, L"Ripping CD tracks is not available in this version.", true},
  };
  MakeWave(folder / L"one.wav");
  for (Case& test : cases) {
    WriteList({folder / L"one.wav"});
    std::replace(test.arguments.begin(), test.arguments.end(), std::wstring(L"LIST"), listFile);
    boxes.shown.clear();
    EXPECT_EQ(RunWith(test.arguments), test.status) << test.message;
    ASSERT_EQ(boxes.shown.size(), 1u) << test.message;
    EXPECT_EQ(boxes.shown[0].caption, L"Tavrel");
    EXPECT_NE(boxes.shown[0].text.find(test.message), std::wstring::npos) << boxes.shown[0].text;
    EXPECT_EQ(FileExists(listFile), !test.listDeleted) << test.message;
    EXPECT_FALSE(FileExists(OutputOf(folder / L"one.wav"))) << test.message;
  }
}

TEST_F(WindowModeTest, MissingOrEmptyListFileIsReportedAndRemoved) {
  EXPECT_EQ(RunWith({L"/C", L"Wave", listFile}), 1);
  ASSERT_TRUE(WriteFileBytes(listFile, "\xEF\xBB\xBF\r\n  \r\n"));
  EXPECT_EQ(RunWith({L"/c", L"wave", listFile}), 1);
  EXPECT_FALSE(FileExists(listFile));
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, L"Conversion list file cannot be opened.");
  EXPECT_EQ(boxes.shown[1].text, L"Conversion list file is empty.");
  EXPECT_EQ(boxes.shown[1].caption, L"Tavrel");
}

// The shell writes list files in whatever encoding it likes; paths beyond Latin-1 must survive.
TEST_F(WindowModeTest, ListFileEncodingsReachTheConversion) {
  auto utf16 = [](const std::wstring& text) {
    return std::string("\xFF\xFE") + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  };
  auto ansi = [](const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
  };
  auto utf8 = [](const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(
        static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, nullptr)));
    return "\xEF\xBB\xBF" + bytes;
  };
  // The engine's WAV files open through mmio, which under Wine reaches only paths of the system code page:
  // there the path in the log is what shows the list was read right.
  struct Case {
    const wchar_t* folderName;
    std::function<std::string(const std::wstring&)> encode;
    bool converts;
  } cases[] = {
      {L"Музыка", utf8, false}, {L"音楽 ♪", utf16, false}, {L"Müsik Café", ansi, true}, {L"Müsik Café 2", utf8, true}};
  for (const Case& test : cases) {
    std::wstring sub = folder / test.folderName;
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    std::wstring source = sub + L"\\one.wav";
    MakeWave(source);
    ASSERT_TRUE(WriteFileBytes(listFile, test.encode(source + L"\r\n")));
    FinishedWindowCloser closer;
    int status = RunWith({L"/C", L"Wave", listFile});
    EXPECT_FALSE(FileExists(listFile));
    ASSERT_TRUE(closer.result.seen);
    ASSERT_FALSE(closer.result.log.empty());
    EXPECT_EQ(closer.result.log[0].text, source) << test.folderName;
    EXPECT_EQ(closer.result.log[0].styleBits, kLogBold);
    if (!test.converts) continue;
    EXPECT_EQ(status, 0) << test.folderName << LogText(closer.result);
    EXPECT_TRUE(FileExists(OutputOf(source))) << test.folderName;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowModeTest, ConvertsBesideTheSourcesAndReportsTheMissingFile) {
  std::wstring first = folder / L"first.wav", missing = folder / L"missing.wav", last = folder / L"last.wav";
  std::string firstSamples = MakeWave(first, 8000), lastSamples = MakeWave(last, 3000);
  FinishedWindowCloser closer;
  EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({first, missing, last})}), 1);
  EXPECT_FALSE(FileExists(listFile));
  EXPECT_TRUE(boxes.shown.empty());

  EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(first))).data, firstSamples);
  EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(last))).data, lastSamples);
  EXPECT_FALSE(FileExists(OutputOf(missing)));

  ASSERT_TRUE(closer.result.seen);
  const std::vector<LogItem>& log = closer.result.log;
  auto header = std::find_if(log.begin(), log.end(), [&](const LogItem& item) { return item.text == missing; });
  ASSERT_NE(header, log.end());
  EXPECT_TRUE(header->styleBits & kLogBold);
  auto error = std::find_if(header, log.end(), [](const LogItem& item) { return item.styleBits & kLogError; });
  ASSERT_NE(error, log.end()) << "no error line after the missing file";
  EXPECT_EQ(error->text.rfind(L"Error: ", 0), 0u) << error->text;
  EXPECT_LT(error - log.begin(),
            std::find_if(log.begin(), log.end(), [&](const LogItem& item) { return item.text == last; }) - log.begin());
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const LogItem& item) { return item.styleBits & kLogError; }), 1);
  EXPECT_EQ(log.back().text, L"2 files converted, 1 failed.");
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [&](const LogItem& item) { return item.text == L"Written to " + OutputOf(last); }),
            log.end());
  EXPECT_EQ(closer.result.fileNumber, L"File 3 of 3");
  EXPECT_EQ(closer.result.rangeHigh, static_cast<int>(lastSamples.size()));
  EXPECT_EQ(closer.result.position, static_cast<int>(lastSamples.size()));
}

TEST_F(WindowModeTest, OverwriteQuestionDecidesAboutTheExistingOutput) {
  for (int answer : {IDNO, IDYES}) {
    std::wstring source = folder / L"song.wav";
    std::string samples = MakeWave(source);
    ASSERT_TRUE(WriteFileBytes(OutputOf(source), "keep me"));
    boxes.shown.clear();
    boxes.answer = answer;
    FinishedWindowCloser closer;
    EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({source})}), answer == IDYES ? 0 : 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_NE(boxes.shown[0].text.find(OutputOf(source)), std::wstring::npos);
    EXPECT_NE(boxes.shown[0].owner, nullptr) << "asked without the progress window as owner";
    if (answer == IDNO) {
      EXPECT_EQ(ReadFileBytes(OutputOf(source)), "keep me");
      EXPECT_EQ(closer.result.log.back().text, L"0 files converted, 1 failed.");
    } else {
      EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(source))).data, samples);
    }
  }
}

// A Cancel clicked while the overwrite question is open: the old file stays and no later file starts.
TEST_F(WindowModeTest, CancelDuringTheQuestionKeepsTheOldFile) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav", three = folder / L"three.wav";
  for (const std::wstring& path : {one, two, three}) MakeWave(path);
  ASSERT_TRUE(WriteFileBytes(OutputOf(two), "old"));
  boxes.onQuestion = [](const ShownMessage& question) {
    SendMessageW(question.owner, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return IDYES;
  };
  FinishedWindowCloser closer;
  EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({one, two, three})}), 1);
  EXPECT_TRUE(FileExists(OutputOf(one)));
  EXPECT_EQ(ReadFileBytes(OutputOf(two)), "old");
  EXPECT_FALSE(FileExists(OutputOf(three)));
  ASSERT_TRUE(closer.result.seen);
  const std::vector<LogItem>& log = closer.result.log;
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].text, L"Cancelled.");
  EXPECT_EQ(log.back().text, L"1 file converted, 2 not converted.");
  EXPECT_EQ(closer.result.fileNumber, L"File 2 of 3");
}

namespace cancelling {
WNDPROC barProcedure = nullptr;
// The user clicks Cancel once the bar has passed a third of the first file.
LRESULT CALLBACK CancellingBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(barProcedure, bar, message, wParam, lParam);
  if (message == PBM_DELTAPOS && SendMessageW(bar, PBM_GETPOS, 0, 0) * 3 > SendMessageW(bar, PBM_GETRANGE, FALSE, 0))
    SendMessageW(GetParent(bar), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return result;
}
}  // namespace cancelling

TEST_F(WindowModeTest, CancelWhileWritingStopsTheJob) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav";
  for (const std::wstring& path : {one, two}) MakeWave(path, 44100 * 5);
  // The overwrite question of the first file is where the test gets hold of the window's progress bar.
  ASSERT_TRUE(WriteFileBytes(OutputOf(one), "old"));
  boxes.onQuestion = [](const ShownMessage& question) {
    HWND bar = GetDlgItem(question.owner, IDC_PROGRESS_BAR);
    cancelling::barProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&cancelling::CancellingBar)));
    return IDYES;
  };
  FinishedWindowCloser closer;
  EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({one, two})}), 1);
  EXPECT_FALSE(FileExists(OutputOf(two)));
  ASSERT_TRUE(closer.result.seen);
  EXPECT_GT(closer.result.position, 0);
  EXPECT_LT(closer.result.position, closer.result.rangeHigh) << "the job ran to the end after Cancel";
  EXPECT_EQ(closer.result.log.back().text, L"0 files converted, 2 not converted.");
  EXPECT_EQ(closer.result.fileNumber, L"File 1 of 2");
}
}  // namespace
