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
      {{L"/C", L"FLAC", L"LIST"}, "", 1, L"Converting to \"FLAC\" is not available in this version.", false},
      {{L"/b", L"LIST"}, "", 1, L"Burning audio CDs is not available in this version.", false},
      {{L"/R", L"LIST"}, "", 1, L"Ripping CD tracks is not available in this version.", false},
      {{L"/C", L"Wave", L"LIST"}, nullptr, 1, L"Conversion list file cannot be opened.", false},
      {{L"/c", L"wave", L"LIST"}, "\xEF\xBB\xBF\r\n  \r\n", 1, L"Conversion list file is empty.", false},
  };
  std::wstring source = folder / L"one.wav";
  MakeWave(source);
  burnerProgram = folder / L"no burner here.exe";
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
  burnerProgram.clear();
}

// Burning is the burner's: /B starts it with the list file, which it then owns; nothing is shown here.
TEST_F(WindowModeTest, BurnHandsTheListToTheBurner) {
  const std::wstring recorded = folder / L"arguments.txt";
  SetEnvironmentVariableW(L"TAVREL_ARGS_FILE", recorded.c_str());
  burnerProgram = ProgramFolder() + L"\\shellext_args_recorder.exe";
  const std::wstring source = folder / L"one.wav";
  MakeWave(source);
  EXPECT_EQ(RunWith({L"/B", WriteList({source})}), 0);
  for (int wait = 0; wait < 1000 && !FileExists(recorded); ++wait) Sleep(10);
  Sleep(50);
  const std::string bytes = ReadFileBytes(recorded);
  EXPECT_EQ(L"/FL \"" + listFile + L"\"", std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
  EXPECT_TRUE(FileExists(listFile)) << "the burner deletes it once read";
  EXPECT_TRUE(boxes.shown.empty());
  burnerProgram.clear();
  SetEnvironmentVariableW(L"TAVREL_ARGS_FILE", nullptr);
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
    WindowUser closer;
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
  WindowUser closer;
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
  // After a failure the window never says it is done.
  EXPECT_EQ(closer.result.status, L"Finished:");
  EXPECT_EQ(closer.result.outcome, L"2 of 3 converted, 1 failed");
  EXPECT_EQ(closer.result.title, L"2 of 3 converted, 1 failed - Tavrel");
  EXPECT_EQ(closer.result.overallPosition, closer.result.overallHigh);
  EXPECT_EQ(closer.result.overall, L"Overall: 100%");
  EXPECT_EQ(closer.result.rangeHigh, static_cast<LRESULT>(lastSamples.size()));
  EXPECT_EQ(closer.result.position, static_cast<LRESULT>(lastSamples.size()));
}

// Three outputs exist; the answers decide each, an answer "to all" is remembered for the rest of the batch,
// and a kept file is skipped, not failed.
TEST_F(WindowModeTest, OverwriteAnswersDecideAboutTheExistingOutputs) {
  struct Case {
    std::vector<int> answers;  // the buttons clicked, in order
    const char* kept;          // per file: 'k' kept, 'r' replaced
    const wchar_t* summary;
    const wchar_t* outcome;
    int status;
    ptrdiff_t keptLines;  // log lines that say a file was kept
  } cases[] = {
      {{IDYES, IDNO, IDYES}, "rkr", L"2 files converted, 1 skipped.", L"2 of 3 converted, 1 skipped", 0, 1},
      {{IDC_YES_TO_ALL}, "rrr", L"3 files converted.", L"3 of 3 converted", 0, 0},
      {{IDNO, IDC_NO_TO_ALL}, "kkk", L"0 files converted, 3 skipped.", L"0 of 3 converted, 3 skipped", 0, 3},
      {{IDYES, IDCANCEL}, "rkk", L"1 file converted, 2 not converted.", L"1 of 3 converted, 2 not converted", 1, 1},
  };
  std::vector<std::wstring> sources = {folder / L"a.wav", folder / L"b.wav", folder / L"c.wav"};
  for (const Case& test : cases) {
    std::vector<std::string> samples;
    for (const std::wstring& source : sources) {
      samples.push_back(MakeWave(source));
      ASSERT_TRUE(WriteFileBytes(OutputOf(source), "keep me"));
    }
    WindowUser user;
    size_t asked = 0;
    user.onOverwrite = [&](const OverwriteQuestion&) { return test.answers.at(asked++); };
    EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList(sources)}), test.status) << test.summary;
    ASSERT_EQ(user.questions.size(), test.answers.size()) << test.summary;
    for (size_t index = 0; index < user.questions.size(); ++index) {
      const OverwriteQuestion& question = user.questions[index];
      EXPECT_NE(question.text.find(OutputOf(sources[index])), std::wstring::npos) << question.text;
      EXPECT_NE(question.fileInWindow.find(sources[index].substr(sources[index].rfind(L'\\') + 1)), std::wstring::npos)
          << "the window names the file asked about";
      EXPECT_NE(question.owner, nullptr) << "asked without the progress window as owner";
    }
    for (size_t index = 0; index < sources.size(); ++index) {
      if (test.kept[index] == 'k') {
        EXPECT_EQ(ReadFileBytes(OutputOf(sources[index])), "keep me") << test.summary << index;
      } else {
        EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(sources[index]))).data, samples[index]) << test.summary << index;
      }
    }
    ASSERT_TRUE(user.result.seen);
    EXPECT_EQ(user.result.log.back().text, test.summary) << LogText(user.result);
    EXPECT_EQ(user.result.outcome, test.outcome);
    EXPECT_EQ(user.result.status, test.status                                  ? L"Cancelled:"
                                  : test.kept[0] == 'r' && test.kept[1] == 'r' ? L"Done:"
                                                                               : L"Finished:");
    EXPECT_TRUE(boxes.shown.empty()) << "the overwrite question is the window's own dialog";
    // Keeping a file is the user's choice, not an error.
    EXPECT_EQ(std::count_if(user.result.log.begin(), user.result.log.end(),
                            [](const LogItem& item) { return item.styleBits & kLogError; }),
              0)
        << LogText(user.result);
    EXPECT_EQ(std::count_if(user.result.log.begin(), user.result.log.end(),
                            [](const LogItem& item) {
                              return item.styleBits == kLogInformation &&
                                     item.text.find(L"already exists, skipped") != std::wstring::npos;
                            }),
              test.keptLines)
        << LogText(user.result);
  }
}

// The first step shows what will be done; only Convert (clicked or Enter) starts it, Cancel and the close
// box leave everything as it was.
TEST_F(WindowModeTest, FirstStepShowsTheBatchAndWaitsForConvert) {
  struct Case {
    const char* action;
    int status;
    bool converted;
  } cases[] = {{"click Convert", 0, true}, {"Enter", 0, true}, {"click Cancel", 1, false}, {"close box", 1, false}};
  std::wstring source = folder / L"one.wav";
  std::string samples = MakeWave(source);
  for (const Case& test : cases) {
    DeleteFileW(OutputOf(source).c_str());
    WindowUser user;
    std::vector<LogItem> readyLog;
    std::wstring naming, settingsText, summary, defaultButton;
    std::string action = test.action;
    user.onReady = [&](HWND progress) {
      readyLog = ReadLog(progress), naming = TextOf(progress, IDC_NAMING);
      settingsText = TextOf(progress, IDC_SETTINGS_TEXT), summary = TextOf(progress, IDC_CURRENT_FILE);
      defaultButton = TextOf(progress, LOWORD(SendMessageW(progress, DM_GETDEFID, 0, 0)));
      EXPECT_TRUE(IsShown(progress, IDC_SETTINGS));
      if (action == "click Convert") Click(progress, IDOK);
      if (action == "Enter") PressKey(progress, VK_RETURN);
      if (action == "click Cancel") Click(progress, IDCANCEL);
      if (action == "close box") PostMessageW(progress, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({source})}), test.status) << test.action;
    EXPECT_FALSE(FileExists(listFile));
    EXPECT_EQ(user.readySeen, 1);
    ASSERT_EQ(readyLog.size(), 1u);
    EXPECT_EQ(readyLog[0].text, source);
    EXPECT_EQ(naming, L"Output names: <sourcedir>\\<sourcename> (Wave)");
    EXPECT_EQ(settingsText.rfind(L"Wave settings: ", 0), 0u) << settingsText;
    EXPECT_EQ(summary, L"1 file to convert to Wave");
    EXPECT_EQ(defaultButton, L"Con&vert");
    EXPECT_EQ(FileExists(OutputOf(source)), test.converted) << test.action;
    EXPECT_EQ(user.result.seen, test.converted) << "a batch never started has no summary to show";
    if (test.converted) {
      EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(source))).data, samples);
    }
  }
  EXPECT_TRUE(boxes.shown.empty()) << "nothing was running, so nothing is asked";
}

std::wstring SettingsTextOfStoredWaveDefaults() {
  IConvertDestination* destination = NewWavDestination();
  wchar_t text[512] = {};
  if (destination) destination->GetSettingsText(text, 512), destination->Release();
  return text;
}

// "Settings..." edits this batch's encoder settings: OK applies them to every file, Cancel keeps the stored
// defaults, and neither changes the stored defaults.
TEST_F(WindowModeTest, SettingsChosenBeforeConvertingApplyToEveryFile) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav";
  for (bool ok : {false, true}) {
    std::string samples = MakeWave(one);
    MakeWave(two);
    DeleteFileW(OutputOf(one).c_str()), DeleteFileW(OutputOf(two).c_str());
    const std::wstring defaults = SettingsTextOfStoredWaveDefaults();
    WindowUser user;
    std::wstring chosenFormat, settingsLine;
    user.onReady = [&](HWND progress) {
      Click(progress, IDC_SETTINGS);  // returns once a later tick has closed the settings dialog
      settingsLine = TextOf(progress, IDC_SETTINGS_TEXT);
      Click(progress, IDOK);
    };
    user.onOtherDialog = [&](HWND dialog) {
      HWND formats = GetDlgItem(dialog, 1102);  // the Wave dialog's format list
      for (int item = 0; item < SendMessageW(formats, CB_GETCOUNT, 0, 0); ++item) {
        std::wstring text(static_cast<size_t>(SendMessageW(formats, CB_GETLBTEXTLEN, item, 0)) + 1, L'\0');
        text.resize(
            static_cast<size_t>(SendMessageW(formats, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
        if (text.find(L"8000") == std::wstring::npos || text.find(L"Mono") == std::wstring::npos ||
            text.find(L"8 bit") == std::wstring::npos)
          continue;
        chosenFormat = text;
        SendMessageW(formats, CB_SETCURSEL, item, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1102, CBN_SELCHANGE), reinterpret_cast<LPARAM>(formats));
        break;
      }
      Click(dialog, ok ? IDOK : IDCANCEL);
    };
    EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({one, two})}), 0);
    ASSERT_FALSE(chosenFormat.empty()) << "no 8 kHz 8-bit mono item in the Wave settings";
    for (const std::wstring& output : {OutputOf(one), OutputOf(two)}) {
      ParsedWave wave = ParseWave(ReadFileBytes(output));
      ASSERT_TRUE(wave.valid);
      if (ok) {
        EXPECT_EQ(FormatOf(wave)->nSamplesPerSec, 8000u);
        EXPECT_EQ(FormatOf(wave)->nChannels, 1);
        EXPECT_EQ(FormatOf(wave)->wBitsPerSample, 8);
      } else {
        EXPECT_EQ(FormatOf(wave)->nSamplesPerSec, 44100u);
      }
    }
    if (ok) {
      EXPECT_NE(settingsLine, L"Wave settings: " + defaults) << "the window shows the choice";
    } else {
      EXPECT_EQ(ParseWave(ReadFileBytes(OutputOf(one))).data, samples);
      EXPECT_EQ(settingsLine, L"Wave settings: " + defaults);
    }
    EXPECT_EQ(SettingsTextOfStoredWaveDefaults(), defaults) << "the stored defaults are left alone";
  }
}

// A folder in the list stands for the readable files below it, as on the console; one with none is reported
// in its place.
TEST_F(WindowModeTest, FoldersInTheListAreExpanded) {
  std::wstring album = folder / L"album", disc = album + L"\\disc 2", empty = folder / L"empty";
  for (const std::wstring& path : {album, disc, empty}) ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  std::wstring single = folder / L"single.wav";
  std::vector<std::wstring> inside = {album + L"\\a.wav", album + L"\\b.wav", disc + L"\\c.wav"};
  for (const std::wstring& path : inside) MakeWave(path);
  MakeWave(single);
  ASSERT_TRUE(WriteFileBytes(album + L"\\notes.txt", "not audio"));
  WindowUser user;
  EXPECT_EQ(RunWith({L"/C", L"Wave", WriteList({album, empty, single})}), 1);
  for (const std::wstring& path : inside) EXPECT_TRUE(FileExists(OutputOf(path))) << path;
  EXPECT_TRUE(FileExists(OutputOf(single)));
  ASSERT_TRUE(user.result.seen);
  EXPECT_EQ(user.result.fileNumber, L"File 5 of 5");
  EXPECT_EQ(user.result.log.back().text, L"4 files converted, 1 failed.") << LogText(user.result);
  auto error = std::find_if(user.result.log.begin(), user.result.log.end(),
                            [](const LogItem& item) { return item.styleBits & kLogError; });
  ASSERT_NE(error, user.result.log.end());
  EXPECT_EQ(error->text, L"Error: No audio files in folder: " + empty);
}

// Cancel clicked while the second file's overwrite question is open: the old file stays, nothing follows.
TEST_F(WindowModeTest, CancelDuringTheQuestionKeepsTheOldFile) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav", three = folder / L"three.wav";
  for (const std::wstring& path : {one, two, three}) MakeWave(path);
  ASSERT_TRUE(WriteFileBytes(OutputOf(two), "old"));
  WindowUser closer;
  closer.onOverwrite = [](const OverwriteQuestion& question) {
    Click(question.owner, IDCANCEL);
    return IDYES;
  };
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
    Click(GetParent(bar), IDCANCEL);
  return result;
}

TEST_F(WindowModeTest, CancelWhileWritingStopsTheJob) {
  std::wstring one = folder / L"one.wav", two = folder / L"two.wav";
  for (const std::wstring& path : {one, two}) MakeWave(path, 44100 * 5);
  // The first file's overwrite question is where the test gets hold of the progress bar.
  ASSERT_TRUE(WriteFileBytes(OutputOf(one), "old"));
  WindowUser closer;
  closer.onOverwrite = [](const OverwriteQuestion& question) {
    HWND bar = GetDlgItem(question.owner, IDC_PROGRESS_BAR);
    barProcedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CancellingBar)));
    return IDYES;
  };
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
