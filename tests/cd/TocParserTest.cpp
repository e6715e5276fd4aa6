// The TOC from the drive's two READ TOC answers: tracks, lengths, the serial, and answers no disc can give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cd/TocParser.h"

namespace {

struct Entry {
  UINT32 block;  // logical block address
  BYTE control;
  BYTE number;
};

// The two answers a drive gives for these entries (the last one is the lead-out, number 0xAA).
std::string Answer(const std::vector<Entry>& entries, bool msf, BYTE lastTrack) {
  std::string bytes(4, '\0');
  const size_t length = 2 + 8 * entries.size();
  bytes[0] = static_cast<char>(length >> 8);
  bytes[1] = static_cast<char>(length);
  bytes[2] = 1;
  bytes[3] = static_cast<char>(lastTrack);
  for (const Entry& entry : entries) {
    char descriptor[8] = {0, static_cast<char>(0x10 | entry.control), static_cast<char>(entry.number), 0};
    if (msf) {
      const UINT32 frames = entry.block + 150;
      descriptor[5] = static_cast<char>(frames / 4500);
      descriptor[6] = static_cast<char>(frames / 75 % 60);
      descriptor[7] = static_cast<char>(frames % 75);
    } else {
      for (int i = 0; i < 4; ++i) descriptor[4 + i] = static_cast<char>(entry.block >> (24 - 8 * i));
    }
    bytes.append(descriptor, 8);
  }
  return bytes;
}

bool Parse(const std::vector<Entry>& entries, ParsedToc* out, std::wstring* reason = nullptr, int lastTrack = -1) {
  const BYTE last = static_cast<BYTE>(lastTrack >= 0 ? lastTrack : static_cast<int>(entries.size()) - 1);
  const std::string blocks = Answer(entries, false, last), msf = Answer(entries, true, last);
  return ParseToc(reinterpret_cast<const BYTE*>(blocks.data()), blocks.size(),
                  reinterpret_cast<const BYTE*>(msf.data()), msf.size(), out, reason);
}

UINT32 Packed(UINT32 frames) { return (frames / 4500) << 16 | (frames / 75 % 60) << 8 | frames % 75; }

}  // namespace

// Audio tracks get records with their sectors and times; a data track (mixed mode) counts in the TOC only; the
// serial sums the packed starts of the audio tracks.
TEST(TocParser, TracksLengthsAndSerial) {
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    std::vector<BYTE> audioNumbers;
  } cases[] = {
      {"three audio tracks", {{0, 0, 1}, {13500, 0, 2}, {40000, 0, 3}, {61234, 0, 0xAA}}, {1, 2, 3}},
      {"data track first", {{0, 4, 1}, {20000, 0, 2}, {33333, 0, 3}, {50000, 0, 0xAA}}, {2, 3}},
      {"one track", {{32, 0, 1}, {337499, 0, 0xAA}}, {1}},
  };
  for (const Case& c : cases) {
    ParsedToc parsed;
    std::wstring reason;
    ASSERT_TRUE(Parse(c.entries, &parsed, &reason)) << c.what;
    const UINT32 count = static_cast<UINT32>(c.entries.size() - 1);
    EXPECT_EQ(count, parsed.toc.count) << c.what;
    UINT32 serial = 0;
    size_t audio = 0;
    for (UINT32 i = 0; i <= count; ++i) {
      EXPECT_EQ(c.entries[i].block + 150, parsed.toc.offsets[i]) << c.what << " offset " << i;
      if (i == count || c.entries[i].control & 4) continue;
      serial += Packed(c.entries[i].block + 150);
      ASSERT_LT(audio, parsed.audioTracks.size()) << c.what;
      const cdrip::CDTrackInfo& track = parsed.audioTracks[audio++];
      EXPECT_EQ(1, track.version);
      EXPECT_EQ(c.entries[i].number, track.track) << c.what;
      EXPECT_EQ(c.entries[i].block, track.startSector) << c.what;
      EXPECT_EQ(c.entries[i + 1].block - c.entries[i].block, track.lengthSectors) << c.what;
      EXPECT_EQ(Packed(c.entries[i].block + 150), track.startMSF) << c.what;
      EXPECT_EQ(Packed(track.lengthSectors), track.lengthMSF) << c.what;
    }
    EXPECT_EQ(c.audioNumbers.size(), parsed.audioTracks.size()) << c.what;
    EXPECT_EQ(serial, parsed.serial) << c.what;
    for (const cdrip::CDTrackInfo& track : parsed.audioTracks) EXPECT_EQ(serial, track.serial) << c.what;
  }
  EXPECT_EQ(0x00041F2Bu, cdrip::PackFrames(4 * 4500 + 31 * 75 + 43)) << "4:31:43";
}

TEST(TocParser, AnswersNoDiscCanGiveAreRefused) {
  const std::vector<Entry> good = {{0, 0, 1}, {13500, 0, 2}, {40000, 0, 0xAA}};
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    int lastTrack;
  } cases[] = {
      {"a track beyond the lead-out", {{0, 0, 1}, {50000, 0, 2}, {40000, 0, 0xAA}}, -1},
      {"a track before the one ahead", {{20000, 0, 1}, {13500, 0, 2}, {40000, 0, 0xAA}}, -1},
      {"two tracks at one address", {{0, 0, 1}, {0, 0, 2}, {40000, 0, 0xAA}}, -1},
      {"no tracks", {{40000, 0, 0xAA}}, 0},
      {"more tracks than descriptors", good, 5},
      {"a hundred tracks", good, 100},
  };
  for (const Case& c : cases) {
    ParsedToc parsed;
    std::wstring reason;
    EXPECT_FALSE(Parse(c.entries, &parsed, &reason, c.lastTrack)) << c.what;
    EXPECT_FALSE(reason.empty()) << c.what;
  }
  // Lengths that do not fit the buffer, an impossible time, and the two forms disagreeing.
  std::string blocks = Answer(good, false, 2), msf = Answer(good, true, 2);
  ParsedToc parsed;
  auto parse = [&](const std::string& a, const std::string& b) {
    return ParseToc(reinterpret_cast<const BYTE*>(a.data()), a.size(), reinterpret_cast<const BYTE*>(b.data()),
                    b.size(), &parsed, nullptr);
  };
  ASSERT_TRUE(parse(blocks, msf));
  EXPECT_FALSE(parse(blocks.substr(0, blocks.size() - 1), msf)) << "cut short";
  EXPECT_FALSE(parse(blocks, msf.substr(0, 3))) << "no header";
  std::string longer = msf;
  longer[1] = static_cast<char>(longer[1] + 8);
  EXPECT_FALSE(parse(blocks, longer)) << "a length past the buffer";
  std::string badTime = msf;
  badTime[4 + 8 + 6] = 60;
  EXPECT_FALSE(parse(blocks, badTime)) << "sixty seconds";
  std::string otherTrack = msf;
  otherTrack[4 + 8 + 2] = 7;
  EXPECT_FALSE(parse(blocks, otherTrack)) << "the forms disagree";
  EXPECT_FALSE(parse(blocks, "")) << "empty";
}
