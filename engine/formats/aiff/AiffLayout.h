// Big-endian fields, the 80-bit extended sample rate and the sample conversions of AIFF files.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr size_t kExtendedBytes = 10;

UINT32 ReadBigEndian32(const BYTE* bytes);
UINT16 ReadBigEndian16(const BYTE* bytes);
void PutBigEndian32(BYTE* bytes, UINT32 value);
void PutBigEndian16(BYTE* bytes, UINT16 value);

// Integer rates are exact; 0 is ten zero bytes.
void PutExtendedRate(BYTE* bytes, UINT32 rate);
// Infinity, NaN and zero read as 0.0.
double ReadExtendedRate(const BYTE* bytes);

// Between the engine's PCM (little-endian, 8-bit unsigned) and the file's samples (two's complement,
// big-endian unless `littleEndian`). `size` is a whole number of samples of `bytesPerSample` bytes.
void ConvertSamples(BYTE* samples, size_t size, unsigned bytesPerSample, bool littleEndian);
