// Integer PCM of any width and channel count as 16-bit samples for encoders that take one or two channels:
// mono and stereo pass through, more channels are mixed down to stereo from their usual WAVE layout.
#pragma once

#include <windows.h>
#include <mmreg.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class CStereoMix {
 public:
  explicit CStereoMix(const WAVEFORMATEX& input);

  bool Valid() const { return width != 0; }
  unsigned OutputChannels() const { return channels == 1 ? 1 : 2; }
  bool MixesDown() const { return channels > 2; }
  // Writes frames * OutputChannels() samples.
  void Convert(const unsigned char* frames, size_t count, int16_t* out) const;

 private:
  unsigned width;
  unsigned channels;
  std::vector<double> toLeft, toRight;  // weight of each input channel, scaled to 16 bits
};
