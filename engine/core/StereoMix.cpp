// Down-mixing to stereo and narrowing to 16 bits.
#include "StereoMix.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "PcmSamples.h"

namespace {
enum Speaker { kLeft, kRight, kCentre, kLowFrequency, kBackLeft, kBackRight, kBackCentre, kSideLeft, kSideRight };

// The speakers of the usual channel masks for each count, in WAVE channel order.
std::vector<Speaker> LayoutOf(unsigned channels) {
  switch (channels) {
    case 3:
      return {kLeft, kRight, kCentre};
    case 4:
      return {kLeft, kRight, kBackLeft, kBackRight};
    case 5:
      return {kLeft, kRight, kCentre, kBackLeft, kBackRight};
    case 6:
      return {kLeft, kRight, kCentre, kLowFrequency, kBackLeft, kBackRight};
    case 7:
      return {kLeft, kRight, kCentre, kLowFrequency, kBackCentre, kSideLeft, kSideRight};
    case 8:
      return {kLeft, kRight, kCentre, kLowFrequency, kBackLeft, kBackRight, kSideLeft, kSideRight};
    default: {
      // No usual layout: the channels alternate between the sides.
      std::vector<Speaker> layout;
      for (unsigned channel = 0; channel < channels; ++channel) layout.push_back(channel % 2 ? kRight : kLeft);
      return layout;
    }
  }
}
}  // namespace

CStereoMix::CStereoMix(const WAVEFORMATEX& input) : width(PcmSampleWidth(input)), channels(input.nChannels) {
  if (!width || channels <= 2) return;
  const double half = std::sqrt(0.5);
  for (Speaker speaker : LayoutOf(channels)) {
    double left = 0.0, right = 0.0;
    switch (speaker) {
      case kLeft:
        left = 1.0;
        break;
      case kRight:
        right = 1.0;
        break;
      case kCentre:
        left = right = half;
        break;
      case kLowFrequency:
        break;  // as in every stereo down-mix: the bass speaker is left out
      case kBackLeft:
      case kSideLeft:
        left = half;
        break;
      case kBackRight:
      case kSideRight:
        right = half;
        break;
      case kBackCentre:
        left = right = 0.5;
        break;
    }
    toLeft.push_back(left);
    toRight.push_back(right);
  }
  // Scaled so that full scale on every channel at once cannot clip.
  double loudest = std::max(std::accumulate(toLeft.begin(), toLeft.end(), 0.0),
                            std::accumulate(toRight.begin(), toRight.end(), 0.0));
  const double scale = 32768.0 / PcmFullScale(width) / std::max(loudest, 1.0);
  for (double& weight : toLeft) weight *= scale;
  for (double& weight : toRight) weight *= scale;
}

void CStereoMix::Convert(const unsigned char* frames, size_t count, int16_t* out) const {
  const size_t frameBytes = static_cast<size_t>(width) * channels;
  if (channels <= 2) {
    // Narrowing keeps the top 16 bits, widening fills the low byte with zeros: 16-bit input stays exact.
    const size_t samples = count * channels;
    for (size_t i = 0; i < samples; ++i) {
      int32_t value = ReadPcmSample(frames + i * width, width);
      out[i] = static_cast<int16_t>(width == 1 ? value * 256 : value >> (8 * (width - 2)));
    }
    return;
  }
  for (size_t frame = 0; frame < count; ++frame, frames += frameBytes) {
    double left = 0.0, right = 0.0;
    for (unsigned channel = 0; channel < channels; ++channel) {
      double value = ReadPcmSample(frames + channel * width, width);
      left += value * toLeft[channel];
      right += value * toRight[channel];
    }
    out[2 * frame] = static_cast<int16_t>(std::clamp(std::lround(left), -32768L, 32767L));
    out[2 * frame + 1] = static_cast<int16_t>(std::clamp(std::lround(right), -32768L, 32767L));
  }
}
