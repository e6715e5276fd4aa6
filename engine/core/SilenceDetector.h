// Finds how many bytes of silence a PCM stream starts and ends with, block by block.
#pragma once

#include <cstdint>

#include "tavcore.h"

class SilenceDetector {
 public:
  // thresholdPercent: a sample at most this share of full scale is silent (clamped to 0..100).
  SilenceDetector(const WAVEFORMATEX& format, int thresholdPercent);

  void Feed(const void* data, UINT32 size);

  UINT32 leadingBytes = 0;
  UINT32 trailingBytes = 0;

 private:
  bool FrameIsSilent(const unsigned char* frame) const;

  WAVEFORMATEX format;
  unsigned width;  // bytes per sample; 0 for a layout no frame of which counts as silent
  int64_t threshold;
  bool inLeadingSilence = true;
};
