// Estimates the tempo (beats per minute) of 16-bit stereo PCM from a coarse loudness envelope.
#pragma once

#include <vector>

#include "tavcore.h"

class TempoAnalyzer {
public:
  static constexpr int kEnvelopeRate = 2756;  // values per second
  static constexpr int kMinBpm = 80;
  static constexpr int kMaxBpm = 160;
  static constexpr UINT32 kBytesPerValue = 44100 / kEnvelopeRate * 4;

  // Room for the envelope of `totalBytes` of PCM.
  explicit TempoAnalyzer(UINT32 totalBytes);

  void Feed(const void* data, UINT32 size);
  // The tempo found, 0.0 without an envelope; frees the envelope.
  double Estimate();
  void Discard() { envelope.clear(); }

private:
  UINT32 Score(UINT32 lag) const;

  std::vector<unsigned char> envelope;
  UINT32 envelopeLength = 0;
  UINT32 writePos = 0;
};
