// The Wave settings dialog, driven with messages as a user would: Cancel, OK, "Set Default", and the
// defaults mode of the stored settings.
#include <gtest/gtest.h>

#include "ModalDriver.h"
#include "WavFiles.h"

namespace {
constexpr int kCodecList = 1103;
constexpr int kFormatList = 1102;
constexpr int kSetDefault = 1039;
constexpr int kChannelsLabel = 1002;

// Every test starts and ends without stored Wave defaults.
class WavSettingsDialog : public testing::Test {
 protected:
  void SetUp() override { WritePString(L"WAV", nullptr, nullptr); }
  void TearDown() override { WritePString(L"WAV", nullptr, nullptr); }

  static std::wstring Text(IConvertDestination* destination) {
    wchar_t text[256] = L"";
    destination->GetSettingsText(text, 256);
    return text;
  }
  static std::wstring Label(HWND dialog, int id) {
    wchar_t text[128] = L"";
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
  }
  // Chooses IMA ADPCM and its 22050 Hz mono format.
  static void ChooseImaMono(HWND dialog) {
    int codec = FindComboItem(dialog, kCodecList, L"IMA ADPCM");
    ASSERT_GE(codec, 0);
    SelectComboItem(dialog, kCodecList, codec);
    int format = FindComboItem(dialog, kFormatList, L"22050 Hz; 4 bits; Mono");
    ASSERT_GE(format, 1);
    SelectComboItem(dialog, kFormatList, format);
  }
  static int StoredTag() {
    int tag = -1;
    ReadPInt(L"WAV", L"FormatTag", &tag);
    return tag;
  }
};
}  // namespace

TEST_F(WavSettingsDialog, CancelAfterChangesKeepsTheSettings) {
  IConvertDestination* destination = NewWavDestination();
  std::wstring before = Text(destination);
  std::wstring details;
  ModalDriver driver([&](HWND dialog) {
    ChooseImaMono(dialog);
    details = Label(dialog, kChannelsLabel);
    Click(dialog, IDCANCEL);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_TRUE(driver.Drove());
  EXPECT_EQ(L"1 - Mono", details) << "a chosen format shows its details";
  EXPECT_EQ(before, Text(destination));
  destination->Release();
}

TEST_F(WavSettingsDialog, OkAppliesToTheDestinationAndTheOthersListed) {
  IConvertDestination* destination = NewWavDestination();
  IConvertDestination* other = NewWavDestination();
  IConvertDestination* list[] = {other, nullptr};
  std::wstring automaticDetails;
  bool okEnabledWithoutFormat = true;
  ModalDriver driver([&](HWND dialog) {
    automaticDetails = Label(dialog, kChannelsLabel);
    SelectComboItem(dialog, kFormatList, -1);
    okEnabledWithoutFormat = IsWindowEnabled(GetDlgItem(dialog, IDOK));
    ChooseImaMono(dialog);
    Click(dialog, IDOK);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, list));
  EXPECT_EQ(L"Unknown", automaticDetails) << "the automatic item has no details";
  EXPECT_FALSE(okEnabledWithoutFormat) << "OK needs a selected format item";
  EXPECT_EQ(L"IMA ADPCM; 22050 Hz; 4 bits; Mono", Text(destination));
  EXPECT_EQ(Text(destination), Text(other));
  EXPECT_EQ(-1, StoredTag()) << "OK on a destination's own settings stores nothing";
  other->Release();
  destination->Release();
}

TEST_F(WavSettingsDialog, KeyboardAndAccessKeys) {
  IConvertDestination* destination = NewWavDestination();
  std::wstring problems, chosen, channels;
  int codecFocused = 0, formatFocused = 0;
  ModalDriver driver([&](HWND dialog) {
    problems = AccessKeyProblems(dialog);
    PressAccessKey(dialog, L'c');
    codecFocused = FocusedId();
    PressAccessKey(dialog, L'f');
    formatFocused = FocusedId();
    PressKey(dialog, VK_DOWN);
    wchar_t text[256] = L"";
    SendDlgItemMessageW(dialog, kFormatList, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
    chosen = text;
    channels = Label(dialog, kChannelsLabel);
    PressKey(dialog, VK_RETURN);
  });
  EXPECT_TRUE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"", problems);
  EXPECT_EQ(kCodecList, codecFocused) << "a label's key reaches the list it names";
  EXPECT_EQ(kFormatList, formatFocused);
  EXPECT_NE(L"Unknown", channels) << "the format chosen with the arrow key shows its details";
  EXPECT_EQ(L"PCM; " + chosen, Text(destination));
  destination->Release();
}

TEST_F(WavSettingsDialog, SetDefaultThenCancel) {
  IConvertDestination* destination = NewWavDestination();
  ModalDriver driver([&](HWND dialog) {
    ChooseImaMono(dialog);
    Click(dialog, kSetDefault);
    Click(dialog, IDCANCEL);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(L"PCM; auto detection", Text(destination)) << "the destination's own record is restored";
  EXPECT_EQ(WAVE_FORMAT_IMA_ADPCM, StoredTag()) << "the stored defaults stay written";
  IConvertDestination* fresh = NewWavDestination();
  EXPECT_EQ(L"IMA ADPCM; 22050 Hz; 4 bits; Mono", Text(fresh)) << "new destinations start from the defaults";
  fresh->Release();
  destination->Release();
}

TEST_F(WavSettingsDialog, DefaultsMode) {
  CONVFORMAT wave;
  ASSERT_EQ(S_OK, ConvGetFormatByName(&wave, L"Wave"));
  wchar_t text[256] = L"";
  ASSERT_EQ(S_OK, ConvDefOutputSettingsString(text, 256, &wave));
  EXPECT_STREQ(L"PCM; auto detection", text);

  bool setDefaultVisible = true;
  wchar_t title[128] = L"";
  ModalDriver driver([&](HWND dialog) {
    setDefaultVisible = IsWindowVisible(GetDlgItem(dialog, kSetDefault));
    GetWindowTextW(dialog, title, 128);
    ChooseImaMono(dialog);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(S_OK, ConvDefOutputSettings(nullptr, &wave));
  EXPECT_FALSE(setDefaultVisible);
  EXPECT_STREQ(L"Wave Settings (default)", title);
  EXPECT_EQ(WAVE_FORMAT_IMA_ADPCM, StoredTag()) << "OK saves the defaults";
  ASSERT_EQ(S_OK, ConvDefOutputSettingsString(text, 256, &wave));
  EXPECT_STREQ(L"IMA ADPCM; 22050 Hz; 4 bits; Mono", text);

  ModalDriver cancel([&](HWND dialog) { Click(dialog, IDCANCEL); });
  EXPECT_EQ(E_ABORT, ConvDefOutputSettings(nullptr, &wave));

  CONVFORMAT aiff;
  ASSERT_EQ(S_OK, ConvGetFormatByName(&aiff, L"AIFF"));
  EXPECT_EQ(S_FALSE, ConvDefOutputSettings(nullptr, &aiff)) << "no settings dialog: nothing shown";
  EXPECT_EQ(E_FAIL, ConvDefOutputSettingsString(text, 256, &aiff));
  CONVFORMAT mpeg;
  ASSERT_EQ(S_OK, ConvGetFormatAt(&mpeg, 1));
  EXPECT_EQ(S_FALSE, ConvDefOutputSettings(nullptr, &mpeg));
}

TEST_F(WavSettingsDialog, DamagedStoredDefaultsAreIgnored) {
  WritePInt(L"WAV", L"WaveFormatExSize", 40);
  PutProfileBinary(L"WAV", L"WaveFormatEx", "short", 5);
  WritePInt(L"WAV", L"FormatTag", WAVE_FORMAT_IMA_ADPCM);
  IConvertDestination* destination = NewWavDestination();
  EXPECT_EQ(L"IMA ADPCM; auto detection", Text(destination));
  destination->Release();
}
