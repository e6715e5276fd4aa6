// The peak normaliser: gains found by analysis, scaling with limits, 8-bit offset, refused formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tavcore.h"

namespace {
WAVEFORMATEX Pcm(WORD bits, WORD channels) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  return format;
}

struct NormalizerHandle {
  NormalizerHandle() { EXPECT_EQ(S_OK, CreateNormalizer(&object)); }
  ~NormalizerHandle() {
    if (object) object->Destroy();
  }
  INormalizer* operator->() const { return object; }
  INormalizer* object = nullptr;
};

// Two passes over the same block list, as the conversion job runs them; the processing is in place.
std::vector<int16_t> Normalize16(std::vector<int16_t> samples, WORD channels = 1) {
  NormalizerHandle normalizer;
  WAVEFORMATEX format = Pcm(16, channels);
  EXPECT_EQ(S_OK, normalizer->Init(&format));
  UINT32 bytes = static_cast<UINT32>(samples.size() * 2);
  EXPECT_EQ(S_OK, normalizer->Analyze(bytes / 2, samples.data()));
  EXPECT_EQ(S_OK, normalizer->Analyze(bytes - bytes / 2, reinterpret_cast<char*>(samples.data()) + bytes / 2));
  EXPECT_EQ(S_OK, normalizer->Process(bytes, samples.data(), samples.data()));
  return samples;
}

double GainAfterAnalysis(WORD bits, const void* data, UINT32 size) {
  NormalizerHandle normalizer;
  WAVEFORMATEX format = Pcm(bits, 2);
  EXPECT_EQ(S_OK, normalizer->Init(&format));
  EXPECT_EQ(S_OK, normalizer->Analyze(size, data));
  double gain = -1;
  EXPECT_EQ(S_OK, normalizer->GetGain(&gain));
  return gain;
}
}  // namespace

TEST(Normalizer, SixteenBitGainAndLimits) {
  std::vector<int16_t> samples = {0, 16384, -16384, 8192, -1, 100};
  int16_t expectedGainTwo[] = {0, 32767, -32768, 16384, -2, 200};
  EXPECT_EQ(2.0, GainAfterAnalysis(16, samples.data(), 12));
  std::vector<int16_t> result = Normalize16(samples);
  EXPECT_EQ(std::vector<int16_t>(std::begin(expectedGainTwo), std::end(expectedGainTwo)), result);

  std::vector<int16_t> fullScale = {-32768, 1000, -5, 32000};
  EXPECT_EQ(1.0, GainAfterAnalysis(16, fullScale.data(), 8));
  EXPECT_EQ(fullScale, Normalize16(fullScale, 2));

  // A gain just above 3: 10922 reaches full scale and is limited; 1000 -> 3000.18; -3 -> -9.0005.
  std::vector<int16_t> odd = {10922, 1000, -3};
  std::vector<int16_t> scaled = Normalize16(odd);
  EXPECT_EQ(32767, scaled[0]);
  EXPECT_EQ(3000, scaled[1]);
  EXPECT_EQ(-9, scaled[2]) << "truncated toward zero";
}

TEST(Normalizer, EightBitUsesTheSilenceOffset) {
  unsigned char bytes[] = {64, 192, 128, 96, 160, 127};
  EXPECT_EQ(2.0, GainAfterAnalysis(8, bytes, sizeof(bytes)));

  NormalizerHandle normalizer;
  WAVEFORMATEX format = Pcm(8, 1);
  ASSERT_EQ(S_OK, normalizer->Init(&format));
  ASSERT_EQ(S_OK, normalizer->Analyze(sizeof(bytes), bytes));
  unsigned char out[sizeof(bytes)];
  ASSERT_EQ(S_OK, normalizer->Process(sizeof(bytes), bytes, out));
  unsigned char expected[] = {0, 255, 128, 64, 192, 126};
  EXPECT_EQ(0, std::memcmp(expected, out, sizeof(out)));
}

TEST(Normalizer, SilenceStaysSilent) {
  std::vector<int16_t> silence(64, 0);
  EXPECT_EQ(silence, Normalize16(silence));

  unsigned char quiet[32];
  std::memset(quiet, 128, sizeof(quiet));
  NormalizerHandle normalizer;
  WAVEFORMATEX format = Pcm(8, 2);
  ASSERT_EQ(S_OK, normalizer->Init(&format));
  ASSERT_EQ(S_OK, normalizer->Analyze(sizeof(quiet), quiet));
  ASSERT_EQ(S_OK, normalizer->Process(sizeof(quiet), quiet, quiet));
  for (unsigned char b : quiet) ASSERT_EQ(128, b);
}

TEST(Normalizer, FixedGainReplacesTheAnalysedOne) {
  NormalizerHandle normalizer;
  WAVEFORMATEX format = Pcm(16, 1);
  ASSERT_EQ(S_OK, normalizer->Init(&format));
  std::vector<int16_t> samples = {1000, -1000, 30001, -7};
  ASSERT_EQ(S_OK, normalizer->Analyze(8, samples.data()));
  ASSERT_EQ(S_OK, normalizer->SetGain(0.5));
  double gain = 0;
  ASSERT_EQ(S_OK, normalizer->GetGain(&gain));
  EXPECT_EQ(0.5, gain);
  ASSERT_EQ(S_OK, normalizer->Process(8, samples.data(), samples.data()));
  EXPECT_EQ((std::vector<int16_t>{500, -500, 15000, -3}), samples);

  // An absurd gain must not turn into undefined conversions.
  ASSERT_EQ(S_OK, normalizer->SetGain(std::numeric_limits<double>::infinity()));
  std::vector<int16_t> edge = {0, 1, -1};
  ASSERT_EQ(S_OK, normalizer->Process(6, edge.data(), edge.data()));
  EXPECT_EQ((std::vector<int16_t>{0, 32767, -32768}), edge);
}

TEST(Normalizer, RefusedFormatsAndUseBeforeInit) {
  NormalizerHandle normalizer;
  int16_t data[4] = {100, 200, 300, 400};
  int16_t copy[4];
  std::memcpy(copy, data, sizeof(data));
  EXPECT_EQ(E_FAIL, normalizer->Analyze(8, data));
  EXPECT_EQ(E_FAIL, normalizer->Process(8, data, data));
  EXPECT_EQ(0, std::memcmp(copy, data, sizeof(data))) << "a refused call leaves the data alone";

  WAVEFORMATEX format24 = Pcm(24, 2);
  WAVEFORMATEX format6ch = Pcm(16, 6);
  EXPECT_EQ(E_INVALIDARG, normalizer->Init(&format24));
  EXPECT_EQ(E_INVALIDARG, normalizer->Init(&format6ch));
  EXPECT_EQ(E_INVALIDARG, normalizer->Init(nullptr));
  EXPECT_EQ(E_FAIL, normalizer->Analyze(8, data)) << "a refused Init leaves the object not ready";

  EXPECT_EQ(E_INVALIDARG, CreateNormalizer(nullptr));
}
