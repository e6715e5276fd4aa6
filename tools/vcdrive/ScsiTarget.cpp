// Sense keys: 2 NOT READY (3A: no medium), 3 MEDIUM ERROR (11: unrecovered read error), 5 ILLEGAL REQUEST (20:
// invalid command, 21: block address out of range, 24: invalid field in the CDB, 26: invalid field in the parameter
// list, 64: illegal mode for this track).
#include "ScsiTarget.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr BYTE kInquiry = 0x12, kTestUnitReady = 0x00, kReadToc = 0x43, kReadCd = 0xBE, kSetSpeed = 0xBB,
               kPauseResume = 0x4B, kStartStop = 0x1B,
               kModeSelect = 0x15, kRead10 = 0x28;

void PutBigEndian32(BYTE* to, DWORD value) {
  for (int i = 0; i < 4; ++i) to[i] = static_cast<BYTE>(value >> (24 - 8 * i));
}
}  // namespace

BYTE ScsiTarget::Fail(BYTE sense[14], BYTE key, BYTE asc, BYTE ascq) {
  std::memset(sense, 0, 14);
  sense[0] = 0x70;  // current error, fixed format
  sense[2] = key;
  sense[7] = 6;  // additional length: up to byte 13
  sense[12] = asc;
  sense[13] = ascq;
  return kCheckCondition;
}

BYTE ScsiTarget::Execute(const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD bufferLength, BYTE sense[14]) {
  std::memset(sense, 0, 14);
  if (!cdb || cdbLength < 6) return Fail(sense, 5, 0x20);
  switch (cdb[0]) {
    case kInquiry: {
      BYTE data[36] = {5, 0x80, 0x02, 0x02, 31};  // a removable CD-ROM unit
      std::memcpy(data + 8, "TAVREL  ", 8);
      std::memcpy(data + 16, "VIRTUAL CD-ROM  ", 16);
      std::memcpy(data + 32, "1.00", 4);
      std::memcpy(buffer, data, std::min<DWORD>({bufferLength, cdb[4], sizeof(data)}));
      return kGood;
    }
    case kTestUnitReady:
      return disc ? kGood : Fail(sense, 2, 0x3A);
    case kReadToc:
      if (cdbLength < 10) return Fail(sense, 5, 0x24);
      return disc ? ReadToc(cdb, buffer, bufferLength, sense) : Fail(sense, 2, 0x3A);
    case kReadCd: {
      if (faults->refuseReadCd) return Fail(sense, 5, 0x20);
      if (cdbLength < 12) return Fail(sense, 5, 0x24);
      if (!disc) return Fail(sense, 2, 0x3A);
      const DWORD lba = static_cast<DWORD>(cdb[2]) << 24 | cdb[3] << 16 | cdb[4] << 8 | cdb[5];
      const DWORD count = static_cast<DWORD>(cdb[6]) << 16 | cdb[7] << 8 | cdb[8];
      return ReadSectors(lba, count, buffer, bufferLength, sense);
    }
    case kModeSelect:
      return ModeSelect(cdb, buffer, std::min<DWORD>(bufferLength, cdb[4]), sense);
    case kRead10: {
      if (cdbLength < 10) return Fail(sense, 5, 0x24);
      if (!disc) return Fail(sense, 2, 0x3A);
      const DWORD lba = static_cast<DWORD>(cdb[2]) << 24 | cdb[3] << 16 | cdb[4] << 8 | cdb[5];
      const DWORD count = static_cast<DWORD>(cdb[7]) << 8 | cdb[8];
      // Audio sectors have no 2048-byte user data: only the raw block length reads them.
      if (state->blockLength != VirtualDisc::kSectorBytes) return Fail(sense, 5, 0x64);
      return ReadSectors(lba, count, buffer, bufferLength, sense);
    }
    case kSetSpeed:
    case kPauseResume:
    case kStartStop:
      return kGood;
    default:
      return Fail(sense, 5, 0x20);
  }
}

BYTE ScsiTarget::ReadToc(const BYTE* cdb, BYTE* buffer, DWORD bufferLength, BYTE sense[14]) {
  if ((cdb[2] & 0x0F) != 0) return Fail(sense, 5, 0x24);  // only the plain TOC form
  const bool msf = (cdb[1] & 0x02) != 0;
  const DiscLayout& layout = disc->Layout();
  std::vector<BYTE> answer(4);
  answer[2] = static_cast<BYTE>(layout.tracks.front().number);
  answer[3] = static_cast<BYTE>(layout.tracks.back().number);
  auto descriptor = [&](BYTE control, BYTE number, DWORD lba) {
    BYTE entry[8] = {0, static_cast<BYTE>(0x10 | control), number, 0};
    if (msf) {
      const DWORD frames = lba + 150;
      entry[5] = static_cast<BYTE>(frames / 4500);
      entry[6] = static_cast<BYTE>(frames / 75 % 60);
      entry[7] = static_cast<BYTE>(frames % 75);
    } else {
      PutBigEndian32(entry + 4, lba);
    }
    answer.insert(answer.end(), entry, entry + 8);
  };
  for (const DiscLayout::Track& track : layout.tracks)
    descriptor(track.audio ? 0x00 : 0x04, static_cast<BYTE>(track.number), track.start);
  descriptor(0x00, 0xAA, layout.leadOut);
  const size_t length = answer.size() - 2;
  answer[0] = static_cast<BYTE>(length >> 8);
  answer[1] = static_cast<BYTE>(length);
  const DWORD allocation = static_cast<DWORD>(cdb[7]) << 8 | cdb[8];
  std::memcpy(buffer, answer.data(), std::min<size_t>({answer.size(), bufferLength, allocation}));
  return kGood;
}

BYTE ScsiTarget::ModeSelect(const BYTE* cdb, const BYTE* list, DWORD listLength, BYTE sense[14]) {
  if ((cdb[1] & 0x10) == 0) return Fail(sense, 5, 0x24);  // only page-format lists
  if (listLength < 4) return Fail(sense, 5, 0x26);
  const DWORD descriptors = list[3];
  if (descriptors == 0) return kGood;  // pages only
  if (descriptors != 8 || listLength < 12) return Fail(sense, 5, 0x26);
  const DWORD blockLength = static_cast<DWORD>(list[9]) << 16 | list[10] << 8 | list[11];
  if (blockLength != 2048 && blockLength != VirtualDisc::kSectorBytes) return Fail(sense, 5, 0x26);
  state->blockLength = blockLength;
  return kGood;
}

BYTE ScsiTarget::ReadSectors(DWORD lba, DWORD count, BYTE* buffer, DWORD bufferLength, BYTE sense[14]) {
  if (static_cast<unsigned long long>(count) * VirtualDisc::kSectorBytes > bufferLength) return Fail(sense, 5, 0x24);
  if (static_cast<unsigned long long>(lba) + count > disc->Layout().leadOut) return Fail(sense, 5, 0x21);
  if (faults->blankReads) return kGood;
  // An unreadable sector: MEDIUM ERROR, unrecovered read error.
  if (faults->Unreadable(lba, count) || !disc->ReadSectors(lba, count, buffer)) return Fail(sense, 3, 0x11);
  return kGood;
}
