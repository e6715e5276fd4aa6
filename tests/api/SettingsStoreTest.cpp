// The settings store through the exports: integers, strings, blobs, deletion and the read limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "tavcore.h"

namespace {
class SettingsStore : public testing::Test {
protected:
  void SetUp() override { WritePString(section.c_str(), nullptr, nullptr); }
  void TearDown() override { WritePString(section.c_str(), nullptr, nullptr); }
  const wchar_t* Section() const { return section.c_str(); }

  std::wstring section = TestSectionName();
};
}  // namespace

TEST_F(SettingsStore, IntegersKeepTheDefaultWhenMissing) {
  int value = 5;
  EXPECT_FALSE(ReadPInt(Section(), L"SilenceDetector", &value));
  EXPECT_EQ(5, value);
  ASSERT_TRUE(WritePInt(Section(), L"SilenceDetector", -17));
  EXPECT_TRUE(ReadPInt(Section(), L"SilenceDetector", &value));
  EXPECT_EQ(-17, value);

  // A value of another size is not an integer: the default survives.
  ASSERT_TRUE(PutProfileBinary(Section(), L"Short", "\x01\x02", 2));
  value = 9;
  EXPECT_FALSE(ReadPInt(Section(), L"Short", &value));
  EXPECT_EQ(9, value);
  EXPECT_FALSE(ReadPInt(Section(), L"SilenceDetector", nullptr));
  EXPECT_FALSE(ReadPInt(Section(), nullptr, &value));
}

TEST_F(SettingsStore, StringsUpToTheReadLimit) {
  wchar_t text[512] = L"default";
  EXPECT_FALSE(ReadPString(Section(), L"Name", text));
  EXPECT_STREQ(L"default", text);

  std::wstring unicode = L"Gr\u00FC\u00DFe \u041F\u0440\u0438\u0432\u0435\u0442 \u97F3\u697D";
  ASSERT_TRUE(WritePString(Section(), L"Name", unicode.c_str()));
  ASSERT_TRUE(ReadPString(Section(), L"Name", text));
  EXPECT_EQ(unicode, text);

  std::wstring longest(511, L'L');
  ASSERT_TRUE(WritePString(Section(), L"Longest", longest.c_str()));
  ASSERT_TRUE(ReadPString(Section(), L"Longest", text));
  EXPECT_EQ(longest, text);

  // 600 characters are stored but cannot be read back; nothing is written into the caller's buffer.
  wchar_t guarded[600];
  std::wmemset(guarded, L'#', 600);
  wcscpy(guarded, L"default");
  ASSERT_TRUE(WritePString(Section(), L"TooLong", std::wstring(600, L'x').c_str()));
  EXPECT_FALSE(ReadPString(Section(), L"TooLong", guarded));
  EXPECT_STREQ(L"default", guarded);
  EXPECT_EQ(L'#', guarded[8]);

  // 512 characters stored without a terminator fill all 1024 bytes: there is no room for one in 512.
  HKEY key = GetSectionKey(Section());
  ASSERT_NE(nullptr, key);
  std::wstring unterminated(512, L'u');
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Unterminated", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(unterminated.data()), 1024));
  RegCloseKey(key);
  wcscpy(guarded, L"default");
  EXPECT_FALSE(ReadPString(Section(), L"Unterminated", guarded));
  EXPECT_STREQ(L"default", guarded);

  ASSERT_TRUE(WritePInt(Section(), L"Number", 3));
  EXPECT_FALSE(ReadPString(Section(), L"Number", text)) << "an integer is not a string";
  EXPECT_FALSE(ReadPString(Section(), L"Name", nullptr));
}

TEST_F(SettingsStore, BinaryBlobs) {
  const unsigned char blob[48] = {1, 2, 3, 0, 0, 255, 7};
  ASSERT_TRUE(PutProfileBinary(Section(), L"Record", blob, sizeof(blob)));

  unsigned char room[64];
  std::memset(room, 0xEE, sizeof(room));
  UINT32 size = sizeof(room);
  ASSERT_TRUE(GetProfileBinary(Section(), L"Record", room, &size));
  EXPECT_EQ(48u, size);
  EXPECT_EQ(0, std::memcmp(blob, room, sizeof(blob)));
  EXPECT_EQ(0xEE, room[48]);

  unsigned char small[16];
  std::memset(small, 0xEE, sizeof(small));
  size = sizeof(small);
  EXPECT_FALSE(GetProfileBinary(Section(), L"Record", small, &size));
  for (unsigned char b : small) ASSERT_EQ(0xEE, b) << "a value larger than the room leaves the buffer alone";

  size = sizeof(room);
  EXPECT_FALSE(GetProfileBinary(Section(), L"Missing", room, &size));
  EXPECT_FALSE(GetProfileBinary(Section(), L"Record", room, nullptr));
  EXPECT_FALSE(PutProfileBinary(Section(), L"Null", nullptr, 4));
  ASSERT_TRUE(PutProfileBinary(Section(), L"Empty", nullptr, 0));
  size = 0;
  EXPECT_TRUE(GetProfileBinary(Section(), L"Empty", nullptr, &size));
  EXPECT_EQ(0u, size);
}

TEST_F(SettingsStore, DeletingValuesAndSections) {
  ASSERT_TRUE(WritePString(Section(), L"Keep", L"kept"));
  ASSERT_TRUE(WritePString(Section(), L"Drop", L"dropped"));
  ASSERT_TRUE(WritePString(Section(), L"Drop", nullptr));
  wchar_t text[512] = L"default";
  EXPECT_FALSE(ReadPString(Section(), L"Drop", text));
  EXPECT_TRUE(ReadPString(Section(), L"Keep", text));
  EXPECT_STREQ(L"kept", text);
  EXPECT_FALSE(WritePString(Section(), L"Drop", nullptr)) << "nothing left to delete";

  ASSERT_TRUE(WritePString(Section(), nullptr, nullptr));
  wcscpy(text, L"default");
  EXPECT_FALSE(ReadPString(Section(), L"Keep", text));
  EXPECT_STREQ(L"default", text);

  // The store stays open: a later write re-creates the section.
  ASSERT_TRUE(WritePInt(Section(), L"Again", 1));
  int value = 0;
  EXPECT_TRUE(ReadPInt(Section(), L"Again", &value));
  EXPECT_EQ(1, value);

  // The root itself is never a section.
  EXPECT_FALSE(WritePString(L"", nullptr, nullptr));
  EXPECT_FALSE(WritePString(nullptr, nullptr, nullptr));
  EXPECT_EQ(nullptr, GetSectionKey(L""));
  EXPECT_EQ(nullptr, GetSectionKey(nullptr));
}

TEST_F(SettingsStore, SectionKeysLiveUnderTheProductRoot) {
  HKEY key = GetSectionKey(Section());
  ASSERT_NE(nullptr, key);
  DWORD value = 42;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Direct", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
  RegCloseKey(key);

  std::wstring path = L"Software\\Quennet\\Tavrel\\" + section;
  DWORD read = 0;
  DWORD size = sizeof(read);
  EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"Direct", RRF_RT_REG_DWORD, nullptr,
                                        &read, &size));
  EXPECT_EQ(42u, read);
}

TEST(ShellServices, OpeningNothingFails) { EXPECT_FALSE(_SHOpen(nullptr, nullptr, nullptr)); }
