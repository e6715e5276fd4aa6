// The PCM format record of a sample width, channel count and rate.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstddef>

inline WAVEFORMATEX MakePcmFormat(WORD bits, WORD channels, DWORD rate) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = rate * format.nBlockAlign;
  return format;
}

// The subtype of a WAVE_FORMAT_EXTENSIBLE record that means plain PCM.
inline constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The PCM format (tag 1) of a wave-format record of `size` bytes that holds integer PCM: tag 1, or the extensible
// record with the PCM subtype whose valid bits fill its container (more channels or more than 16 bits).
// false for every other record, and for widths that are not whole bytes up to 32 bits.
bool PcmFormatOf(const void* record, size_t size, WAVEFORMATEX* out);

// One floating-point sample as 24-bit PCM: rounded to the nearest step, beyond full scale clipped, NaN silent.
inline int FloatTo24(double value) {
  constexpr double kFullScale = 8388608.0;
  if (!(value == value)) return 0;
  const double scaled = value * kFullScale;
  if (scaled >= kFullScale - 1) return 8388607;
  if (scaled <= -kFullScale) return -8388608;
  return static_cast<int>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}
