// The CD-audio conversion destination: byte-exact copies of CD audio, conversion sizes, its messages and its
// staging file's life.
#include <gtest/gtest.h>

#include <regex>

#include "RedBookDest.h"
#include "TestSupport.h"

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

std::string Pattern(size_t bytes, unsigned seed) {
  std::string data(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
  return data;
}

std::string ReadAll(FILE* file) {
  std::string data;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof(buffer), file)) > 0;) data.append(buffer, got);
  return data;
}

// Stores a temporary folder setting for the test's duration.
class ScopedTempPath {
 public:
  explicit ScopedTempPath(const wchar_t* path) {
    had = ReadPString(L"Settings", L"TempPath", old) != FALSE;
    WritePString(L"Settings", L"TempPath", path);
  }
  ~ScopedTempPath() { WritePString(L"Settings", L"TempPath", had ? old : nullptr); }

 private:
  bool had = false;
  wchar_t old[512] = {};
};

}  // namespace

TEST(RedBookDest, StagesEachFormatAsCdAudio) {
  struct Case {
    WAVEFORMATEX format;
    unsigned ratio;  // output bytes per input byte
  };
  const Case cases[] = {
      {Pcm(44100, 2, 16), 1}, {Pcm(22050, 1, 16), 4}, {Pcm(44100, 1, 16), 2},
      {Pcm(22050, 2, 16), 2}, {Pcm(44100, 2, 8), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format.nSamplesPerSec << " Hz, " << c.format.nChannels << " ch, "
                                    << c.format.wBitsPerSample << " bits");
    RecordingCallback callback;
    CRedBookDest dest;
    dest.SetCallback(&callback);
    ASSERT_TRUE(dest.SetFormat(&c.format));
    ASSERT_TRUE(dest.Open());
    EXPECT_EQ(dest.Converts(), c.ratio != 1);
    // Blocks of odd whole-frame counts: each is converted on its own.
    std::string input;
    for (unsigned block = 0; block < 5; ++block) {
      const std::string piece = Pattern((441 * (block + 1) + 1) * c.format.nBlockAlign, block);
      ASSERT_TRUE(dest.Write(static_cast<UINT32>(piece.size()), piece.data()));
      input += piece;
    }
    ASSERT_TRUE(dest.Close());
    ASSERT_NE(dest.StagingFile(), nullptr);
    EXPECT_EQ(ftell(dest.StagingFile()), 0) << "the burn job reads from the start";
    const std::string staged = ReadAll(dest.StagingFile());
    EXPECT_EQ(staged.size(), input.size() * c.ratio);
    if (c.ratio == 1) {
      EXPECT_TRUE(staged == input) << "CD audio must be copied byte for byte";
    }
    EXPECT_TRUE(callback.Errors().empty());
  }
}

TEST(RedBookDest, StagingFileIsTemporaryAndDeletedWithTheObject) {
  wchar_t folder[MAX_PATH] = {};
  ACTempPath(folder);
  const WAVEFORMATEX format = Pcm(44100, 2, 16);
  auto* dest = new CRedBookDest;
  dest->SetFormat(&format);
  ASSERT_TRUE(dest->Open());
  const std::wstring path = dest->StagingPath();
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  EXPECT_EQ(_wcsnicmp(path.c_str(), folder, wcslen(folder)), 0) << "in the engine's temporary folder";
  EXPECT_EQ(_wcsnicmp(name.c_str(), L"brn", 3), 0);
  dest->Write(4, "abcd");
  dest->Close();
  EXPECT_TRUE(FileExists(path)) << "kept open for the burn job after Close";
  EXPECT_EQ(dest->Release(), 0u);
  EXPECT_FALSE(FileExists(path));
}

TEST(RedBookDest, ContractOfTheUnsupportedOperations) {
  CRedBookDest dest;
  wchar_t text[64] = L"x";
  UINT32 size = 0;
  IMetadata* metadata = nullptr;
  EXPECT_FALSE(dest.SetFileName(L"C:\\out.wav"));
  EXPECT_FALSE(dest.GetFileName(text, 64));
  EXPECT_FALSE(dest.GetMetadata(&metadata));
  EXPECT_FALSE(dest.SetSource(nullptr));
  EXPECT_FALSE(dest.EstimateSize(100, &CRedBookDest::kCdAudioFormat, &size));
  EXPECT_FALSE(dest.GetSettingsText(text, 64));
  EXPECT_FALSE(dest.SetOption(L"Bitrate", L"128", text));
  EXPECT_EQ(dest.GetFormatIndex(), -1);

  GUID id = {};
  EXPECT_TRUE(dest.GetClassId(&id));
  EXPECT_TRUE(IsEqualGUID(id, CLSID_RedBookDest));
  void* out = nullptr;
  EXPECT_EQ(dest.QueryInterface(IID_IConvertDestination, &out), S_OK);
  EXPECT_EQ(out, static_cast<IConvertDestination*>(&dest));
  EXPECT_EQ(dest.QueryInterface(IID_IConvertSource, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  dest.Release();  // the reference QueryInterface added; the creator's stays
}

TEST(RedBookDest, FormatsAcmCannotConvertFailOpen) {
  WAVEFORMATEX broken[] = {Pcm(44100, 2, 12), Pcm(22050, 2, 16)};
  broken[0].nBlockAlign = 3;
  broken[1].wFormatTag = 0x7A31;  // a tag no codec knows
  for (const WAVEFORMATEX& format : broken) {
    SCOPED_TRACE(testing::Message() << "tag " << format.wFormatTag << ", " << format.nSamplesPerSec << " Hz, "
                                    << format.nChannels << " ch, " << format.wBitsPerSample << " bits");
    RecordingCallback callback;
    CRedBookDest dest;
    dest.SetCallback(&callback);
    dest.SetFormat(&format);
    EXPECT_FALSE(dest.Open());
    ASSERT_EQ(callback.lines.size(), 1u);
    EXPECT_EQ(callback.lines[0].style, L"e");
    EXPECT_TRUE(std::regex_match(callback.lines[0].text,
                                 std::wregex(L"Conversion stream cannot be opened \\(ACM error [1-9][0-9]*\\)\n")))
        << callback.lines[0].text;
    EXPECT_EQ(dest.StagingFile(), nullptr);
    EXPECT_STREQ(dest.StagingPath(), L"");
  }
}

TEST(RedBookDest, StagingFileThatCannotBeCreatedFailsOpen) {
  TempFolder scratch;
  const std::wstring missing = scratch / L"no such folder";
  ScopedTempPath setting(missing.c_str());
  for (const WAVEFORMATEX& format : {Pcm(44100, 2, 16), Pcm(22050, 1, 16)}) {
    RecordingCallback callback;
    CRedBookDest dest;
    dest.SetCallback(&callback);
    dest.SetFormat(&format);
    EXPECT_FALSE(dest.Open()) << "a track must not go on silently without its audio";
    EXPECT_FALSE(dest.Converts()) << "the conversion stream is closed again";
    ASSERT_EQ(callback.Errors().size(), 1u);
    EXPECT_EQ(callback.Errors()[0].rfind(L"Staging file cannot be created in " + missing, 0), 0u)
        << callback.Errors()[0];
    EXPECT_FALSE(dest.Write(4, "abcd"));
  }
}
