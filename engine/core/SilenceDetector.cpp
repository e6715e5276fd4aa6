// Leading and trailing silence of a PCM stream.
#include "SilenceDetector.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "PcmSamples.h"

SilenceDetector::SilenceDetector(const WAVEFORMATEX& pcm, int thresholdPercent)
    : format(pcm), width(PcmSampleWidth(pcm)) {
  const UINT32 percent = static_cast<UINT32>(std::clamp(thresholdPercent, 0, 100));
  // 32767 * percent / 100 for 16-bit samples, 127 * percent / 100 for 8-bit ones, and so on, rounded.
  const int64_t highest = width ? static_cast<int64_t>(PcmFullScale(width)) - 1 : 0;
  threshold = (highest * percent + 50) / 100;
}

bool SilenceDetector::FrameIsSilent(const unsigned char* frame) const {
  if (width == 0) return false;
  for (int channel = 0; channel < format.nChannels; ++channel) {
    int64_t sample = ReadPcmSample(frame + channel * width, width);
    if ((sample < 0 ? -sample : sample) > threshold) return false;
  }
  return true;
}

void SilenceDetector::Feed(const void* data, UINT32 size) {
  const UINT32 frameSize = format.nBlockAlign;
  if (width == 0) return;
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
