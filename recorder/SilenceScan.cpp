#include "SilenceScan.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT32 kFrame = 4;

bool SilentFrame(const BYTE* frame, int limit) {
  INT16 left, right;
  std::memcpy(&left, frame, 2);
  std::memcpy(&right, frame + 2, 2);
  return std::abs(static_cast<int>(left)) <= limit && std::abs(static_cast<int>(right)) <= limit;
}

}  // namespace

int SilenceLimit(int percent) { return (32767 * percent + 50) / 100; }

UINT32 LeadingSilence(const BYTE* data, UINT32 size, int limit) {
  UINT32 at = 0;
  while (at + kFrame <= size && SilentFrame(data + at, limit)) at += kFrame;
  return at;
}

UINT32 TrailingSilence(const BYTE* data, UINT32 size, int limit) {
  for (UINT32 end = size - size % kFrame; end >= kFrame; end -= kFrame)
    if (!SilentFrame(data + end - kFrame, limit)) return size - end;
  return size;
}
