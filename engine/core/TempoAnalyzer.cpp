// Tempo estimate: the lag between repeating loudness patterns, searched coarsely and then finely.
#include "TempoAnalyzer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

TempoAnalyzer::TempoAnalyzer(UINT32 totalBytes) : envelopeLength(totalBytes / kBytesPerValue) {
  envelope.assign(envelopeLength + 1, 0);
}

void TempoAnalyzer::Feed(const void* data, UINT32 size) {
  if (envelope.empty()) return;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const UINT32 samples = size / 2;
  // The block is taken as 16-bit stereo pairs; a pair cut by the block's end is not read.
  for (UINT32 k = 0; k + 1 < samples; k += 32) {
    int16_t left, right;
    std::memcpy(&left, bytes + 2 * k, 2);
    std::memcpy(&right, bytes + 2 * (k + 1), 2);
    UINT32 index = k / 32 + writePos;
    if (index < envelopeLength)
      envelope[index] = static_cast<unsigned char>(((std::abs(static_cast<int>(left)) + std::abs(static_cast<int>(right))) / 2) >> 7);
  }
  writePos += size / kBytesPerValue;
}

UINT32 TempoAnalyzer::Score(UINT32 lag) const {
  UINT32 score = 0;
  for (UINT32 i = lag; i < envelopeLength; ++i) score += static_cast<UINT32>(std::abs(envelope[i] - envelope[i - lag]));
  return score;
}

double TempoAnalyzer::Estimate() {
  if (envelope.empty()) return 0.0;
  const UINT32 minLag = kEnvelopeRate * 240 / kMaxBpm;
  const UINT32 maxLag = kEnvelopeRate * 240 / kMinBpm;
  UINT32 bestLag = minLag;
  UINT32 bestScore = Score(minLag);
  for (UINT32 lag = minLag + 50; lag < maxLag; lag += 50) {
    UINT32 score = Score(lag);
    if (score < bestScore) {
      bestScore = score;
      bestLag = lag;
    }
  }
  const UINT32 from = std::max(bestLag > 100 ? bestLag - 100 : 0, minLag);
  const UINT32 to = std::min(bestLag + 100, maxLag);
  for (UINT32 lag = from; lag < to; ++lag) {
    UINT32 score = Score(lag);
    if (score < bestScore) {
      bestScore = score;
      bestLag = lag;
    }
  }
  envelope.clear();
  envelope.shrink_to_fit();
  return static_cast<double>(kEnvelopeRate) * 4 * 60 / bestLag;
}
