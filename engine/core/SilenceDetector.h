// Finds how many bytes of silence a PCM stream starts and ends with, block by block.
#pragma once

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
  int threshold16;
  int threshold8;
  bool inLeadingSilence = true;
};
