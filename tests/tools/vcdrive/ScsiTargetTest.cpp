// The virtual drive answering MMC commands from a sox-made image: INQUIRY, the TOC in both forms, raw sectors
// bit for bit, and the sense data of what a drive refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ScsiTarget.h"

namespace {
const std::wstring kImage = L"vcdrive-image\\";
constexpr DWORD kLeadOut = 8 * 75 + 189;  // block address after the last track

std::string FileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(static_cast<size_t>(GetFileSize(file, nullptr)), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

struct Answer {
  BYTE status;
  std::vector<BYTE> data;
  BYTE sense[14];
};

Answer Send(ScsiTarget& target, std::vector<BYTE> cdb, DWORD length) {
  Answer answer{};
  answer.data.assign(length, 0xEE);
  answer.status = target.Execute(cdb.data(), static_cast<BYTE>(cdb.size()), answer.data.data(), length, answer.sense);
  return answer;
}

std::vector<BYTE> ReadCd(DWORD lba, DWORD count) {
  return {0xBE,
          0,
          static_cast<BYTE>(lba >> 24),
          static_cast<BYTE>(lba >> 16),
          static_cast<BYTE>(lba >> 8),
          static_cast<BYTE>(lba),
          static_cast<BYTE>(count >> 16),
          static_cast<BYTE>(count >> 8),
          static_cast<BYTE>(count),
          0xF8,
          0,
          0};
}
}  // namespace

TEST(VirtualDrive, ServesTheImageAsADisc) {
  VirtualDisc disc;
  std::wstring error;
  ASSERT_TRUE(disc.Load(kImage + L"disc.cue", &error)) << std::string(error.begin(), error.end());
  ScsiTarget target(&disc);

  Answer inquiry = Send(target, {0x12, 0, 0, 0, 36, 0}, 100);
  ASSERT_EQ(ScsiTarget::kGood, inquiry.status);
  EXPECT_EQ(5, inquiry.data[0]) << "a CD-ROM unit";
  EXPECT_EQ("TAVREL  VIRTUAL CD-ROM  1.00", std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 36));

  // Tracks start at 0, 5 s and 8 s. The MSF form adds the 150 sectors of the lead-in.
  const DWORD starts[] = {0, 5 * 75, 8 * 75, kLeadOut};
  Answer blocks = Send(target, {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
  Answer msf = Send(target, {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804);
  ASSERT_EQ(ScsiTarget::kGood, blocks.status);
  ASSERT_EQ(ScsiTarget::kGood, msf.status);
  EXPECT_EQ(34, blocks.data[1]) << "header and four descriptors";
  EXPECT_EQ(1, blocks.data[2]);
  EXPECT_EQ(3, blocks.data[3]);
  for (int i = 0; i < 4; ++i) {
    const BYTE* entry = blocks.data.data() + 4 + 8 * i;
    EXPECT_EQ(i < 3 ? i + 1 : 0xAA, entry[2]);
    EXPECT_EQ(starts[i], static_cast<DWORD>(entry[4] << 24 | entry[5] << 16 | entry[6] << 8 | entry[7])) << i;
    const BYTE* timed = msf.data.data() + 4 + 8 * i;
    EXPECT_EQ(starts[i] + 150, (timed[5] * 60u + timed[6]) * 75u + timed[7]) << i;
  }

  // Raw sectors are the image's bytes: the start of track 2, and a read across the track boundary.
  const std::string image = FileBytes(kImage + L"disc image.bin");
  ASSERT_EQ(size_t{kLeadOut} * 2352, image.size());
  for (DWORD lba : {DWORD{5 * 75}, DWORD{8 * 75 - 3}, DWORD{0}}) {
    Answer sectors = Send(target, ReadCd(lba, 27), 27 * 2352);
    ASSERT_EQ(ScsiTarget::kGood, sectors.status) << lba;
    EXPECT_EQ(0, std::memcmp(image.data() + static_cast<size_t>(lba) * 2352, sectors.data.data(), 27 * 2352)) << lba;
  }
}

TEST(VirtualDrive, RefusesWithTheSenseDataOfADrive) {
  VirtualDisc disc;
  std::wstring error;
  ASSERT_TRUE(disc.Load(kImage + L"disc.cue", &error));
  ScsiTarget target(&disc);
  ScsiTarget empty(nullptr);
  struct Case {
    const char* what;
    ScsiTarget* drive;
    std::vector<BYTE> cdb;
    DWORD length;
    BYTE key, asc;
  } cases[] = {
      {"past the lead-out", &target, ReadCd(kLeadOut - 2, 3), 3 * 2352, 5, 0x21},
      {"a buffer too small", &target, ReadCd(0, 27), 2352, 5, 0x24},
      {"a vendor command", &target, {0xD8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2352, 5, 0x20},
      {"no disc: TEST UNIT READY", &empty, {0x00, 0, 0, 0, 0, 0}, 0, 2, 0x3A},
      {"no disc: READ TOC", &empty, {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, 804, 2, 0x3A},
  };
  for (Case& c : cases) {
    Answer answer = Send(*c.drive, c.cdb, c.length);
    EXPECT_EQ(ScsiTarget::kCheckCondition, answer.status) << c.what;
    EXPECT_EQ(0x70, answer.sense[0]) << c.what;
    EXPECT_EQ(c.key, answer.sense[2]) << c.what;
    EXPECT_EQ(c.asc, answer.sense[12]) << c.what;
  }
  EXPECT_EQ(ScsiTarget::kGood, Send(target, {0x00, 0, 0, 0, 0, 0}, 0).status);

  // Images that cannot be served say why.
  VirtualDisc missing;
  EXPECT_FALSE(missing.Load(kImage + L"none.cue", &error));
  EXPECT_NE(std::wstring::npos, error.find(L"cannot be opened"));
}

TEST(VirtualDrive, ReadsRawBlocksAfterModeSelectAndShowsFaults) {
  VirtualDisc disc;
  std::wstring error;
  ASSERT_TRUE(disc.Load(kImage + L"disc.cue", &error));
  const std::string image = FileBytes(kImage + L"disc image.bin");
  DriveState state;
  ScsiTarget target(&disc, &state);
  const std::vector<BYTE> read10 = {0x28, 0, 0, 0, 0x01, 0x77, 0, 0, 2, 0};  // 2 sectors from 375
  auto modeSelect = [&](DWORD blockLength) {
    std::vector<BYTE> list = {0, 0, 0, 8, 0, 0, 0, 0, 0, static_cast<BYTE>(blockLength >> 16),
                              static_cast<BYTE>(blockLength >> 8), static_cast<BYTE>(blockLength)};
    BYTE sense[14];
    return target.Execute(std::vector<BYTE>{0x15, 0x10, 0, 0, 12, 0}.data(), 6, list.data(), 12, sense);
  };
  Answer audio = Send(target, read10, 2 * 2352);
  EXPECT_EQ(ScsiTarget::kCheckCondition, audio.status) << "audio has no 2048-byte blocks";
  EXPECT_EQ(0x64, audio.sense[12]);
  EXPECT_EQ(ScsiTarget::kCheckCondition, modeSelect(1000));
  ASSERT_EQ(ScsiTarget::kGood, modeSelect(2352));
  audio = Send(target, read10, 2 * 2352);
  ASSERT_EQ(ScsiTarget::kGood, audio.status);
  EXPECT_EQ(0, std::memcmp(image.data() + 375 * 2352, audio.data.data(), 2 * 2352));
  ASSERT_EQ(ScsiTarget::kGood, modeSelect(2048));
  EXPECT_EQ(ScsiTarget::kCheckCondition, Send(target, read10, 2 * 2352).status) << "the block length went back";

  const DriveFaults faults = DriveFaults::Parse(L"unreadable=10-12;refuse-readcd,slow=250;bogus;unreadable=700-700");
  EXPECT_TRUE(faults.refuseReadCd);
  EXPECT_FALSE(faults.noDisc);
  EXPECT_EQ(250u, faults.slowMs);
  const std::pair<DWORD, DWORD> reads[] = {{0, 10}, {9, 2}, {12, 27}, {13, 27}, {699, 1}, {700, 1}};
  const bool unreadable[] = {false, true, true, false, false, true};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(unreadable[i], faults.Unreadable(reads[i].first, reads[i].second)) << i;
  ScsiTarget faulty(&disc, &state, &faults);
  EXPECT_EQ(0x20, Send(faulty, ReadCd(0, 1), 2352).sense[12]) << "READ CD refused";
  ASSERT_EQ(ScsiTarget::kGood, modeSelect(2352));
  Answer damaged = Send(faulty, {0x28, 0, 0, 0, 0, 11, 0, 0, 1, 0}, 2352);
  EXPECT_EQ(3, damaged.sense[2]) << "a medium error";
  EXPECT_EQ(0x11, damaged.sense[12]);
}
