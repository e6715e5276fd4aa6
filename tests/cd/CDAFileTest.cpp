// ".cda" files as the platform writes them, and damaged ones: a track record or a clean failure, never a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "TestSupport.h"
#include "cd/CDAFile.h"

namespace {

std::string Le32(UINT32 value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

std::string ChunkOf(const char* id, const std::string& payload) {
  std::string chunk = std::string(id, 4) + Le32(static_cast<UINT32>(payload.size())) + payload;
  if (payload.size() & 1) chunk += '\0';
  return chunk;
}

std::string Riff(const char* form, const std::string& chunks) {
  return "RIFF" + Le32(static_cast<UINT32>(4 + chunks.size())) + std::string(form, 4) + chunks;
}

// Track 3 of a disc: starts at 12:34:56 (frame 56606, block address 56456), 4:10:20 long.
const cdrip::CDTrackInfo kTrack = {1, 3, 0x0012AB34, 56456, 18770, 12 << 16 | 34 << 8 | 56, 4 << 16 | 10 << 8 | 20};

std::string Record(const cdrip::CDTrackInfo& info = kTrack) {
  return std::string(reinterpret_cast<const char*>(&info), sizeof(info));
}

}  // namespace

TEST(CDAFile, ReadsTheTrackRecordAndRefusesWhatIsNotOne) {
  TempFolder temp;
  struct Case {
    const char* what;
    std::string bytes;
    HRESULT expected;
  } cases[] = {
      {"as the platform writes it", Riff("CDDA", ChunkOf("fmt ", Record())), S_OK},
      {"after another chunk", Riff("CDDA", ChunkOf("LIST", "odd") + ChunkOf("fmt ", Record())), S_OK},
      {"a WAVE file", Riff("WAVE", ChunkOf("fmt ", Record())), E_FAIL},
      {"not RIFF", "RIFX" + Riff("CDDA", ChunkOf("fmt ", Record())).substr(4), E_FAIL},
      {"fmt of 16 bytes", Riff("CDDA", ChunkOf("fmt ", Record().substr(0, 16))), E_FAIL},
      {"fmt of 28 bytes", Riff("CDDA", ChunkOf("fmt ", Record() + "pad!")), E_FAIL},
      {"no fmt", Riff("CDDA", ChunkOf("data", Record())), E_FAIL},
      {"cut inside the record", Riff("CDDA", ChunkOf("fmt ", Record())).substr(0, 30), E_FAIL},
      {"a chunk size past the end", Riff("CDDA", "LIST" + Le32(0xFFFFFFF0) + ChunkOf("fmt ", Record())), E_FAIL},
      {"empty", "", E_FAIL},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(temp / L"Track03.cda", c.bytes));
    CCDAFile file;
    EXPECT_EQ(c.expected, file.Read((temp / L"Track03.cda").c_str())) << c.what;
    if (c.expected == S_OK) {
      EXPECT_EQ(0, std::memcmp(&kTrack, &file.Info(), sizeof(kTrack))) << c.what;
    }
  }
  CCDAFile file;
  EXPECT_EQ(E_INVALIDARG, file.Read(L""));
  EXPECT_EQ(E_INVALIDARG, file.Read(nullptr));
  EXPECT_EQ(E_FAIL, file.Read((temp / L"missing.cda").c_str()));
}

// A few thousand mutations of a good file: each read ends with a record or a failure, never a crash.
TEST(CDAFile, MutatedFilesNeverCrash) {
  TempFolder temp;
  const std::string good = Riff("CDDA", ChunkOf("LIST", "info") + ChunkOf("fmt ", Record()));
  std::mt19937 random(20261207);
  int read = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) bytes[random() % bytes.size()] = static_cast<char>(random());
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    ASSERT_TRUE(WriteFileBytes(temp / L"m.cda", bytes));
    CCDAFile file;
    const HRESULT result = file.Read((temp / L"m.cda").c_str());
    ASSERT_TRUE(result == S_OK || result == E_FAIL) << i;
    read += result == S_OK;
  }
  EXPECT_GT(read, 0) << "some mutations leave the record readable";
}
