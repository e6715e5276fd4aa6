// Engine start-up: the referrer id beside the engine, language packs, the temporary folder, the build
// date and event sounds. These tests share the "Settings" section, so they never run side by side.
#include <gtest/gtest.h>

#include <string>

#include "EngineCopy.h"

namespace {
const wchar_t kEnglishWave[] = L"Wave Audio Files (.wav)";
const wchar_t kGermanWave[] = L"Wave-Audiodateien (.wav)";

// Sets "Settings"/name for the life of the object through the given engine, then removes it.
class ScopedSetting {
public:
  ScopedSetting(const EngineCopy& engine, const wchar_t* name, const std::wstring& value)
      : engine(engine), name(name) {
    EXPECT_TRUE(engine.writeString(L"Settings", name, value.c_str()));
  }
  ~ScopedSetting() { engine.writeString(L"Settings", name, nullptr); }

private:
  const EngineCopy& engine;
  const wchar_t* name;
};

// A second, already started engine is what writes settings for the one under test.
class Startup : public testing::Test {
protected:
  void SetUp() override {
    helper.Load();
    helper.initAC(L"HELPER", nullptr);
  }
  EngineCopy helper;
  EngineCopy engine;
};
}  // namespace

TEST_F(Startup, ReferrerIdFromRefTxt) {
  ASSERT_TRUE(WriteFileBytes(engine.PathOf(L"Ref.txt"), "ab-1 2"));
  engine.Load();
  EXPECT_EQ(S_OK, engine.initAC(L"TESTAPP", nullptr));
  EXPECT_STREQ(L"https://example.invalid/buy?ref=abx1x2", engine.addReferer(L"https://example.invalid/buy"));

  EXPECT_STREQ(L"https://example.invalid/a", helper.addReferer(L"https://example.invalid/a"))
      << "without the file the URL comes back unchanged";
  EXPECT_STREQ(L"", helper.addReferer(nullptr));
}

TEST_F(Startup, ReferrerIdIsCutAndSanitised) {
  std::string bytes = std::string(78, 'z') + "\xC3\xA9" + "beyond-eighty";
  ASSERT_TRUE(WriteFileBytes(engine.PathOf(L"Ref.txt"), bytes));
  engine.Load();
  engine.initAC(L"TESTAPP", nullptr);
  EXPECT_EQ(L"u?ref=" + std::wstring(78, L'z') + L"xx", std::wstring(engine.addReferer(L"u")));
  std::wstring longUrl(5000, L'h');
  EXPECT_EQ(2047u, wcslen(engine.addReferer(longUrl.c_str()))) << "cut to the shared buffer";
}

TEST_F(Startup, LanguagePackReplacesTheEngineStrings) {
  ScopedSetting pack(helper, L"LanguagePack", ProgramFolder() + L"\\langpack_deu.dll");
  engine.Load();
  HMODULE loaded = nullptr;
  EXPECT_EQ(S_OK, engine.initAC(L"TESTAPP", &loaded));
  ASSERT_NE(nullptr, loaded);
  EXPECT_EQ(kGermanWave, DescriptionOf(engine, 4));
  EXPECT_EQ(L"MP3 Audio Files (.mp3)", DescriptionOf(engine, 0)) << "a string the pack lacks stays the engine's";
  EXPECT_EQ(kEnglishWave, DescriptionOf(helper, 4)) << "only the engine that loaded the pack changes";

  HMODULE again = reinterpret_cast<HMODULE>(0x1);
  EXPECT_EQ(S_OK, engine.initAC(L"TESTAPP", &again));
  EXPECT_EQ(reinterpret_cast<HMODULE>(0x1), again) << "a second call returns at once";
}

TEST_F(Startup, LanguagePackFoundBesideTheEngine) {
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\langpack_deu.dll").c_str(), engine.PathOf(L"beside.dll").c_str(),
                        FALSE));
  ScopedSetting pack(helper, L"LanguagePack", L"Z:\\no\\such\\folder\\beside.dll");
  engine.Load();
  HMODULE loaded = nullptr;
  engine.initAC(L"TESTAPP", &loaded);
  EXPECT_NE(nullptr, loaded);
  EXPECT_EQ(kGermanWave, DescriptionOf(engine, 4));
}

TEST_F(Startup, LibrariesThatAreNotPacksAreIgnored) {
  for (const wchar_t* name : {L"notapack.dll", L"missing-pack.dll"}) {
    EngineCopy fresh;
    ScopedSetting pack(helper, L"LanguagePack", ProgramFolder() + L"\\" + name);
    fresh.Load();
    HMODULE loaded = reinterpret_cast<HMODULE>(0x1);
    EXPECT_EQ(S_OK, fresh.initAC(L"TESTAPP", &loaded));
    EXPECT_EQ(nullptr, loaded) << name;
    EXPECT_EQ(kEnglishWave, DescriptionOf(fresh, 4)) << name;
  }
}

TEST_F(Startup, NoPackWasAskedFor) {
  ScopedSetting pack(helper, L"LanguagePack", ProgramFolder() + L"\\langpack_deu.dll");
  engine.Load();
  EXPECT_EQ(S_OK, engine.initAC(L"TESTAPP", nullptr));
  EXPECT_EQ(kEnglishWave, DescriptionOf(engine, 4));
  HMODULE later = nullptr;
  engine.initAC(L"TESTAPP", &later);
  EXPECT_EQ(nullptr, later) << "the pack is loaded only by the first call";
  EXPECT_EQ(kEnglishWave, DescriptionOf(engine, 4));
}

TEST_F(Startup, TemporaryFolder) {
  engine.Load();
  engine.initAC(L"TESTAPP", nullptr);
  wchar_t system[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, system);
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(buffer, engine.tempPath(buffer));
  EXPECT_STREQ(system, buffer);

  ScopedSetting stored(helper, L"TempPath", L"D:\\Scratch Space\\tav");
  EXPECT_STREQ(L"D:\\Scratch Space\\tav", engine.tempPath(buffer)) << "the stored text, verbatim";
  EXPECT_EQ(nullptr, engine.tempPath(nullptr));
  {
    ScopedSetting overlong(helper, L"TempPath", std::wstring(400, L't'));
    wchar_t guarded[MAX_PATH + 8];
    std::wmemset(guarded, L'#', MAX_PATH + 8);
    engine.tempPath(guarded);
    EXPECT_EQ(259u, wcslen(guarded)) << "cut to the caller's 260 characters";
    EXPECT_EQ(L'#', guarded[MAX_PATH]);
  }
}

TEST_F(Startup, BuildDateOfTheEngineFile) {
  HANDLE file = CreateFileW(engine.DllPath().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SYSTEMTIME when = {2021, 3, 0, 4, 23, 59, 0, 0};  // UTC, late enough that a local-time conversion would show
  FILETIME stamp;
  SystemTimeToFileTime(&when, &stamp);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
  CloseHandle(file);

  engine.Load();
  wchar_t longDate[256] = L"";
  wchar_t shortDate[10] = L"";
  engine.dateString(longDate, shortDate);
  EXPECT_STREQ(L"March 4, 2021", longDate);
  EXPECT_STREQ(L"210304", shortDate);
  engine.dateString(nullptr, shortDate);
  engine.dateString(longDate, nullptr);
}

TEST_F(Startup, EventSounds) {
  engine.Load();
  engine.initAC(L"TESTAPP", nullptr);
  std::wstring event = L"TavTestEvent" + std::to_wstring(GetCurrentProcessId());
  EXPECT_FALSE(engine.playEventSound(event.c_str())) << "no sound set for the event";
  EXPECT_TRUE(helper.writeString(L"Sounds", event.c_str(), engine.PathOf(L"missing.wav").c_str()));
  EXPECT_FALSE(engine.playEventSound(event.c_str())) << "the sound file does not exist";
  engine.playEventSound(nullptr);
  helper.writeString(L"Sounds", event.c_str(), nullptr);
}
