// Big-endian fields, the 80-bit extended sample rate and the sample conversions of AIFF files.
#include "AiffLayout.h"

#include <algorithm>
#include <cmath>

UINT32 ReadBigEndian32(const BYTE* bytes) {
  return static_cast<UINT32>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

UINT16 ReadBigEndian16(const BYTE* bytes) { return static_cast<UINT16>(bytes[0] << 8 | bytes[1]); }

void PutBigEndian32(BYTE* bytes, UINT32 value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (24 - 8 * i));
}

void PutBigEndian16(BYTE* bytes, UINT16 value) {
  bytes[0] = static_cast<BYTE>(value >> 8);
  bytes[1] = static_cast<BYTE>(value);
}

void PutExtendedRate(BYTE* bytes, UINT32 rate) {
  std::fill(bytes, bytes + kExtendedBytes, 0);
  if (rate == 0) return;
  int highest = 31;
  while (!(rate & (1u << highest))) --highest;
  PutBigEndian16(bytes, static_cast<UINT16>(16383 + highest));
  // The mantissa carries its integer bit explicitly, at the top.
  unsigned long long mantissa = static_cast<unsigned long long>(rate) << (63 - highest);
  PutBigEndian32(bytes + 2, static_cast<UINT32>(mantissa >> 32));
  PutBigEndian32(bytes + 6, static_cast<UINT32>(mantissa));
}

double ReadExtendedRate(const BYTE* bytes) {
  const int exponent = (bytes[0] & 0x7F) << 8 | bytes[1];
  const UINT32 high = ReadBigEndian32(bytes + 2);
  const UINT32 low = ReadBigEndian32(bytes + 6);
  if ((exponent == 0 && high == 0 && low == 0) || exponent >= 32767) return 0.0;
  double value =
      std::ldexp(static_cast<double>(high), exponent - 16414) + std::ldexp(static_cast<double>(low), exponent - 16446);
  return (bytes[0] & 0x80) ? -value : value;
}

void ConvertSamples(BYTE* samples, size_t size, unsigned bytesPerSample, bool littleEndian) {
  if (bytesPerSample == 1) {
    // Unsigned with silence at 128 <-> two's complement: the same flip of the top bit both ways.
    for (size_t i = 0; i < size; ++i) samples[i] ^= 0x80;
    return;
  }
  if (littleEndian) return;
  for (size_t at = 0; at + bytesPerSample <= size; at += bytesPerSample)
    std::reverse(samples + at, samples + at + bytesPerSample);
}
