// The burner window as a user drives it: rows from a list file and drops, reordering and removing, CD images
// saved and loaded through "CD Images", the data-CD settings, and a burn to the image recorder.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BurnCDDlg.h"
#include "BurnProgressResource.h"
#include "CdforgeResource.h"
#include "CuesheetDlg.h"
#include "ISOSettingsDlg.h"
#include "DropFiles.h"
#include "ModalDriver.h"
#include "TestSupport.h"
#include "UserScript.h"

namespace {

const wchar_t kTitle[] = L"Tavrel cdforge";

struct ShownBox {
  std::wstring text;
  UINT type;
};

// Records the message boxes; questions get the next answer (Yes when none is left).
struct BoxDouble {
  BoxDouble() { active = this, cdforgeMessageBox = &Show; }
  ~BoxDouble() { active = nullptr, cdforgeMessageBox = &MessageBoxW; }
  static int WINAPI Show(HWND, const wchar_t* text, const wchar_t*, UINT type) {
    active->shown.push_back({text, type});
    if ((type & MB_TYPEMASK) != MB_YESNO) return IDOK;
    if (active->answers.empty()) return IDYES;
    const int answer = active->answers.front();
    active->answers.erase(active->answers.begin());
    return answer;
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const ShownBox& box : shown) texts.push_back(box.text);
    return texts;
  }
  static BoxDouble* active;
  std::vector<ShownBox> shown;
  std::vector<int> answers;
};
BoxDouble* BoxDouble::active = nullptr;

std::string WavFile(DWORD rate, WORD channels, WORD bits, size_t bytes) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  const WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
  auto u32 = [](UINT32 v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  std::string pcm(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) pcm[i] = static_cast<char>((i * 7) % 200);
  return "RIFF" + u32(static_cast<UINT32>(36 + bytes)) + "WAVEfmt " + u32(16) +
         std::string(reinterpret_cast<const char*>(&format), 16) + "data" + u32(static_cast<UINT32>(bytes)) + pcm;
}

std::wstring ItemText(HWND list, int item, int column) {
  wchar_t text[512] = {};
  ListView_GetItemText(list, item, column, text, 512);
  return text;
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

void TypeText(HWND dialog, int id, const std::wstring& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

// A drop of these paths on the window, as the shell delivers it.
void DropOn(HWND window, const std::vector<std::wstring>& paths) {
  HGLOBAL memory = MakeDropFiles(paths);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// Acts on the progress window once its job is over (its Close button enabled), as a user who waits for it.
void WhenBurnEnds(HWND progress, std::function<void(HWND)> act) {
  static HWND window;
  static std::function<void(HWND)> pending;
  window = progress;
  pending = std::move(act);
  SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (!pending || !IsWindowEnabled(GetDlgItem(window, IDC_BURN_CLOSE))) return;
    KillTimer(nullptr, id);
    auto step = std::move(pending);
    pending = nullptr;
    step(window);
  });
}

// A fresh images folder and window settings for every test, the user's own put back afterwards.
class CdforgeWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    hadImagesDir = ReadPString(L"Settings", L"CDImagesDir", oldImagesDir) != FALSE;
    WritePString(L"Settings", L"CDImagesDir", images.Path().c_str());
    WritePString(L"BurnCD", nullptr, nullptr);
  }
  void TearDown() override {
    WritePString(L"Settings", L"CDImagesDir", hadImagesDir ? oldImagesDir : nullptr);
    WritePString(L"BurnCD", nullptr, nullptr);
  }

  // 7500 bytes a second: a CD frame is 100 bytes.
  std::wstring Wav(const std::wstring& name, size_t frames) {
    const std::wstring path = files / name;
    EXPECT_TRUE(WriteFileBytes(path, WavFile(7500, 1, 8, frames * 100)));
    return path;
  }

  std::wstring ListFile(const std::string& text) {
    const std::wstring path = files / L"list.txt";
    EXPECT_TRUE(WriteFileBytes(path, text));
    return path;
  }

  static std::string Utf8(const std::wstring& text) {
    std::string out(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();
    return out;
  }

  int Run(std::vector<std::wstring> args) {
    args.insert(args.begin(), L"cdforge.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& arg : args) argv.push_back(&arg[0]);
    return RunCdforge(static_cast<int>(argv.size()), argv.data(), nullptr);
  }

  TempFolder images;
  TempFolder files;
  BoxDouble boxes;
  bool hadImagesDir = false;
  wchar_t oldImagesDir[512] = {};
};

TEST_F(CdforgeWindowTest, ListFileRowsAreNumberedTimedReorderedAndRemoved) {
  const std::wstring a = Wav(L"a.wav", 4500);                   // 01:00:00
  const std::wstring b = Wav(L"\u00e9t\u00e9 b.wav", 11260);     // 02:30:10
  const std::wstring c = Wav(L"c.wav", 74);                     // 00:00:74
  ASSERT_TRUE(WriteFileBytes(files / L"notes.txt", "not audio"));
  const std::wstring list = ListFile(Utf8(a) + "\r\n" + Utf8(files / L"notes.txt") + "\r\n\r\n" + Utf8(b) + "\r\n" +
                                     Utf8(c) + "\r\n");
  std::vector<std::wstring> seen, afterMove, afterDelete, menu;
  std::wstring total, discInfo;
  bool settingsEnabled = true;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        HWND rows = GetDlgItem(dialog, IDC_FILELIST);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i)
          seen.push_back(ItemText(rows, i, 0) + L"|" + ItemText(rows, i, 1) + L"|" + ItemText(rows, i, 2));
        total = ControlText(dialog, IDC_LENGTH);
        discInfo = ControlText(dialog, IDC_DISCINFO);
        settingsEnabled = IsEnabled(dialog, IDC_SETTINGS);
        PauseForALook();
        ClickListItem(rows, 2, LVIR_LABEL);
        Click(dialog, IDC_MOVEUP);
        Click(dialog, IDC_MOVEUP);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i) afterMove.push_back(ItemText(rows, i, 0));
        ClickListItem(rows, 1, LVIR_LABEL);
        SetFocus(rows);
        PressKey(dialog, VK_DELETE);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i) afterDelete.push_back(ItemText(rows, i, 0));
        RightClickListSpace(rows);
      })
      .InMenu([&](HWND menuWindow, const std::vector<std::wstring>& items) {
        menu = items;
        CloseMenu(menuWindow);
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  EXPECT_EQ(Run({L"/FL", list}), 0);
  EXPECT_TRUE(user.Done());

  EXPECT_EQ(seen, (std::vector<std::wstring>{L"1. a.wav|01:00:00|Wave", L"2. \u00e9t\u00e9 b.wav|02:30:10|Wave",
                                             L"3. c.wav|00:00:74|Wave"}));
  EXPECT_EQ(total, L"03:31:09");
  EXPECT_EQ(discInfo, L"CD-R | blank");
  EXPECT_FALSE(settingsEnabled) << "no settings for an audio CD";
  EXPECT_FALSE(FileExists(list)) << "the list file is used up";
  EXPECT_EQ(afterMove, (std::vector<std::wstring>{L"1. c.wav", L"2. a.wav", L"3. \u00e9t\u00e9 b.wav"}));
  EXPECT_EQ(afterDelete, (std::vector<std::wstring>{L"1. c.wav", L"2. \u00e9t\u00e9 b.wav"}));
  EXPECT_EQ(menu, (std::vector<std::wstring>{L"&Remove All", L"Order by Track Number"}));

  // The list at exit is the working image, and the next start without arguments comes back to it.
  CCdImageFile file;
  CdImage working;
  ASSERT_TRUE(file.Load(images / L"WorkingCDImage.fgx", working));
  EXPECT_EQ(working.files, (std::vector<std::wstring>{c, b}));
  int rowsAtStart = -1;
  UserScript again;
  again.InDialog(kTitle, [&](HWND dialog) {
    rowsAtStart = ListView_GetItemCount(GetDlgItem(dialog, IDC_FILELIST));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(rowsAtStart, 2);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CdforgeWindowTest, MissingOrEmptyListFileEndsTheProgramWithItsMessage) {
  EXPECT_EQ(Run({L"/FL", files / L"none.txt"}), 1);
  EXPECT_EQ(Run({L"/FL", ListFile("\r\n\r\n")}), 1);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{L"Conversion list file cannot be opened.",
                                                      L"Conversion list file is empty."}));
}

TEST_F(CdforgeWindowTest, CdImagesSaveLoadAndDeleteWithTheirMessages) {
  const std::wstring a = Wav(L"a.wav", 75), b = Wav(L"b.wav", 150);
  ASSERT_TRUE(WriteFileBytes(images / L"broken.fgx", "<cdimage"));
  std::vector<std::wstring> afterLoad;
  int formatAfterLoad = 0;
  bool settingsAfterLoad = false;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        SelectComboItem(dialog, IDC_FORMAT, 2);  // Windows Media CD
        Click(dialog, IDC_CDIMAGE);
      })
      .InDialog(L"CD Images", [&](HWND images) {
        PauseForALook();
        Click(images, IDC_IMG_SAVE);  // no name yet
        TypeText(images, IDC_IMG_NAME, L"mine");
        Click(images, IDC_IMG_SAVE);
        Click(images, IDC_IMG_SAVE);  // exists: overwrite (Yes)
        TypeText(images, IDC_IMG_NAME, L"");
        Click(images, IDC_IMG_LOAD);
        TypeText(images, IDC_IMG_NAME, L"nothing");
        Click(images, IDC_IMG_LOAD);
        TypeText(images, IDC_IMG_NAME, L"broken");
        Click(images, IDC_IMG_LOAD);  // rows present: asked first (Yes)
        Click(images, IDCANCEL);
      })
      .InDialog(kTitle, [&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDM_REMOVEALL, 0);
        SelectComboItem(dialog, IDC_FORMAT, 0);
        Click(dialog, IDC_CDIMAGE);
      })
      .InDialog(L"CD Images", [&](HWND images) {
        // The saved names are offered without their extension.
        EXPECT_GE(FindComboItem(images, IDC_IMG_NAME, L"mine"), 0);
        TypeText(images, IDC_IMG_NAME, L"mine");
        Click(images, IDC_IMG_LOAD);  // empty list: no question; the dialog closes
      })
      .InDialog(kTitle, [&](HWND dialog) {
        HWND rows = GetDlgItem(dialog, IDC_FILELIST);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i) afterLoad.push_back(ItemText(rows, i, 0));
        formatAfterLoad = static_cast<int>(SendDlgItemMessageW(dialog, IDC_FORMAT, CB_GETCURSEL, 0, 0));
        settingsAfterLoad = IsEnabled(dialog, IDC_SETTINGS);
        Click(dialog, IDC_CDIMAGE);
      })
      .InDialog(L"CD Images", [&](HWND images) {
        TypeText(images, IDC_IMG_NAME, L"");
        Click(images, IDC_IMG_DELETE);
        TypeText(images, IDC_IMG_NAME, L"nothing");
        Click(images, IDC_IMG_DELETE);
        TypeText(images, IDC_IMG_NAME, L"mine");
        Click(images, IDC_IMG_DELETE);
        Click(images, IDCANCEL);
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  boxes.answers = {IDYES, IDYES, IDYES};
  const std::wstring list = ListFile(Utf8(a) + "\r\n" + Utf8(b) + "\r\n");
  EXPECT_EQ(Run({L"/FL", list}), 0);
  EXPECT_TRUE(user.Done());

  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{
                               CCdImageFile::kMsgEnterSaveName, CCdImageFile::kMsgOverwrite,
                               CCdImageFile::kMsgEnterLoadName, CCdImageFile::kMsgNotExist,
                               CCdImageFile::kMsgLoseCurrent, CCdImageFile::kMsgCannotLoad,
                               CCdImageFile::kMsgEnterDeleteName, CCdImageFile::kMsgNotExist,
                               CCdImageFile::kMsgConfirmDelete}));
  EXPECT_EQ(afterLoad, (std::vector<std::wstring>{L"1. a.wav", L"2. b.wav"}));
  EXPECT_EQ(formatAfterLoad, 2) << "a Windows Media CD image loads back as one";
  EXPECT_TRUE(settingsAfterLoad);
  EXPECT_FALSE(FileExists(images / L"mine.fgx"));
  EXPECT_TRUE(FileExists(images / L"broken.fgx")) << "a failed load leaves the file alone";
}

TEST_F(CdforgeWindowTest, DroppedImageAloneIsLoadedButAmongOtherFilesIgnored) {
  const std::wstring a = Wav(L"a.wav", 75), b = Wav(L"b.wav", 75), dropped = Wav(L"dropped.wav", 75);
  CdImage image;
  image.format = CdImage::kFormatMp3Cd;
  image.label = L"Dropped";
  image.files = {a, b};
  CCdImageFile file;
  ASSERT_TRUE(file.Save(files / L"drop.fgx", image));
  std::vector<std::wstring> mixed, alone;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
    HWND rows = GetDlgItem(dialog, IDC_FILELIST);
    DropOn(dialog, {files / L"drop.fgx", dropped});
    for (int i = 0; i < ListView_GetItemCount(rows); ++i) mixed.push_back(ItemText(rows, i, 0));
    DropOn(dialog, {files / L"drop.fgx"});
    for (int i = 0; i < ListView_GetItemCount(rows); ++i) alone.push_back(ItemText(rows, i, 0));
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(Run({}), 0);
  ASSERT_TRUE(user.Done()) << "the window was not shown: " << testing::PrintToString(boxes.Texts());
  EXPECT_EQ(mixed, (std::vector<std::wstring>{L"1. dropped.wav"}));
  EXPECT_EQ(alone, (std::vector<std::wstring>{L"1. a.wav", L"2. b.wav"}));
  EXPECT_TRUE(boxes.shown.empty()) << "a dropped image replaces the list without asking";
  CdImage working;
  ASSERT_TRUE(file.Load(images / L"WorkingCDImage.fgx", working));
  EXPECT_EQ(working.format, CdImage::kFormatMp3Cd);
  EXPECT_EQ(working.label, L"Dropped");
}

TEST_F(CdforgeWindowTest, DataCdSettingsStoreLabelAndChoicesAndClearOnlyCacheFiles) {
  int oldNoReencode = 1, oldUseCache = 1;
  wchar_t oldCache[512] = {};
  ReadPInt(L"Settings", L"NoReencode", &oldNoReencode);
  ReadPInt(L"Settings", L"UseCDCache", &oldUseCache);
  const bool hadCache = ReadPString(L"Settings", L"CDCache", oldCache) != FALSE;
  WritePString(L"Settings", L"CDCache", files.Path().c_str());
  WritePInt(L"Settings", L"NoReencode", 1);
  CreateDirectoryW((files / L"wma").c_str(), nullptr);
  const std::wstring digest = L"0123456789abcdef0123456789ABCDEF";
  for (const std::wstring& name : std::vector<std::wstring>{digest + L".wma", L"0123456789abcdef0123456789abcdeg.wma", L"short.wma",
                                   digest + L"0.wma"})
    ASSERT_TRUE(WriteFileBytes(files / (L"wma\\" + name), "x"));

  std::wstring mp3Title, wmaTitle;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        SelectComboItem(dialog, IDC_FORMAT, 1);
        Click(dialog, IDC_SETTINGS);
      })
      .InDialog(L"MP3 CD Settings", [&](HWND settings) {
        PauseForALook();
        TypeText(settings, IDC_ISO_LABEL, L"My Disc");
        Click(settings, IDC_ISO_NOREENCODE);
        Click(settings, IDOK);
      })
      .InDialog(kTitle, [&](HWND dialog) {
        SelectComboItem(dialog, IDC_FORMAT, 2);
        Click(dialog, IDC_SETTINGS);
      })
      .InDialog(L"Windows Media CD Settings", [&](HWND settings) {
        EXPECT_EQ(ControlText(settings, IDC_ISO_LABEL), L"My Disc");
        EXPECT_FALSE(IsChecked(settings, IDC_ISO_NOREENCODE));
        Click(settings, IDC_ISO_CLEAR);
        TypeText(settings, IDC_ISO_LABEL, L"Not kept");
        Click(settings, IDCANCEL);
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  CBurnCDDlg burner(nullptr);
  burner.DoModal(nullptr);
  EXPECT_TRUE(user.Done());

  int noReencode = 1;
  ReadPInt(L"Settings", L"NoReencode", &noReencode);
  EXPECT_EQ(noReencode, 0);
  EXPECT_EQ(burner.Label(), L"My Disc");
  EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{L"Do you want to delete all cache files?",
                                                      L"Cleared cache: 1 cache files deleted successfully, 0 failed"}));
  EXPECT_FALSE(FileExists(files / (L"wma\\" + digest + L".wma")));
  EXPECT_TRUE(FileExists(files / L"wma\\0123456789abcdef0123456789abcdeg.wma"));
  EXPECT_TRUE(FileExists(files / L"wma\\short.wma"));
  EXPECT_TRUE(FileExists(files / (L"wma\\" + digest + L"0.wma")));

  WritePInt(L"Settings", L"NoReencode", oldNoReencode);
  WritePInt(L"Settings", L"UseCDCache", oldUseCache);
  WritePString(L"Settings", L"CDCache", hadCache ? oldCache : nullptr);
}

TEST_F(CdforgeWindowTest, RecordCdToTheImageRecorderWritesBothTracks) {
  for (const wchar_t* name : {L"one.wav", L"two.wav"})
    ASSERT_TRUE(WriteFileBytes(files / name, WavFile(44100, 2, 16, 40 * 2352)));
  const std::wstring bin = files / L"disc.bin";
  bool burning = false, closeEnabledAtEnd = false;
  std::wstring log;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        PauseForALook();
        SelectComboItem(dialog, IDC_DRIVE, FindComboItem(dialog, IDC_DRIVE, CBurnCDDlg::kImageRecorderText));
        TypeText(dialog, IDC_IMAGEFILE, bin);
        SelectComboItem(dialog, IDC_SPEED, FindComboItem(dialog, IDC_SPEED, L"4 X"));
        Click(dialog, IDC_RECORD);
      })
      .InDialog(L"Recording CD", [&](HWND progress) {
        burning = !IsWindowEnabled(GetParent(progress)) || !IsEnabled(progress, IDC_BURN_CLOSE);
        WhenBurnEnds(progress, [&closeEnabledAtEnd, &log](HWND window) {
          closeEnabledAtEnd = true;
          log = ControlText(window, IDC_BURN_LOG);
          PauseForALook();
          Click(window, IDC_BURN_CLOSE);
        });
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  CBurnCDDlg burner(nullptr);
  burner.startFiles = {files / L"one.wav", files / L"two.wav"};
  burner.DoModal(nullptr);
  EXPECT_TRUE(user.Done());
  EXPECT_TRUE(burning);
  EXPECT_TRUE(closeEnabledAtEnd);
  EXPECT_EQ(burner.LastOutcome(), BurnOutcome::Completed);
  EXPECT_NE(log.find(L"Recording speed: 4 X"), std::wstring::npos) << log;

  const std::string cue = ReadFileBytes(files / L"disc.cue");
  ASSERT_FALSE(cue.empty());
  size_t tracks = 0;
  for (size_t at = cue.find("TRACK"); at != std::string::npos; at = cue.find("TRACK", at + 1)) ++tracks;
  EXPECT_EQ(tracks, 2u) << cue;
  EXPECT_GE(ReadFileBytes(bin).size(), 80u * 2352);
}

TEST_F(CdforgeWindowTest, OrderByTrackNumberPutsNumberedRowsFirstInOrder) {
  // Track numbers 7, none, 1, 5, 1: a gap and a repeated number, as a list from two albums has.
  std::string list;
  for (const wchar_t* name : {L"a", L"b", L"c", L"d", L"e"})
    list += Utf8(std::wstring(BURN_INPUTS) + L"\\track " + name + L".mp3") + "\r\n";
  std::vector<std::wstring> ordered;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) { RightClickListSpace(GetDlgItem(dialog, IDC_FILELIST)); })
      .InMenu([&](HWND menu, const std::vector<std::wstring>& items) {
        ASSERT_EQ(items.size(), 2u);
        ChooseMenuItem(menu, 1);
      })
      .InDialog(kTitle, [&](HWND dialog) {
        HWND rows = GetDlgItem(dialog, IDC_FILELIST);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i) ordered.push_back(ItemText(rows, i, 0));
        Click(dialog, IDCANCEL);
      });
  EXPECT_EQ(Run({L"/FL", ListFile(list)}), 0);
  EXPECT_TRUE(user.Done());
  EXPECT_EQ(ordered, (std::vector<std::wstring>{L"1. track c.mp3", L"2. track e.mp3", L"3. track d.mp3",
                                                L"4. track a.mp3", L"5. track b.mp3"}));
}

TEST_F(CdforgeWindowTest, PlaylistWithAMissingEntryRecordsNothingAndNamesTheFile) {
  TempFolder temp;
  wchar_t oldTemp[512] = {};
  const bool hadTemp = ReadPString(L"Settings", L"TempPath", oldTemp) != FALSE;
  WritePString(L"Settings", L"TempPath", temp.Path().c_str());
  for (const wchar_t* name : {L"one.wav", L"three.wav"})
    ASSERT_TRUE(WriteFileBytes(files / name, WavFile(44100, 2, 16, 40 * 2352)));
  ASSERT_TRUE(WriteFileBytes(files / L"album.m3u", "#EXTM3U\r\none.wav\r\ntwo.wav\r\nthree.wav\r\n"));
  const std::wstring bin = files / L"disc.bin";
  std::vector<std::wstring> seen;
  std::wstring log;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        DropOn(dialog, {files / L"album.m3u"});
        HWND rows = GetDlgItem(dialog, IDC_FILELIST);
        for (int i = 0; i < ListView_GetItemCount(rows); ++i)
          seen.push_back(ItemText(rows, i, 0) + L"|" + ItemText(rows, i, 1));
        SelectComboItem(dialog, IDC_DRIVE, FindComboItem(dialog, IDC_DRIVE, CBurnCDDlg::kImageRecorderText));
        TypeText(dialog, IDC_IMAGEFILE, bin);
        Click(dialog, IDC_RECORD);
      })
      .InDialog(L"Recording CD", [&](HWND progress) {
        WhenBurnEnds(progress, [&log](HWND window) {
          log = ControlText(window, IDC_BURN_LOG);
          PauseForALook();
          Click(window, IDC_BURN_CLOSE);
        });
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  CBurnCDDlg burner(nullptr);
  burner.DoModal(nullptr);
  WritePString(L"Settings", L"TempPath", hadTemp ? oldTemp : nullptr);
  EXPECT_TRUE(user.Done());
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"1. one.wav|00:00:40", L"2. two.wav|?", L"3. three.wav|00:00:40"}));
  EXPECT_EQ(burner.LastOutcome(), BurnOutcome::Failed);
  EXPECT_NE(log.find(files / L"two.wav\r\nSource file cannot be opened"), std::wstring::npos)
      << "the log does not name the missing file:\n" << log;
  EXPECT_EQ(log.find(L"successfully"), std::wstring::npos);
  EXPECT_EQ(log.find(files / L"one.wav"), std::wstring::npos) << "a track was converted before the refusal";
  EXPECT_FALSE(FileExists(bin));
  EXPECT_FALSE(FileExists(files / L"disc.cue"));
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((temp / L"*").c_str(), &found);
  bool leftovers = false;
  if (find != INVALID_HANDLE_VALUE) {
    do leftovers |= !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileW(find, &found));
    FindClose(find);
  }
  EXPECT_FALSE(leftovers) << "staging files left behind";
}

// Records what the windows hand to the shell instead of starting the help viewer.
struct ShellDouble {
  ShellDouble() { active = this, cdforgeShellExecute = &Run; }
  ~ShellDouble() { active = nullptr, cdforgeShellExecute = &ShellExecuteW; }
  static HINSTANCE WINAPI Run(HWND, const wchar_t*, const wchar_t* file, const wchar_t* parameters, const wchar_t*,
                              INT) {
    active->started.push_back(std::wstring(file) + L" " + parameters);
    return reinterpret_cast<HINSTANCE>(33);
  }
  static ShellDouble* active;
  std::vector<std::wstring> started;
};
ShellDouble* ShellDouble::active = nullptr;

TEST_F(CdforgeWindowTest, HelpOpensEachWindowsPageOfTheHelpFileBesideTheProgram) {
  ShellDouble shell;
  UserScript user;
  user.InDialog(kTitle, [&](HWND dialog) {
        Click(dialog, IDC_HELPBUTTON);
        Click(dialog, IDC_CDIMAGE);
      })
      .InDialog(L"CD Images", [&](HWND images) {
        Click(images, IDC_IMG_HELP);
        Click(images, IDCANCEL);
      })
      .InDialog(kTitle, [&](HWND dialog) {
        SelectComboItem(dialog, IDC_FORMAT, 1);
        Click(dialog, IDC_SETTINGS);
      })
      .InDialog(L"MP3 CD Settings", [&](HWND settings) {
        Click(settings, IDC_ISO_HELP);
        Click(settings, IDCANCEL);
      })
      .InDialog(kTitle, [&](HWND dialog) { Click(dialog, IDCANCEL); });
  CBurnCDDlg burner(nullptr);
  burner.DoModal(nullptr);
  EXPECT_TRUE(user.Done());

  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring chm = exe;
  chm = chm.substr(0, chm.find_last_of(L'\\') + 1) + L"cdforge.chm";
  EXPECT_EQ(shell.started, (std::vector<std::wstring>{L"hh.exe \"" + chm + L"::/main.htm\"",
                                                      L"hh.exe \"" + chm + L"::/cdimages.htm\"",
                                                      L"hh.exe \"" + chm + L"::/settings.htm\""}));
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
