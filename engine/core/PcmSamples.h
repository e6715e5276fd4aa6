// Integer PCM samples of any width (8, 16, 24 or 32 bits) as signed values: the job's fades, silence
// detection and normalising work on every width and channel count through these.
#pragma once

#include <windows.h>
#include <mmreg.h>

#include <cstdint>

// Bytes per sample when the record describes interleaved integer PCM the helpers can handle, else 0.
inline unsigned PcmSampleWidth(const WAVEFORMATEX& format) {
  const unsigned width = format.wBitsPerSample / 8u;
  if (format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample % 8 != 0 || width < 1 || width > 4 ||
      format.nChannels == 0)
    return 0;
  return format.nBlockAlign == format.nChannels * width ? width : 0;
}

// The magnitude of a full-scale negative sample: 2^(bits - 1).
inline double PcmFullScale(unsigned width) { return static_cast<double>(1ull << (width * 8 - 1)); }

// The signed value of one sample; 8-bit samples are unsigned with silence at 128.
inline int32_t ReadPcmSample(const unsigned char* at, unsigned width) {
  switch (width) {
    case 1:
      return static_cast<int32_t>(at[0]) - 128;
    case 2:
      return static_cast<int16_t>(at[0] | at[1] << 8);
    case 3:
      return static_cast<int32_t>(static_cast<uint32_t>(at[0] << 8 | at[1] << 16 | at[2] << 24)) >> 8;
    default:
      return static_cast<int32_t>(at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24);
  }
}

// Stores a value, limited to the width's range.
inline void WritePcmSample(unsigned char* at, unsigned width, int64_t value) {
  const int64_t highest = (1ll << (width * 8 - 1)) - 1;
  const int64_t lowest = -highest - 1;
  if (value > highest) value = highest;
  if (value < lowest) value = lowest;
  if (width == 1) {
    at[0] = static_cast<unsigned char>(value + 128);
    return;
  }
  const uint32_t bits = static_cast<uint32_t>(static_cast<int32_t>(value));
  for (unsigned byte = 0; byte < width; ++byte) at[byte] = static_cast<unsigned char>(bits >> (8 * byte));
}
