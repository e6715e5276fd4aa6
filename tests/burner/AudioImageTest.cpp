// The audio image recorder: tracks staged in blocks come back through the virtual drive's sheet parser at the
// right places, with silent gaps, and the disc's capacity and the staging protocol are enforced.
#include <gtest/gtest.h>

#include "AudioImage.h"
#include "CueSheet.h"
#include "TestSupport.h"

namespace {

constexpr long kBlock = CAudioImageWriter::kBlockBytes;

// Block b of track t: every byte tells where it belongs.
std::string Blocks(int track, long first, long count) {
  std::string data(static_cast<size_t>(count) * kBlock, '\0');
  for (long b = 0; b < count; ++b)
    for (long i = 0; i < kBlock; ++i)
      data[static_cast<size_t>(b * kBlock + i)] = static_cast<char>(track * 31 + (first + b) * 7 + i % 251 + 1);
  return data;
}

HRESULT Add(CAudioImageWriter& image, const std::string& data) {
  return image.AddAudioTrackBlocks(reinterpret_cast<byte*>(const_cast<char*>(data.data())),
                                   static_cast<long>(data.size()));
}

// Stages a track in pieces of at most 32 blocks, as the burn job hands them over.
void StageTrack(CAudioImageWriter& image, int track, long blocks) {
  ASSERT_EQ(image.CreateAudioTrack(0), S_OK);
  for (long first = 0; first < blocks; first += 32)
    ASSERT_EQ(Add(image, Blocks(track, first, std::min(32L, blocks - first))), S_OK);
  ASSERT_EQ(image.CloseAudioTrack(), S_OK);
}

}  // namespace

TEST(AudioImage, TracksComeBackThroughTheCueParserWithTheirGaps) {
  TempFolder folder;
  const std::wstring bin = folder / L"disc.bin", cue = folder / L"disc.cue";
  const long lengths[] = {300, 451, 17};
  {
    CAudioImageWriter image(bin, cue);
    for (int t = 0; t < 3; ++t) StageTrack(image, t + 1, lengths[t]);
    long used = 0;
    image.GetUsedAudioBlocks(&used);
    EXPECT_EQ(used, 300 + 150 + 451 + 150 + 17);
    ASSERT_EQ(image.WriteImage(), S_OK);
  }
  const std::string sheetText = ReadFileBytes(cue), binBytes = ReadFileBytes(bin);
  CueSheet sheet;
  std::wstring error;
  ASSERT_TRUE(ParseCueSheet(sheetText, &sheet, &error)) << error;
  ASSERT_EQ(sheet.files.size(), 1u);
  EXPECT_EQ(sheet.files[0], L"disc.bin");
  ASSERT_EQ(binBytes.size() % kBlock, 0u);
  DiscLayout layout;
  ASSERT_TRUE(LayOutDisc(sheet, {binBytes.size() / kBlock}, &layout, &error)) << error;

  ASSERT_EQ(layout.tracks.size(), 3u);
  long start = 0;
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(t + 1);
    EXPECT_TRUE(sheet.tracks[t].audio);
    EXPECT_EQ(sheet.tracks[t].index0, t == 0 ? -1 : start - 150);
    EXPECT_EQ(sheet.tracks[t].index1, start);
    EXPECT_EQ(layout.tracks[t].start, static_cast<DWORD>(start));
    EXPECT_TRUE(binBytes.substr(static_cast<size_t>(start) * kBlock, static_cast<size_t>(lengths[t]) * kBlock) ==
                Blocks(t + 1, 0, lengths[t]))
        << "the track's samples in order";
    if (t > 0) {
      EXPECT_EQ(binBytes.substr(static_cast<size_t>(start - 150) * kBlock, 150 * kBlock),
                std::string(150 * kBlock, '\0'))
          << "the gap is silence";
    }
    start += lengths[t] + 150;
  }
  EXPECT_EQ(layout.leadOut, static_cast<DWORD>(start - 150));
  // Sector 450 is six seconds in; 1051 is fourteen seconds and one frame.
  EXPECT_NE(sheetText.find("  TRACK 02 AUDIO\r\n    INDEX 00 00:04:00\r\n    INDEX 01 00:06:00\r\n"), std::string::npos)
      << sheetText;
  EXPECT_NE(sheetText.find("    INDEX 01 00:14:01\r\n"), std::string::npos) << sheetText;
}

TEST(AudioImage, DiscCapacityKeepsWhatFitsAndRefusesMore) {
  TempFolder folder;
  CAudioImageWriter image(folder / L"a.bin", folder / L"a.cue", 1000);
  StageTrack(image, 1, 600);
  long available = 0;
  image.GetAvailableAudioTrackBlocks(&available);
  EXPECT_EQ(available, 1000 - 600 - 150) << "the next track's gap is reserved";
  ASSERT_EQ(image.CreateAudioTrack(0), S_OK);
  EXPECT_EQ(Add(image, Blocks(2, 0, 300)), IMAPI_E_DISCFULL);
  long used = 0;
  image.GetUsedAudioBlocks(&used);
  EXPECT_EQ(used, 1000) << "the blocks that fit are kept";
  EXPECT_EQ(Add(image, Blocks(2, 250, 1)), IMAPI_E_DISCFULL);
  EXPECT_EQ(image.CloseAudioTrack(), S_OK);
  EXPECT_EQ(image.CreateAudioTrack(0), IMAPI_E_DISCFULL);
  ASSERT_EQ(image.WriteImage(), S_OK);
  EXPECT_EQ(ReadFileBytes(folder / L"a.bin").size(), 1000u * kBlock);

  CAudioImageWriter many(folder / L"b.bin", folder / L"b.cue", CAudioImageWriter::kBlocks80Minutes);
  for (int t = 1; t <= 99; ++t) StageTrack(many, t, 1);
  EXPECT_EQ(many.CreateAudioTrack(0), IMAPI_E_DISCFULL) << "a disc holds 99 tracks";
}

TEST(AudioImage, StagingProtocolErrors) {
  TempFolder folder;
  CAudioImageWriter image(folder / L"p.bin", folder / L"p.cue");
  const std::string one = Blocks(1, 0, 1);
  EXPECT_EQ(image.CloseAudioTrack(), IMAPI_E_TRACKNOTOPEN) << "the burn job's first close, before any track";
  EXPECT_EQ(Add(image, one), IMAPI_E_TRACKNOTOPEN);
  EXPECT_EQ(image.WriteImage(), IMAPI_E_GENERIC) << "no track";
  ASSERT_EQ(image.CreateAudioTrack(0), S_OK);
  EXPECT_EQ(image.CreateAudioTrack(0), IMAPI_E_TRACKOPEN);
  EXPECT_EQ(image.AddAudioTrackBlocks(reinterpret_cast<byte*>(const_cast<char*>(one.data())), kBlock - 100),
            E_INVALIDARG);
  EXPECT_EQ(image.CloseAudioTrack(), S_FALSE) << "an empty track is dropped";
  long tracks = -1;
  image.GetTotalAudioTracks(&tracks);
  EXPECT_EQ(tracks, 0);
  ASSERT_EQ(image.CreateAudioTrack(0), S_OK);
  ASSERT_EQ(Add(image, one), S_OK);
  EXPECT_EQ(image.WriteImage(), IMAPI_E_TRACKOPEN);
  EXPECT_FALSE(FileExists(folder / L"p.bin"));
}

TEST(AudioImage, FailedWriteLeavesNoImage) {
  TempFolder folder;
  struct Case {
    std::wstring bin, cue;
  };
  const Case cases[] = {
      {folder / L"missing\\x.bin", folder / L"x.cue"},
      {folder / L"y.bin", folder / L"missing\\y.cue"},
  };
  for (const Case& c : cases) {
    CAudioImageWriter image(c.bin, c.cue);
    StageTrack(image, 1, 40);
    EXPECT_TRUE(FAILED(image.WriteImage()));
    for (const std::wstring& path : {c.bin, c.cue, c.bin + L".part", c.cue + L".part"})
      EXPECT_FALSE(FileExists(path)) << path;
  }
}
