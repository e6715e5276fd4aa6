// The Ogg Vorbis settings dialog, driven with messages as a user would, and its stored defaults.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ModalDriver.h"
#include "OggFiles.h"
#include "WavFiles.h"

namespace {
constexpr int kSetDefault = 1039;
constexpr int kQualityMode = 1301, kAverageMode = 1302, kQuality = 1303, kQualityLabel = 1304;
constexpr int kAverage = 1305, kAverageLabel = 1306, kUseMin = 1307, kMin = 1308, kMinLabel = 1309;
constexpr int kUseMax = 1310, kMax = 1311, kMaxLabel = 1312;
constexpr int kQualityValue = 1313, kAverageValue = 1314, kMinValue = 1315, kMaxValue = 1316;

class OggSettingsDialog : public testing::Test {
 protected:
  void SetUp() override { WritePString(L"OGG", nullptr, nullptr); }
  void TearDown() override { WritePString(L"OGG", nullptr, nullptr); }

  // A check box clicked when it does not show the wanted state.
  static void SetBox(HWND dialog, int id, bool checked) {
    if (IsChecked(dialog, id) != checked) Click(dialog, id);
  }
  // The slider taken to its start with Home and moved with the arrow key, as from the keyboard.
  static void Slide(HWND dialog, int id, int position) {
    Focus(dialog, id);
    PressKey(dialog, VK_HOME);
    for (int step = 0; step < position; ++step) PressKey(dialog, VK_RIGHT);
  }
  static std::wstring Label(HWND dialog, int id) {
    wchar_t text[64] = L"";
    GetDlgItemTextW(dialog, id, text, 64);
    return text;
  }
  // The mode the radio buttons show: the id of the one checked button, or 0 unless exactly one is.
  static int CheckedMode(HWND dialog) {
    bool quality = IsChecked(dialog, kQualityMode), average = IsChecked(dialog, kAverageMode);
    return quality == average ? 0 : quality ? kQualityMode : kAverageMode;
  }
  static int Position(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0));
  }
  static bool StoredDefaults() {
    char record[64];
    UINT32 size = sizeof record;
    return GetProfileBinary(L"OGG", L"OggSettings", record, &size);
  }
};
}  // namespace

TEST_F(OggSettingsDialog, CancelAfterChangesKeepsTheSettings) {
  IConvertDestination* destination = NewOggDestination();
  ASSERT_TRUE(destination->SetOption(L"quality", L"60", nullptr));
  int shownQuality = -1;
  ModalDriver driver([&](HWND dialog) {
    shownQuality = Position(dialog, kQuality);
    Click(dialog, kAverageMode);
    Slide(dialog, kAverage, 7);
    Click(dialog, kUseMax);
    Click(dialog, IDCANCEL);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_TRUE(driver.Drove());
  EXPECT_EQ(6, shownQuality);
  EXPECT_EQ(L"VBR Quality 60%", SettingsText(destination));
  destination->Release();
}

TEST_F(OggSettingsDialog, OkAppliesToTheDestinationAndTheOggDestinationsListed) {
  IConvertDestination* destination = NewOggDestination();
  IConvertDestination* other = NewOggDestination();
  IConvertDestination* wave = NewWavDestination();
  IConvertDestination* list[] = {other, wave, nullptr};
  std::wstring waveBefore = SettingsText(wave);
  ModalDriver driver([&](HWND dialog) {
    Click(dialog, kAverageMode);
    Slide(dialog, kAverage, 3);
    Click(dialog, kUseMax);
    Slide(dialog, kMax, 5);
    Click(dialog, IDOK);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, list));
  EXPECT_EQ(L"ABR 128 kbps; Max. 192 kbps", SettingsText(destination));
  EXPECT_EQ(SettingsText(destination), SettingsText(other));
  EXPECT_EQ(waveBefore, SettingsText(wave)) << "other formats in the list are left alone";
  EXPECT_FALSE(StoredDefaults()) << "OK on a destination's own settings stores nothing";
  wave->Release();
  other->Release();
  destination->Release();
}

TEST_F(OggSettingsDialog, QualityModeReadsOnlyTheQuality) {
  IConvertDestination* destination = NewOggDestination();
  ASSERT_TRUE(destination->SetOption(L"quality-based", L"no", nullptr));
  ASSERT_TRUE(destination->SetOption(L"avg-bitrate", L"256", nullptr));
  ASSERT_TRUE(destination->SetOption(L"min-bitrate", L"64", nullptr));
  ModalDriver driver([&](HWND dialog) {
    Slide(dialog, kAverage, 0);
    Click(dialog, kQualityMode);
    Slide(dialog, kQuality, 9);
    Click(dialog, IDOK);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"VBR Quality 90%", SettingsText(destination));
  ASSERT_TRUE(destination->SetOption(L"quality-based", L"no", nullptr));
  EXPECT_EQ(L"ABR 256 kbps; Min. 64 kbps", SettingsText(destination)) << "the rates stay as they were";
  destination->Release();
}

TEST_F(OggSettingsDialog, EnablingFollowsTheModeAndTheCheckBoxes) {
  struct Case {
    int mode;
    bool useMin, useMax;
    bool quality, average, minimum, maximum;
  } cases[] = {
      {kQualityMode, true, true, true, false, false, false},
      {kAverageMode, false, false, false, true, false, false},
      {kAverageMode, true, false, false, true, true, false},
      {kAverageMode, false, true, false, true, false, true},
  };
  IConvertDestination* destination = NewOggDestination();
  ModalDriver driver([&](HWND dialog) {
    auto enabled = [&](int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; };
    for (const Case& c : cases) {
      Click(dialog, c.mode);
      SetBox(dialog, kUseMin, c.useMin);
      SetBox(dialog, kUseMax, c.useMax);
      SCOPED_TRACE(testing::Message() << "mode " << c.mode << " min " << c.useMin << " max " << c.useMax);
      EXPECT_EQ(c.mode, CheckedMode(dialog)) << "exactly the clicked mode button is checked";
      EXPECT_EQ(c.quality, enabled(kQuality));
      EXPECT_EQ(c.quality, enabled(kQualityLabel));
      for (int id : {kAverage, kAverageLabel, kUseMin, kUseMax}) EXPECT_EQ(c.average, enabled(id)) << id;
      EXPECT_EQ(c.minimum, enabled(kMin));
      EXPECT_EQ(c.minimum, enabled(kMinLabel));
      EXPECT_EQ(c.maximum, enabled(kMax));
      EXPECT_EQ(c.maximum, enabled(kMaxLabel));
    }
    Click(dialog, IDCANCEL);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_TRUE(driver.Drove());
  destination->Release();
}

TEST_F(OggSettingsDialog, KeyboardAlone) {
  IConvertDestination* destination = NewOggDestination();
  int modeAfterDown = -1, modeAfterUp = -1, modeAfterSecondDown = -1;
  bool averageEnabled = false, qualityEnabled = true, minimumEnabled = false;
  std::vector<int> tabOrder;
  std::wstring qualityValue, averageValue, minimumValue;
  ModalDriver driver([&](HWND dialog) {
    qualityValue = Label(dialog, kQualityValue);
    Focus(dialog, kQualityMode);
    PressKey(dialog, VK_DOWN);
    modeAfterDown = CheckedMode(dialog);
    averageEnabled = IsEnabled(dialog, kAverage);
    qualityEnabled = IsEnabled(dialog, kQuality);
    PressKey(dialog, VK_UP);
    modeAfterUp = CheckedMode(dialog);
    PressKey(dialog, VK_DOWN);
    modeAfterSecondDown = CheckedMode(dialog);
    for (int step = 0; step < 8; ++step) {
      tabOrder.push_back(FocusedId());
      PressKey(dialog, VK_TAB);
    }
    Focus(dialog, kAverage);
    PressKey(dialog, VK_RIGHT);
    averageValue = Label(dialog, kAverageValue);
    Focus(dialog, kUseMin);
    PressKey(dialog, VK_SPACE);
    minimumEnabled = IsEnabled(dialog, kMin);
    Focus(dialog, kMin);
    PressKey(dialog, VK_END);
    minimumValue = Label(dialog, kMinValue);
    Focus(dialog, IDOK);
    PressKey(dialog, VK_RETURN);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"40%", qualityValue) << "a slider shows its value beside it";
  EXPECT_EQ(kAverageMode, modeAfterDown) << "the arrow key moves within the two mode buttons and checks";
  EXPECT_TRUE(averageEnabled);
  EXPECT_FALSE(qualityEnabled);
  EXPECT_EQ(kQualityMode, modeAfterUp);
  EXPECT_EQ(kAverageMode, modeAfterSecondDown);
  EXPECT_EQ((std::vector<int>{kAverageMode, kAverage, kUseMin, kUseMax, IDOK, IDCANCEL, kSetDefault, kAverageMode}),
            tabOrder)
      << "Tab visits each enabled control once, the mode group at its checked button";
  EXPECT_EQ(L"128 kbps", averageValue);
  EXPECT_TRUE(minimumEnabled) << "space checks the box";
  EXPECT_EQ(L"320 kbps", minimumValue);
  EXPECT_EQ(L"ABR 128 kbps; Min. 320 kbps", SettingsText(destination));
  destination->Release();
}

TEST_F(OggSettingsDialog, AccessKeys) {
  IConvertDestination* destination = NewOggDestination();
  std::wstring problems;
  int mode = 0, focused = 0;
  ModalDriver driver([&](HWND dialog) {
    problems = AccessKeyProblems(dialog);
    PressAccessKey(dialog, L'a');
    mode = CheckedMode(dialog);
    PressAccessKey(dialog, L'b');
    focused = FocusedId();
    Click(dialog, IDOK);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"", problems);
  EXPECT_EQ(kAverageMode, mode);
  EXPECT_EQ(kAverage, focused) << "a label's key reaches the slider it names";
  EXPECT_EQ(L"ABR 96 kbps", SettingsText(destination));
  destination->Release();
}

TEST_F(OggSettingsDialog, SetDefaultThenCancel) {
  IConvertDestination* destination = NewOggDestination();
  ModalDriver driver([&](HWND dialog) {
    Slide(dialog, kQuality, 7);
    Click(dialog, kSetDefault);
    Click(dialog, IDCANCEL);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"VBR Quality 40%", SettingsText(destination)) << "the destination's own record is restored";
  EXPECT_TRUE(StoredDefaults()) << "the stored defaults stay written";
  IConvertDestination* fresh = NewOggDestination();
  EXPECT_EQ(L"VBR Quality 70%", SettingsText(fresh)) << "new destinations start from the defaults";
  fresh->Release();
  destination->Release();
}

TEST_F(OggSettingsDialog, StoredDefaultsAreCheckedBeforeUse) {
  struct Case {
    std::vector<int32_t> record;
    const wchar_t* text;
  } cases[] = {
      {{0, 40, 1, 1, 64, 192, 128}, L"ABR 128 kbps; Min. 64 kbps; Max. 192 kbps"},
      {{0, 40, 7, 0, 50, 9999, -3}, L"ABR 48 kbps; Min. 48 kbps"},
      {{5, 400, 0, 0, 48, 320, 96}, L"VBR Quality 100%"},
      {{0, 40, 1, 1, 64, 192}, L"VBR Quality 40%"},  // a record of another size is not used
  };
  for (const Case& c : cases) {
    PutProfileBinary(L"OGG", L"OggSettings", c.record.data(), static_cast<UINT32>(c.record.size() * 4));
    IConvertDestination* destination = NewOggDestination();
    EXPECT_EQ(c.text, SettingsText(destination));
    destination->Release();
  }
}
