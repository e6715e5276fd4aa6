// The window mode as the shell extension starts it: command lines, list files and whole conversion runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "WavFiles.h"
#include "WindowDriver.h"

namespace {
class WindowModeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WritePString(L"Converter", L"NamingScheme", L"<sourcedir>\\<sourcename> (Wave)"));
  }
  void TearDown() override { WritePString(L"Converter", L"NamingScheme", nullptr); }

  static std::string MakeWave(const std::wstring& path, size_t frames = 4410) {
    WAVEFORMATEX format = PcmFormat(16, 2, 44100);
    std::string samples = PcmSignal(format, frames);
    EXPECT_TRUE(WriteFileBytes(path, PcmWave(format, samples)));
    return samples;
  }
  // The paths in the code page, after the byte-order mark.
  std::wstring WriteList(const std::vector<std::wstring>& paths, UINT codePage = CP_UTF8,
                         const std::string& mark = "\xEF\xBB\xBF") {
    std::wstring text;
    for (const std::wstring& path : paths) text += path + L"\r\n";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    if (codePage != 1200) {
      bytes.assign(text.size() * 4, '\0');
      bytes.resize(
          static_cast<size_t>(WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()),
                                                  bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    }
    EXPECT_TRUE(WriteFileBytes(listFile, mark + bytes));
    return listFile;
  }

  TempFolder folder;
  std::wstring listFile = folder / L"list.tmp";
  MessageBoxDouble boxes;
};

std::wstring OutputOf(const std::wstring& source) { return source.substr(0, source.size() - 4) + L" (Wave).wav"; }

std::wstring LogText(const FinishedWindow& window) {
  std::wstring text;
  for (const LogItem& item : window.log) text += L"\n  " + item.text;
  return text;
}

TEST(WindowModeCommand, SelectsOnlyTheShellExtensionsSwitches) {
  for (const wchar_t* yes : {L"/C", L"/c", L"/b", L"/R", L"/Cx"}) EXPECT_TRUE(IsWindowModeCommand(yes)) << yes;
  for (const wchar_t* no : {L"formats", L"-C", L"/X", L"/", L"", L"C"}) EXPECT_FALSE(IsWindowModeCommand(no)) << no;
}

// Every refusal: one message box captioned "Tavrel", the status, no output, and the list file gone exactly
// when the command line names it for sure.
TEST_F(WindowModeTest, RefusalsShowOneMessageAndSettleTheListFile) {
  struct Case {
    std::vector<std::wstring> arguments;  // "LIST" stands for the list file
    const char* listBytes;                // null: no list file; empty: one that names a good file
    int status;
    const wchar_t* message;  // a part of the message
    bool listLeft;
  } cases[] = {
      {{L"/C"}, "", 2, L"/C \"format name\" \"list file\"", true},
      {{L"/C", L"Wave"}, "", 2, L"\"/C\" \"Wave\"", true},
      {{L"/C", L"Wave", L"LIST", L"extra"}, "", 2, L"/B \"list file\"", true},
      {{L"/Cx", L"Wave", L"LIST"}, "", 2, L"\"/Cx\"", true},
      {{L"/B"}, "", 2, L"/R \"list file\"", true},
      {{L"/C", L"Nonsense", L"LIST"}, "", 2, L"Unknown output format \"Nonsense\"", false},
      {{L"/C", L"Windows Media", L"LIST"},
       "",
       1,
       L"Converting to \"Windows Media\" is not available in this version.",
       false},
      {{L"/b", L"LIST"}, "", 1, L"Burning audio CDs is not available in this version.", false},
      {{L"/R", L"LIST"}, "", 1, L"Ripping CD tracks is not available in this version.", false},
      {{L"/C", L"Wave", L"LIST"}, nullptr, 1, L"Conversion list file cannot be opened.", false},
      {{L"/c", L"wave", L"LIST"}, "\xEF\xBB\xBF\r\n  \r\n", 1, L"Conversion list file is empty.", false},
  };
  std::wstring source = folder / L"one.wav";
  MakeWave(source);
  for (Case& test : cases) {
    DeleteFileW(listFile.c_str());
    if (test.listBytes) {
      if (*test.listBytes)
        EXPECT_TRUE(WriteFileBytes(listFile, test.listBytes));
      else
        WriteList({source});
    }
    std::replace(test.arguments.begin(), test.arguments.end(), std::wstring(L"LIST"), listFile);
    boxes.shown.clear();
    EXPECT_EQ(RunWith(test.arguments), test.status) << test.message;
    ASSERT_EQ(boxes.shown.size(), 1u) << test.message;
    EXPECT_EQ(boxes.shown[0].caption, L"Tavrel");
    EXPECT_NE(boxes.shown[0].text.find(test.message), std::wstring::npos) << boxes.shown[0].text;
    EXPECT_EQ(FileExists(listFile), test.listLeft && test.listBytes) << test.message;
    EXPECT_FALSE(FileExists(OutputOf(source))) << test.message;
  }
}

// The shell writes list files in whatever encoding it likes; the paths must reach the conversion intact.
// The engine's WAV files open through mmio, which under Wine reaches only paths of the system code page:
// for the others the path in the log shows the list was read right.
TEST_F(WindowModeTest, ListFileEncodingsReachTheConversion) {
  struct Case {
    const wchar_t* folderName;
    UINT codePage;
    std::string mark;
    bool converts;
  } cases[] = {{L"Музыка", CP_UTF8, "\xEF\xBB\xBF", false},
               {L"音楽 ♪", 1200, "\xFF\xFE", false},
               {L"Müsik Café", CP_ACP, "", true},
               {L"Müsik Café 2", CP_UTF8, "\xEF\xBB\xBF", true}};
  for (const Case& test : cases) {
    std::wstring sub = folder / test.folderName, source = sub + L"\\one.wav";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    MakeWave(source);
    WriteList({source}, test.codePage, test.mark);
    FinishedWindowCloser closer;
    int status = RunWith({L"/C", L"Wave", listFile});
    EXPECT_FALSE(FileExists(listFile));
    ASSERT_FALSE(closer.result.log.empty());
    EXPECT_EQ(closer.result.log[0].text, source) << test.folderName;
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

  const std::vector<LogItem>& log = closer.result.log;
  auto lineOf = [&](const std::wstring& text) {
    return std::find_if(log.begin(), log.end(), [&](const LogItem& item) { return item.text == text; }) - log.begin();
  };
  auto firstError =
      std::find_if(log.begin(), log.end(), [](const LogItem& item) { return item.styleBits & kLogError; });
  ASSERT_NE(firstError, log.end()) << LogText(closer.result);
  EXPECT_EQ(firstError->text.rfind(L"Error: ", 0), 0u) << firstError->text;
  EXPECT_GT(firstError - log.begin(), lineOf(missing));
  EXPECT_LT(firstError - log.begin(), lineOf(last));
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const LogItem& item) { return item.styleBits & kLogError; }), 1);
  EXPECT_LT(lineOf(L"Written to " + OutputOf(last)), static_cast<ptrdiff_t>(log.size()));
  EXPECT_EQ(log.back().text, L"2 files converted, 1 failed.");
  EXPECT_EQ(closer.result.fileNumber, L"File 3 of 3");
  EXPECT_EQ(closer.result.rangeHigh, static_cast<LRESULT>(lastSamples.size()));
  EXPECT_EQ(closer.result.position, static_cast<LRESULT>(lastSamples.size()));
}

TEST_F(WindowModeTest, OverwriteQuestionDecidesAboutTheExistingOutput) {
  for (int answer : {IDNO, IDYES}) {
    std::wstring source = folder / L"song.wav";
    std::string samples = MakeWave(source);
    ASSERT_TRUE(WriteFileBytes(OutputOf(source), "keep me"));
    boxes.shown.clear();
    static std::wstring fileDuringQuestion;
    static int givenAnswer;
    givenAnswer = answer;
    boxes.onQuestion = [](const ShownMessage& question) {
      fileDuringQuestion = TextOf(question.owner, IDC_CURRENT_FILE);
      return givenAnswer;
    };
    FinishedWindowCloser closer;
    EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({source})}), answer == IDYES ? 0 : 1);
    EXPECT_NE(fileDuringQuestion.find(L"song.wav"), std::wstring::npos) << "the window names the file asked about";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_NE(boxes.shown[0].text.find(OutputOf(source)), std::wstring::npos);
    EXPECT_NE(boxes.shown[0].owner, nullptr) << "asked without the progress window as owner";
    if (answer == IDYES) {
      EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(source))).data, samples);
    } else {
      EXPECT_EQ(ReadFileBytes(OutputOf(source)), "keep me");
      EXPECT_EQ(closer.result.log.back().text, L"0 files converted, 1 failed.");
    }
  }
}

// Cancel clicked while the second file's overwrite question is open: the old file stays, nothing follows.
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
  const std::vector<LogItem>& log = closer.result.log;
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].text, L"Cancelled.");
  EXPECT_EQ(log.back().text, L"1 file converted, 2 not converted.");
  EXPECT_EQ(closer.result.fileNumber, L"File 2 of 3");
}

WNDPROC barProcedure = nullptr;
// The user clicks Cancel once the bar has passed a third of the file.
LRESULT CALLBACK CancellingBar(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(barProcedure, bar, message, wParam, lParam);
  if (message == PBM_DELTAPOS && SendMessageW(bar, PBM_GETPOS, 0, 0) * 3 > SendMessageW(bar, PBM_GETRANGE, FALSE, 0))
    SendMessageW(GetParent(bar), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return result;
}

TEST_F(WindowModeTest, CancelWhileWritingStopsTheJob) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav";
  for (const std::wstring& path : {one, two}) MakeWave(path, 44100 * 5);
  // The first file's overwrite question is where the test gets hold of the progress bar.
  ASSERT_TRUE(WriteFileBytes(OutputOf(one), "old"));
  boxes.onQuestion = [](const ShownMessage& question) {
    HWND bar = GetDlgItem(question.owner, IDC_PROGRESS_BAR);
    barProcedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CancellingBar)));
    return IDYES;
  };
  FinishedWindowCloser closer;
  EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({one, two})}), 1);
  EXPECT_FALSE(FileExists(OutputOf(two)));
  EXPECT_EQ("old", ReadFileBytes(OutputOf(one))) << "a cancelled conversion leaves the existing file as it was";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder / L"~tavconv*").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "the partial output is removed";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  EXPECT_GT(closer.result.position, 0);
  EXPECT_LT(closer.result.position, closer.result.rangeHigh) << "the job ran to the end after Cancel";
  EXPECT_EQ(closer.result.log.back().text, L"0 files converted, 2 not converted.");
}
}  // namespace
