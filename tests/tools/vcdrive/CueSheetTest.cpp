// CUE sheets as disc images come with them: tracks in one or several BIN files, pregaps inside and outside the
// files, a data track, and sheets that cannot describe a disc.
#include <gtest/gtest.h>

#include "CueSheet.h"

namespace {
DiscLayout Lay(const std::string& text, const std::vector<unsigned long long>& sectors) {
  CueSheet sheet;
  std::wstring error;
  EXPECT_TRUE(ParseCueSheet(text, &sheet, &error)) << std::string(error.begin(), error.end());
  DiscLayout layout;
  EXPECT_TRUE(LayOutDisc(sheet, sectors, &layout, &error)) << std::string(error.begin(), error.end());
  return layout;
}
}  // namespace

TEST(CueSheet, TracksLandWhereTheSheetPutsThem) {
  // One file, three tracks, the second with a two-second pregap inside the file.
  DiscLayout one =
      Lay("REM made by a test\r\nPERFORMER \"Someone\"\r\nFILE \"disc image.bin\" BINARY\r\n"
          "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
          "  TRACK 02 AUDIO\r\n    INDEX 00 00:10:00\r\n    INDEX 01 00:12:00\r\n"
          "  TRACK 03 AUDIO\r\n    INDEX 01 01:00:00\r\n",
          {6000});
  ASSERT_EQ(3u, one.tracks.size());
  EXPECT_EQ(0u, one.tracks[0].start);
  EXPECT_EQ(12u * 75, one.tracks[1].start);
  EXPECT_EQ(60u * 75, one.tracks[2].start);
  EXPECT_EQ(6000u, one.leadOut);

  // A data track first (mixed mode), then audio in a file of its own with a PREGAP of silence.
  DiscLayout mixed =
      Lay("FILE data.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n"
          "FILE audio.bin BINARY\nTRACK 02 AUDIO\nPREGAP 00:02:00\nINDEX 01 00:00:00\n"
          "TRACK 03 AUDIO\nINDEX 01 00:30:00\n",
          {1000, 4500});
  ASSERT_EQ(3u, mixed.tracks.size());
  EXPECT_FALSE(mixed.tracks[0].audio);
  EXPECT_EQ(1000u + 150, mixed.tracks[1].start) << "after the data and the pregap";
  EXPECT_EQ(1150u + 30 * 75, mixed.tracks[2].start);
  EXPECT_EQ(1150u + 4500, mixed.leadOut);
  ASSERT_EQ(4u, mixed.spans.size());
  EXPECT_EQ(-1, mixed.spans[1].file) << "the pregap is silence";
  EXPECT_EQ(150u, mixed.spans[1].count);
  EXPECT_EQ(30ull * 75 * 2352, mixed.spans[3].offset);
}

TEST(CueSheet, SheetsThatCannotDescribeADiscAreRefused) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<unsigned long long> sectors;
  } cases[] = {
      {"no tracks", "FILE a.bin BINARY\n", {100}},
      {"a track before any file", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", {}},
      {"a wave file", "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {100}},
      {"cooked data sectors", "FILE a.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n", {100}},
      {"no INDEX 01", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", {100}},
      {"seconds past 59", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", {100}},
      {"frames past 74", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", {100}},
      {"tracks out of order", "FILE a.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\n", {100}},
      {"track 100", "FILE a.bin BINARY\nTRACK 100 AUDIO\nINDEX 01 00:00:00\n", {100}},
      {"an index beyond the file", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\n", {100}},
      {"a second track before the first",
       "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
       {1000}},
      {"a missing file", "FILE a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", {}},
  };
  for (const Case& c : cases) {
    CueSheet sheet;
    DiscLayout layout;
    std::wstring error;
    const bool refused = !ParseCueSheet(c.text, &sheet, &error) || !LayOutDisc(sheet, c.sectors, &layout, &error);
    EXPECT_TRUE(refused) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}
