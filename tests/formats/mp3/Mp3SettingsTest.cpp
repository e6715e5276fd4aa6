// MP3 settings: named options and their texts, the one-line description, size estimates, stored defaults
// and the settings dialog driven with messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "ModalDriver.h"
#include "WavFiles.h"

namespace {
constexpr int kMode = 1201, kSlider = 1202, kSliderMin = 1203, kSliderMax = 1204, kValue = 1205, kLabel = 1206,
              kResample = 1207, kJointStereo = 1208, kCrc = 1209, kSetDefault = 1039;

class Mp3Settings : public testing::Test {
 protected:
  void SetUp() override { WritePString(L"MP3", nullptr, nullptr); }
  void TearDown() override { WritePString(L"MP3", nullptr, nullptr); }

  static IConvertDestination* NewMp3() {
    CONVFORMAT row;
    EXPECT_EQ(S_OK, ConvGetFormatByName(&row, L"mp3"));
    IConvertDestination* destination = nullptr;
    EXPECT_EQ(S_OK, ConvCreateDest(&row, &destination));
    return destination;
  }
  static std::wstring Text(IConvertDestination* destination) {
    wchar_t text[128] = L"";
    EXPECT_TRUE(destination->GetSettingsText(text, 128));
    return text;
  }
  static std::wstring Label(HWND dialog, int id) {
    wchar_t text[128] = L"";
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
  }
  static std::wstring Item(HWND dialog, int id, int index) {
    wchar_t text[128] = L"";
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
  }
};
}  // namespace

TEST_F(Mp3Settings, OptionsAndTheirTexts) {
  IConvertDestination* mp3 = NewMp3();
  EXPECT_EQ(L"ABR 128 kbps", Text(mp3));
  const wchar_t* number = L"Value must be a number ended by either kbps, bps or nothing";
  const wchar_t* onOff = L"Value either 'on' or 'off'. If no value is specified, 'on' will be used";
  const wchar_t* kRates = L"Sample rate must be 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 or 48000 Hz";
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
    bool accepted;
    const wchar_t* error;  // expected text when refused
    const wchar_t* after;  // settings text afterwards, or null
  } cases[] = {
      {L"bitrate", L"128000bps", true, L"", L"ABR 128 kbps"},
      {L"bitrate", L"192KBPS", true, L"", L"ABR 192 kbps"},
      {L"bitrate", L"160", true, L"", L"ABR 160 kbps"},
      {L"bitrate", L"128 kbps", false, number, L"ABR 160 kbps"},
      {L"bitrate", nullptr, false, number, nullptr},
      {L"vbr-mode", L"VBR", true, L"", L"VBR Quality 70%"},
      {L"vbr-quality", L"75", false, L"Value must be a number between 10 and 100 (and must be divisible by 10)",
       nullptr},
      {L"vbr-quality", L"110", false, L"Value must be a number between 10 and 100 (and must be divisible by 10)",
       nullptr},
      {L"vbr-quality", L"90", true, L"", L"VBR Quality 90%"},
      {L"sample-rate", L"48kHz", true, L"", L"VBR Quality 90%; 48 kHz"},
      // Rates and bit rates that MPEG audio does not have used to be taken and then ignored by the encoder.
      {L"sample-rate", L"44kHz", false, kRates, L"VBR Quality 90%; 48 kHz"},
      {L"sample-rate", L"12345", false, kRates, nullptr},
      {L"bitrate", L"1000", false, L"Bit rate must be from 8 to 320 kbps", nullptr},
      {L"max-bitrate", L"4kbps", false, L"Bit rate must be from 8 to 320 kbps", nullptr},
      {L"sample-rate", L"22050Hz", true, L"", L"VBR Quality 90%; 22 kHz"},
      {L"sample-rate", L"fast", false, L"Value must be a number ended by either kHz, Hz or nothing", nullptr},
      {L"vbr-mode", L"fastVBR", true, L"", L"Fast VBR Quality 90%; 22 kHz"},
      {L"vbr-mode", L"cbr", true, L"", L"CBR 160 kbps; 22 kHz"},
      {L"vbr-mode", L"variable", false, L"Value can be either CBR, VBR, FASTVBR or ABR.", nullptr},
      {L"vbr-mode", nullptr, false, L"Use --vbr-mode=... with either CBR, VBR, FASTVBR or ABR", nullptr},
      {L"joint-stereo", L"maybe", false, onOff, nullptr},
      {L"crc", L"OFF", true, L"", nullptr},
      {L"encoder", L"lame", false, L"The --encoder switch is no longer supported. LAME encoder is used.", nullptr},
      {L"mpeg-ii", L"", false, L"The --mpeg-ii switch is no longer supported.", nullptr},
      {L"channels", L"2", false, L"The --channels switch is no longer supported.", nullptr},
      {L"enable-vbr", nullptr, false, L"The --enable-vbr switch is obsolete. Use --vbr-mode", nullptr},
      {L"wave-codec", L"PCM", false, L"", nullptr},
  };
  for (const Case& c : cases) {
    wchar_t error[256] = L"";
    EXPECT_EQ(c.accepted, mp3->SetOption(c.name, c.value, error)) << c.name << "=" << (c.value ? c.value : L"(none)");
    EXPECT_STREQ(c.error, error) << c.name;
    if (c.after) {
      EXPECT_EQ(c.after, Text(mp3)) << c.name;
    }
  }
  mp3->Release();
}

TEST_F(Mp3Settings, SizeEstimateUsesTheBitrateInEveryMode) {
  IConvertDestination* mp3 = NewMp3();
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  UINT32 bytes = 0;
  ASSERT_TRUE(mp3->EstimateSize(176400 * 60, &cd, &bytes));
  EXPECT_EQ(960000u, bytes) << "a minute at 128 kbps";
  wchar_t error[64];
  mp3->SetOption(L"vbr-mode", L"vbr", error);
  ASSERT_TRUE(mp3->EstimateSize(176400 * 60, &cd, &bytes));
  EXPECT_EQ(960000u, bytes);
  cd.nAvgBytesPerSec = 0;
  EXPECT_FALSE(mp3->EstimateSize(1000, &cd, &bytes));
  mp3->Release();
}

TEST_F(Mp3Settings, StoredDefaultsAreTakenOnlyWhole) {
  uint32_t stored[12] = {0, 256, 160, 50, 2, 32000, 0, 1, 1, 1, 1, 1};  // CBR 256, max 160
  ASSERT_TRUE(PutProfileBinary(L"MP3", L"LAMESettings", stored, 47));
  IConvertDestination* shortRecord = NewMp3();
  EXPECT_EQ(L"ABR 128 kbps", Text(shortRecord)) << "47 bytes are not a record";
  shortRecord->Release();

  ASSERT_TRUE(PutProfileBinary(L"MP3", L"LAMESettings", stored, 48));
  IConvertDestination* mp3 = NewMp3();
  EXPECT_EQ(L"CBR 256 kbps; 32 kHz", Text(mp3));
  mp3->Release();

  CONVFORMAT row;
  ConvGetFormatByName(&row, L"MP3");
  wchar_t text[64] = L"";
  ASSERT_EQ(S_OK, ConvDefOutputSettingsString(text, 64, &row));
  EXPECT_STREQ(L"CBR 256 kbps; 32 kHz", text);
}

TEST_F(Mp3Settings, DialogFollowsTheMode) {
  IConvertDestination* mp3 = NewMp3();
  std::vector<std::wstring> modes, resampleAbr, resampleVbr;
  std::wstring abrLabel, abrMin, abrMax, abrValue, vbrLabel, vbrMin, vbrValue, movedValue;
  LRESULT abrSteps = 0, vbrSteps = 0;
  ModalDriver driver([&](HWND dialog) {
    for (int i = 0; i < 4; ++i) modes.push_back(Item(dialog, kMode, i));
    abrLabel = Label(dialog, kLabel);
    abrMin = Label(dialog, kSliderMin);
    abrMax = Label(dialog, kSliderMax);
    abrValue = Label(dialog, kValue);
    abrSteps = SendDlgItemMessageW(dialog, kSlider, TBM_GETRANGEMAX, 0, 0) + 1;
    int count = static_cast<int>(SendDlgItemMessageW(dialog, kResample, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) resampleAbr.push_back(Item(dialog, kResample, i));

    SelectComboItem(dialog, kMode, 1);  // VBR
    vbrLabel = Label(dialog, kLabel);
    vbrMin = Label(dialog, kSliderMin);
    vbrValue = Label(dialog, kValue);
    vbrSteps = SendDlgItemMessageW(dialog, kSlider, TBM_GETRANGEMAX, 0, 0) + 1;
    count = static_cast<int>(SendDlgItemMessageW(dialog, kResample, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) resampleVbr.push_back(Item(dialog, kResample, i));

    Focus(dialog, kSlider);
    PressKey(dialog, VK_END);
    PressKey(dialog, VK_LEFT);
    movedValue = Label(dialog, kValue);
    SelectComboItem(dialog, kResample, 2);
    Click(dialog, kCrc);
    Click(dialog, kJointStereo);
    Click(dialog, IDOK);
  });
  EXPECT_TRUE(mp3->ShowSettings(nullptr, nullptr));
  EXPECT_EQ(
      (std::vector<std::wstring>{L"CBR - Constant Bitrate", L"VBR - Variable Bitrate",
                                 L"ABR - Average Bitrate [recommended]", L"Fast VBR - Variable Bitrate [Fast Mode]"}),
      modes);
  EXPECT_EQ(L"&Bit rate:", abrLabel);
  EXPECT_EQ(L"8 kBits / sec.", abrMin);
  EXPECT_EQ(L"320 kbps", abrMax);
  EXPECT_EQ(L"128 kbps", abrValue);
  EXPECT_EQ(18, abrSteps);
  EXPECT_EQ(10u, resampleAbr.size());
  EXPECT_EQ(L"Automatic Detection (default)", resampleAbr.front());
  EXPECT_EQ(L"44,100 Hz", resampleAbr[2]);
  EXPECT_EQ(L"8,000 Hz", resampleAbr.back());
  EXPECT_EQ(L"&VBR Quality:", vbrLabel);
  EXPECT_EQ(L"10%", vbrMin);
  EXPECT_EQ(L"70%", vbrValue);
  EXPECT_EQ(10, vbrSteps);
  EXPECT_EQ(4u, resampleVbr.size()) << "VBR offers automatic, 48, 44.1 and 32 kHz";
  EXPECT_EQ(L"90%", movedValue);
  EXPECT_EQ(L"VBR Quality 90%; 44 kHz", Text(mp3));
  mp3->Release();
}

TEST_F(Mp3Settings, KeyboardAndAccessKeysInDefaultsMode) {
  CONVFORMAT row;
  ASSERT_EQ(S_OK, ConvGetFormatByName(&row, L"MP3"));
  std::wstring problems;
  int resampleFocused = 0, sliderFocused = 0;
  RECT cancel = {}, setDefault = {};
  ModalDriver driver([&](HWND dialog) {
    problems = AccessKeyProblems(dialog);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    GetWindowRect(GetDlgItem(dialog, kSetDefault), &setDefault);
    PressAccessKey(dialog, L'd');
    resampleFocused = FocusedId();
    PressKey(dialog, VK_DOWN);
    PressAccessKey(dialog, L'b');
    sliderFocused = FocusedId();
    PressKey(dialog, VK_RIGHT);
    PressAccessKey(dialog, L'c');
    PressKey(dialog, VK_RETURN);
  });
  EXPECT_EQ(S_OK, ConvDefOutputSettings(nullptr, &row));
  EXPECT_EQ(L"", problems);
  EXPECT_EQ(setDefault.right, cancel.right) << "OK and Cancel close up where the hidden button was";
  EXPECT_EQ(kResample, resampleFocused) << "a label's key reaches the list it names";
  EXPECT_EQ(kSlider, sliderFocused);
  uint32_t stored[12] = {};
  UINT32 size = sizeof(stored);
  ASSERT_TRUE(GetProfileBinary(L"MP3", L"LAMESettings", stored, &size));
  EXPECT_EQ(144u, stored[1]) << "the arrow key moved the slider one step";
  EXPECT_EQ(48000u, stored[5]) << "the arrow key chose the next rate";
  EXPECT_EQ(1u, stored[11]) << "the access key checked \"Generate CRC\"";
}

TEST_F(Mp3Settings, DefaultsModeSavesTheRecord) {
  CONVFORMAT row;
  ASSERT_EQ(S_OK, ConvGetFormatByName(&row, L"MP3"));
  bool setDefaultVisible = true;
  ModalDriver driver([&](HWND dialog) {
    setDefaultVisible = IsWindowVisible(GetDlgItem(dialog, kSetDefault));
    SelectComboItem(dialog, kMode, 0);
    Click(dialog, IDOK);
  });
  EXPECT_EQ(S_OK, ConvDefOutputSettings(nullptr, &row));
  EXPECT_FALSE(setDefaultVisible);
  uint32_t stored[12] = {};
  UINT32 size = sizeof(stored);
  ASSERT_TRUE(GetProfileBinary(L"MP3", L"LAMESettings", stored, &size));
  EXPECT_EQ(48u, size);
  EXPECT_EQ(0u, stored[0]) << "CBR stored";
  EXPECT_EQ(128u, stored[1]);
}
