// CRC32 (the zlib polynomial) over every byte; the AccurateRip sums over the frames that count.
#include "RipChecksums.h"

#include <array>

namespace {
constexpr unsigned long long kSectorFrames = 588;

const std::array<UINT32, 256>& CrcTable() {
  static const std::array<UINT32, 256> table = [] {
    std::array<UINT32, 256> entries{};
    for (UINT32 i = 0; i < 256; ++i) {
      UINT32 value = i;
      for (int bit = 0; bit < 8; ++bit) value = value & 1 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
      entries[i] = value;
    }
    return entries;
  }();
  return table;
}
}  // namespace

RipChecksums::RipChecksums(unsigned long long totalFrames, bool firstTrack, bool lastTrack)
    : total(totalFrames),
      skipStart(firstTrack ? 5 * kSectorFrames - 1 : 0),
      skipEnd(lastTrack ? 5 * kSectorFrames : 0) {}

void RipChecksums::Add(const void* pcm, size_t bytes) {
  const auto* data = static_cast<const unsigned char*>(pcm);
  const std::array<UINT32, 256>& table = CrcTable();
  for (size_t i = 0; i < bytes; ++i) {
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    partial[partialBytes++] = data[i];
    if (partialBytes == 4) {
      AddFrame(partial[0] | partial[1] << 8 | partial[2] << 16 | static_cast<UINT32>(partial[3]) << 24);
      partialBytes = 0;
    }
  }
}

void RipChecksums::AddFrame(UINT32 frame) {
  ++position;  // 1-based, as the checksum weights count
  if (position <= skipStart || position + skipEnd > total) return;
  const unsigned long long product = static_cast<unsigned long long>(frame) * position;
  v1 += static_cast<UINT32>(product);
  v2 += static_cast<UINT32>(product) + static_cast<UINT32>(product >> 32);
}
