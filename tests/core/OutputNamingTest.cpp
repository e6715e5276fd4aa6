// Output naming: every element, tag values made fit for file names, the fallback to the source's own name,
// extensions, collisions and the error texts.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "TaggedObjects.h"
#include "WavFiles.h"

namespace {
class OutputNaming : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"Settings", L"RenameOnCollision", nullptr);
    WritePString(L"Settings", L"UseOriginalFileNameIfNoID3Tag", nullptr);
  }
  void TearDown() override { SetUp(); }

  // The suggestion for a plain WAV source (no tag) at `path`; "ERROR: ..." when refused.
  std::wstring Suggest(const wchar_t* scheme, int row, const std::wstring& path, int outSize = MAX_PATH) {
    IConvertSource* source = NewWavSource();
    source->SetFileName(path.c_str());
    std::wstring result = Run(scheme, row, source, outSize);
    source->Release();
    return result;
  }
  static std::wstring Run(const wchar_t* scheme, int row, IConvertSource* source, int outSize = MAX_PATH) {
    std::vector<wchar_t> out(static_cast<size_t>(outSize) + 8, L'#');
    BOOL ok = SuggestOutputFile(scheme, row, source, out.data(), outSize);
    EXPECT_EQ(L'#', out[static_cast<size_t>(outSize)]) << "nothing beyond outSize";
    return (ok ? L"" : L"ERROR: ") + std::wstring(out.data());
  }
  static std::wstring MusicFolder() {
    PWSTR path = nullptr;
    SHGetKnownFolderPath(FOLDERID_Music, 0, nullptr, &path);
    std::wstring folder = path ? path : L"";
    CoTaskMemFree(path);
    return folder;
  }

  TempFolder temp;
};

const int kWave = 4, kMp3 = 0;

// The clock as the platform writes it with a picture, now.
std::wstring Now(bool date, const wchar_t* picture) {
  wchar_t text[64] = {};
  if (date)
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, nullptr, picture, text, 64);
  else
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, picture, text, 64);
  return text;
}
}  // namespace

TEST_F(OutputNaming, DateAndTimeAreTodaysInTheirFixedForms) {
  // Month first, then day and the whole year; hours of the 24-hour clock and minutes. The clock is read before
  // and after: the one minute (or day) that turns meanwhile is tried again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::wstring before = Now(true, L"MM-dd-yyyy") + L" " + Now(false, L"HH-mm");
    const std::wstring name = Suggest(L"D:\\x\\<date> <time>", -2, L"C:\\In\\song.wav");
    const std::wstring after = Now(true, L"MM-dd-yyyy") + L" " + Now(false, L"HH-mm");
    if (before != after) continue;
    EXPECT_EQ(L"D:\\x\\" + before, name);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[16];
    swprintf(date, 16, L"%02u-%02u-%04u", now.wMonth, now.wDay, now.wYear);
    EXPECT_EQ(date, before.substr(0, 10)) << "month, day, year";
    return;
  }
  FAIL() << "the clock kept turning";
}

TEST_F(OutputNaming, PathElements) {
  const std::wstring song = L"C:\\In\\song.wav";
  struct Case {
    const wchar_t* scheme;
    int row;
    std::wstring expected;
  } cases[] = {
      {L"<sourcedir>\\<sourcename>", kWave, L"C:\\In\\song.wav"},
      {L"<sourcedir>\\<sourcename>", kMp3, L"C:\\In\\song.mp3"},
      {L"<SourceDir>\\\\<sourcename>.MP3", kMp3, L"C:\\In\\song.mp3"},
      {L"D:\\Out\\<sourcepath>\\<sourcename>", -2, L"D:\\Out\\In\\song"},
      {L"D:\\x\\<sourcepath:0>", -2, L"D:\\x\\C:\\In"},
      {L"D:\\x\\<sourcepath:2>", -2, L"D:\\x\\In"},
      {L"  D:\\list\\<sourcename>.txt  ", -1, L"D:\\list\\song.m3u"},
      {L"D:\\keep.me", -2, L"D:\\keep.me"},
      {L"CONOUT$", kMp3, L"CONOUT$"},
      {L"<sourcepath:x>", -2, L"ERROR: Expected number after 'sourcepath:'"},
      {L"<SOURCEPATH>", -2, L"ERROR: Unknown naming scheme element 'SOURCEPATH'"},
      {L"<sourcepathx>", -2, L"ERROR: Unknown naming scheme element 'sourcepathx'"},
      {L"x<sourcedir>", -2,
       L"ERROR: Naming scheme element 'sourcedir' can only be used in the beginning of the filename."},
      {L"D:\\<mymusic>", -2,
       L"ERROR: Naming scheme element 'mymusic' can only be used in the beginning of the filename."},
      {L"D:\\<band>", -2, L"ERROR: Unknown naming scheme element 'band'"},
      {L"D:\\<sourcename", -2, L"ERROR: Naming scheme element 'sourcename' not closed with a '>' character."},
      {L"   ", kWave, L"ERROR: Empty output file name specifed"},
      {L"D:\\<sourcename>", 17, L"ERROR: Invalid output format"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Suggest(c.scheme, c.row, song)) << c.scheme;

  std::wstring deep = L"C:\\Music\\Rock\\track.wav";
  EXPECT_EQ(L"D:\\Music\\Rock", Suggest(L"D:\\<sourcepath>", -2, deep));
  EXPECT_EQ(L"D:\\Rock", Suggest(L"D:\\<sourcepath:2>", -2, deep));
  EXPECT_EQ(L"Wave Audio Files (.wav).mp3", Suggest(MAKEINTRESOURCEW(3011), kMp3, deep)) << "a scheme by number";
}

TEST_F(OutputNaming, NeitherFolderNamesNorRootRelativePaths) {
  const wchar_t kEmpty[] = L"ERROR: Empty output file name specifed";
  struct Case {
    const wchar_t* scheme;
    int row;
    const wchar_t* source;
    std::wstring expected;
  } cases[] = {
      // A name whose last element is empty, or only dots and blanks, once the extension is set aside.
      {L"<sourcedir>\\<sourcename>\\", kMp3, L"C:\\In\\song.wav", kEmpty},
      {L"<sourcedir>\\", kWave, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\Out\\<sourcename>\\  ", -2, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\Out\\ . .", kWave, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\Out\\.MP3", kMp3, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\list\\.txt", -1, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\Out/", kWave, L"C:\\In\\song.wav", kEmpty},
      {L"D:\\<sourcename>", kMp3, L"C:\\In\\.wav", kEmpty},
      {L"D:\\x\\<sourcepath:0>", -2, L"C:\\song.wav", kEmpty},  // "C:" names a drive, not a file
      {L"D:\\Out\\.song", kMp3, L"C:\\In\\song.wav", L"D:\\Out\\.song.mp3"},
      // The folder selector keeps at least the folder's last element, so nothing lands on a root.
      {L"<sourcepath:99>\\x", -2, L"C:\\In\\song.wav", L"In\\x"},
      {L"D:\\<sourcepath:2>", -2, L"C:\\Music\\Rock\\t.wav", L"D:\\Rock"},
      {L"D:\\<sourcepath:999999999>\\<sourcename>", kMp3, L"C:\\Music\\Rock\\t.wav", L"D:\\Rock\\t.mp3"},
      {L"D:\\<sourcepath>", -2, L"\\\\server\\share\\Rock\\t.wav", L"D:\\share\\Rock"},
      {L"<sourcepath:1>\\x", -2, L"C:/Music/Rock/t.wav", L"Music/Rock\\x"},
      // A folder that is only a drive has nothing below it: the separator after the empty expansion goes too.
      {L"<sourcepath>\\<sourcename>", kMp3, L"C:\\song.wav", L"song.mp3"},
      {L" <sourcepath:5> \\\\<sourcename>", -2, L"C:\\song.wav", L"song"},
      {L"D:\\Out\\<sourcepath>\\<sourcename>", kMp3, L"C:\\song.wav", L"D:\\Out\\song.mp3"},
      {L"\\x\\<sourcename>", -2, L"C:\\song.wav", L"\\x\\song"},  // written so by the user: kept
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, Suggest(c.scheme, c.row, c.source)) << c.scheme << L" for " << c.source;
}

TEST_F(OutputNaming, LengthLimits) {
  std::wstring long250 = L"D:\\" + std::wstring(250, L'a');
  EXPECT_EQ(long250 + L".wav", Suggest(long250.c_str(), kWave, L"C:\\In\\song.wav"));
  std::wstring long257 = L"D:\\" + std::wstring(254, L'a');
  EXPECT_EQ(L"ERROR: Filename too long (259 character limit)", Suggest(long257.c_str(), kWave, L"C:\\s.wav"));
  std::wstring long260 = L"D:\\" + std::wstring(257, L'a');
  EXPECT_EQ(L"ERROR: Filename too long (259 character limit)", Suggest(long260.c_str(), -2, L"C:\\s.wav"));
  EXPECT_EQ(L"ERROR: Filename too", Suggest(long260.c_str(), -2, L"C:\\s.wav", 13))
      << "an error text is cut to the buffer";
}

TEST_F(OutputNaming, CollisionsGetACounter) {
  std::wstring song = temp / L"song.wav";
  ASSERT_TRUE(WriteFileBytes(temp / L"song.mp3", "x"));
  ASSERT_TRUE(WriteFileBytes(temp / L"song (2).mp3", "x"));
  EXPECT_EQ(temp / L"song.mp3", Suggest(L"<sourcedir>\\<sourcename>", kMp3, song)) << "off by default";
  WritePInt(L"Settings", L"RenameOnCollision", 1);
  EXPECT_EQ(temp / L"song (3).mp3", Suggest(L"<sourcedir>\\<sourcename>", kMp3, song));
}

TEST_F(OutputNaming, TagValuesAndTheFallbackToTheSourceName) {
  std::wstring tagFile = temp / L"tag.mp3";
  ASSERT_TRUE(WriteFileBytes(tagFile, std::string(500, '\xFF')));
  IMetadata* metadata = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateMP3(tagFile.c_str(), &metadata));
  IMetadataTag* tag = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateTag(&tag));
  for (auto [number, text] : {std::pair<UINT32, const wchar_t*>{kFrameTitle, L"AC/DC: Live?  "},
                              {kFrameLeadArtist, L"\u00C9dith \u30D4\u30A2\u30D5"},
                              {kFrameTrackNumber, L"3/12"},
                              {kFrameYear, L"1979-08-01"},
                              {kFrameGenre, L"<?> "}}) {
    IMetadataFrameText* frame = nullptr;
    ASSERT_EQ(S_OK, MetadataCreateFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame)));
    frame->SetText(text);
    frame->AttachTo(tag);
    frame->Release();
  }
  ASSERT_EQ(S_OK, metadata->SetTag(tag));
  tag->Release();
  metadata->Release();

  TaggedSource tagged(NewWavSource(), tagFile);
  tagged.SetFileName(L"C:\\In\\orig.wav");
  EXPECT_EQ(L"D:\\\u00C9dith \u30D4\u30A2\u30D5\\Unknown\\03 - AC DC  Live (1979).mp3",
            Run(L"D:\\<artist>\\<album>\\<tracknum> - <title> (<year>)", kMp3, &tagged));
  // A tag value that is all refused characters comes out empty; in front it must not leave a root-relative path.
  EXPECT_EQ(L"03.mp3", Run(L"<genre>\\<tracknum>", kMp3, &tagged));
  EXPECT_EQ(L"D:\\03.mp3", Run(L"D:\\<genre>\\<tracknum>", kMp3, &tagged));

  // Without any tag the last element falls back to the source's own name, unless that is switched off.
  std::wstring music = MusicFolder();
  EXPECT_EQ(music + L"\\song.mp3", Suggest(L"<mymusic>\\<artist> - <title>", kMp3, L"C:\\In\\song.wav"));
  EXPECT_EQ(L"D:\\Unknown\\song.mp3", Suggest(L"D:\\<artist>\\<title>", kMp3, L"C:\\In\\song.wav"));
  WritePInt(L"Settings", L"UseOriginalFileNameIfNoID3Tag", 0);
  EXPECT_EQ(music + L"\\Unknown - Unknown.mp3", Suggest(L"<mymusic>\\<artist> - <title>", kMp3, L"C:\\In\\song.wav"));
}

TEST_F(OutputNaming, TagOfAWavFileItself) {
  std::string info = "INFO" + Chunk("INAM", "Gr\u00FC\u00DFe") + Chunk("IART", "Bj\u00F6rk") + Chunk("IPRT", "3/12");
  std::wstring song = temp / L"song.wav";
  ASSERT_TRUE(WriteFileBytes(song, RiffWave(Chunk("fmt ", FormatChunkPayload(PcmFormat(16, 1, 8000))) +
                                            Chunk("LIST", info) + Chunk("data", std::string(4, '\0')))));
  EXPECT_EQ(L"D:\\03 Bj\u00F6rk - Gr\u00FC\u00DFe.mp3", Suggest(L"D:\\<tracknum> <artist> - <title>", kMp3, song));
}

TEST_F(OutputNaming, BadArguments) {
  wchar_t out[16] = L"unchanged";
  EXPECT_FALSE(SuggestOutputFile(L"x", kWave, nullptr, out, 16));
  EXPECT_STREQ(L"unchanged", out);
  IConvertSource* source = NewWavSource();
  EXPECT_FALSE(SuggestOutputFile(nullptr, kWave, source, out, 16));
  EXPECT_FALSE(SuggestOutputFile(L"x", kWave, source, nullptr, 16));
  EXPECT_FALSE(SuggestOutputFile(L"x", kWave, source, out, 0));
  source->Release();
}
