// Rip checksums: CRC32 against the standard check value, AccurateRip v1 and v2 against a direct evaluation of
// their definition, the first and last track's skipped frames, and pieces that split frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "cd/RipChecksums.h"

namespace {

// The definition, frame by frame: sum of frame x (1-based) position over the frames that count.
void Direct(const std::vector<UINT32>& frames, bool first, bool last, UINT32* v1, UINT32* v2) {
  unsigned long long sum1 = 0, sum2 = 0;
  const unsigned long long n = frames.size();
  for (unsigned long long i = 0; i < n; ++i) {
    const unsigned long long position = i + 1;
    if (first && position < 5 * 588) continue;
    if (last && position > n - 5 * 588) continue;
    const unsigned long long product = frames[i] * position;
    sum1 += product & 0xFFFFFFFF;
    sum2 += (product & 0xFFFFFFFF) + (product >> 32);
  }
  *v1 = static_cast<UINT32>(sum1);
  *v2 = static_cast<UINT32>(sum2);
}

}  // namespace

TEST(RipChecksums, Crc32IsTheStandardOne) {
  RipChecksums sums(2, false, false);
  sums.Add("12345678", 8);
  sums.Add("9", 1);
  EXPECT_EQ(0xCBF43926u, sums.Crc32()) << "the check value of \"123456789\"";
  EXPECT_EQ(0u, RipChecksums(0, true, true).Crc32());
}

TEST(RipChecksums, AccurateRipMatchesItsDefinitionInEveryTrackPosition) {
  std::mt19937 random(7);
  std::vector<UINT32> frames(13 * 588 + 17);
  for (UINT32& frame : frames) frame = random();
  for (bool first : {false, true}) {
    for (bool last : {false, true}) {
      RipChecksums sums(frames.size(), first, last);
      // Pieces of odd sizes split frames anywhere.
      const auto* bytes = reinterpret_cast<const unsigned char*>(frames.data());
      for (size_t at = 0, piece = 1; at < frames.size() * 4; at += piece, piece = piece % 4093 + 7)
        sums.Add(bytes + at, std::min(piece, frames.size() * 4 - at));
      UINT32 v1 = 0, v2 = 0;
      Direct(frames, first, last, &v1, &v2);
      EXPECT_EQ(v1, sums.AccurateRipV1()) << first << last;
      EXPECT_EQ(v2, sums.AccurateRipV2()) << first << last;
      EXPECT_NE(sums.AccurateRipV1(), sums.AccurateRipV2()) << "the carries of v2 make a difference";
    }
  }
}

// The first counted frame of a first track is the one at position 5 x 588; of a last track the last counted
// frame is 5 x 588 before the end.
TEST(RipChecksums, SkippedFramesAtTheEdgesOfTheDisc) {
  const size_t n = 20 * 588;
  struct Case {
    size_t position;  // 1-based, the only frame that is not zero
    bool first, last;
    bool counts;
  } cases[] = {{2939, true, false, false},    {2940, true, false, true},      {2939, false, false, true},
               {n - 2940, false, true, true}, {n - 2939, false, true, false}, {n, false, false, true}};
  for (const Case& c : cases) {
    std::vector<UINT32> frames(n, 0);
    frames[c.position - 1] = 3;
    RipChecksums sums(n, c.first, c.last);
    sums.Add(frames.data(), frames.size() * 4);
    EXPECT_EQ(c.counts ? static_cast<UINT32>(3 * c.position) : 0u, sums.AccurateRipV1()) << c.position;
  }
}
