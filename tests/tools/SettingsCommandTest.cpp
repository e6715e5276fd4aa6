// "tavconv settings FORMAT" and "tavconv options FORMAT" as a user runs them: the dialog is driven with the
// mouse's messages, and the stored defaults are what the next conversion uses.
#include <gtest/gtest.h>

#include <string>

#include "ConsoleCommands.h"
#include "ModalDriver.h"
#include "tavcore.h"

namespace {
constexpr int kMp3Mode = 1201;  // the encoding-mode list of the MP3 settings dialog

std::wstring StoredMp3Defaults() {
  CONVFORMAT row;
  EXPECT_EQ(S_OK, ConvGetFormatByName(&row, L"MP3"));
  wchar_t text[512] = {};
  ConvDefOutputSettingsString(text, 512, &row);
  return text;
}

std::wstring Title(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}
}  // namespace

// OK stores what the user chose as the defaults; Cancel leaves them; short names and any case find the format.
TEST(SettingsCommand, OkStoresTheDefaultsAndCancelKeepsThem) {
  for (int mode : {0, 2}) {
    std::wstring title;
    ModalDriver driver([&](HWND dialog) {
      title = Title(dialog);
      SelectComboItem(dialog, kMp3Mode, mode);
      Click(dialog, IDOK);
    });
    EXPECT_EQ(0, EditDefaults({mode ? L"MP3" : L"mp3"}));
    EXPECT_TRUE(driver.Drove());
    EXPECT_NE(std::wstring::npos, title.find(L"(default)")) << "the dialog is in defaults mode: " << title.c_str();
    EXPECT_EQ(0u, StoredMp3Defaults().rfind(mode ? L"ABR" : L"CBR", 0)) << StoredMp3Defaults().c_str();
  }
  const std::wstring before = StoredMp3Defaults();
  ModalDriver cancel([&](HWND dialog) {
    SelectComboItem(dialog, kMp3Mode, 1);
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(1, EditDefaults({L".Mp3"}));
  EXPECT_TRUE(cancel.Drove());
  EXPECT_EQ(before, StoredMp3Defaults());
}

TEST(SettingsCommand, FormatsThatCannotBeWrittenAreRefusedWithoutADialog) {
  for (const wchar_t* name : {L"flac", L"nonsense", L"CD Track"}) {
    ModalDriver never([](HWND dialog) { Click(dialog, IDCANCEL); });
    EXPECT_EQ(2, EditDefaults({name})) << name;
    EXPECT_FALSE(never.Drove()) << name;
  }
  EXPECT_EQ(2, EditDefaults({}));
  EXPECT_EQ(2, PrintOptions({L"flac"}));
  EXPECT_EQ(0, PrintOptions({L"ogg"}));
  EXPECT_EQ(0, PrintOptions({L"wav", L"IMA ADPCM"}));
}
