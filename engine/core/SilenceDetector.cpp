// Leading and trailing silence of a PCM stream.
#include "SilenceDetector.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "DefConvertSource.h"

SilenceDetector::SilenceDetector(const WAVEFORMATEX& pcm, int thresholdPercent) : format(pcm) {
  UINT32 percent = static_cast<UINT32>(std::clamp(thresholdPercent, 0, 100));
  threshold16 = static_cast<int>(MulDivRounded(32767, percent, 100));
  threshold8 = static_cast<int>(MulDivRounded(127, percent, 100));
}

bool SilenceDetector::FrameIsSilent(const unsigned char* frame) const {
  for (int channel = 0; channel < format.nChannels; ++channel) {
    if (format.wBitsPerSample == 16) {
      int16_t sample;
      std::memcpy(&sample, frame + channel * 2, 2);
      if (std::abs(static_cast<int>(sample)) > threshold16) return false;
    } else if (format.wBitsPerSample == 8) {
      if (std::abs(static_cast<int>(frame[channel]) - 128) > threshold8) return false;
    } else {
      return false;
    }
  }
  return true;
}

void SilenceDetector::Feed(const void* data, UINT32 size) {
  const UINT32 frameSize = format.nBlockAlign;
  if (frameSize == 0 || static_cast<UINT32>(format.nChannels) * format.wBitsPerSample / 8 > frameSize) return;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const UINT32 frames = size / frameSize;
  if (inLeadingSilence) {
    UINT32 frame = 0;
    while (frame < frames && FrameIsSilent(bytes + frame * frameSize)) ++frame;
    if (frame == frames) {
      leadingBytes += size;
      return;
    }
    leadingBytes += frame * frameSize;
    inLeadingSilence = false;
  }
  for (UINT32 frame = frames; frame > 0; --frame) {
    if (!FrameIsSilent(bytes + (frame - 1) * frameSize)) {
      trailingBytes = size - frame * frameSize;
      return;
    }
  }
  trailingBytes += size;
}
