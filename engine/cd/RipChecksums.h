// Checksums users compare rips with: the CRC32 of a track's audio and its AccurateRip v1 and v2 checksums (the
// public algorithm: 16-bit stereo frames as 32-bit words, weighted by their position in the track; the first
// track skips its first five sectors but one frame, the last track its last five sectors).
#pragma once

#include <windows.h>

#include <cstddef>

class RipChecksums {
 public:
  // totalFrames: the track's length in stereo frames (588 per sector); the position of the first and last
  // track decides which frames count.
  RipChecksums(unsigned long long totalFrames, bool firstTrack, bool lastTrack);

  // The track's 16-bit stereo PCM in order, in pieces of whole frames or not.
  void Add(const void* pcm, size_t bytes);

  UINT32 Crc32() const { return ~crc; }
  UINT32 AccurateRipV1() const { return v1; }
  UINT32 AccurateRipV2() const { return v2; }

 private:
  void AddFrame(UINT32 frame);

  unsigned long long total;
  unsigned long long skipStart;  // frames at the start that do not count
  unsigned long long skipEnd;    // frames at the end that do not count
  unsigned long long position = 0;
  UINT32 crc = 0xFFFFFFFF;
  UINT32 v1 = 0, v2 = 0;
  unsigned char partial[4] = {};
  size_t partialBytes = 0;
};
