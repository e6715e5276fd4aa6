// The conversion job where users lost audio or were told a broken file was fine: fades, ranges and trims at
// every rate, width and channel count; processing of wide and multichannel PCM; failures of the destination
// and nothing to convert reported as failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "JobFixture.h"
#include "PcmSamples.h"
#include "TaggedObjects.h"

namespace {
struct Layout {
  WORD bits, channels;
  DWORD rate;
};
const Layout kLayouts[] = {{8, 1, 8000},   {16, 1, 22050}, {16, 2, 44100}, {24, 2, 48000},
                           {32, 1, 11025}, {16, 6, 44100}, {24, 6, 32000}, {8, 3, 16000}};

std::vector<int64_t> Samples(const WAVEFORMATEX& format, const std::string& bytes) {
  const unsigned width = format.wBitsPerSample / 8;
  std::vector<int64_t> values;
  for (size_t at = 0; at + width <= bytes.size(); at += width)
    values.push_back(ReadPcmSample(reinterpret_cast<const unsigned char*>(bytes.data()) + at, width));
  return values;
}

std::string Describe(const WAVEFORMATEX& format) {
  return std::to_string(format.wBitsPerSample) + "-bit " + std::to_string(format.nChannels) + " ch " +
         std::to_string(format.nSamplesPerSec) + " Hz";
}

// A WAV destination that can be told to fail as one does on a full disk.
class FaultyDestination : public ForwardingDestination {
 public:
  FaultyDestination() : ForwardingDestination(NewWavDestination()) {}
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override {
    if (logErrorInWrite && callback) callback->LogStyled(L"Output file cannot be written\n", L"e");
    return inner->Write(size, data);
  }
  bool STDMETHODCALLTYPE Close() override { return inner->Close() && !failClose; }
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override {
    callback = cb;
    inner->SetCallback(cb);
  }

  bool failClose = false;
  bool logErrorInWrite = false;

 private:
  IConvertCallback* callback = nullptr;
};
}  // namespace

// A fade whose length in bytes is not a whole number of frames ran across sample boundaries and turned the
// faded stretch into full-scale noise. A fade only ever scales a sample toward 0, and leaves the rest alone.
TEST_F(ConversionJob, FadesScaleWholeFramesAtEveryLayout) {
  for (const Layout& layout : kLayouts) {
    WAVEFORMATEX format = PcmFormat(layout.bits, layout.channels, layout.rate);
    std::string samples = PcmSignal(format, layout.rate * 13 / 10 + 7);
    std::wstring input = Input(format, samples);
    const std::vector<int64_t> before = Samples(format, samples);
    for (int fadeOutMs : {1, 2, 3, 1003}) {
      CONVOPTIONS fades = {0, 0, 7, fadeOutMs};
      RecordingCallback log;
      log.answerOverwrite = TRUE;
      ASSERT_EQ(S_OK, Convert(input, temp / L"out\\faded.wav", log, &fades)) << Describe(format);
      const std::vector<int64_t> after = Samples(format, OutputData(temp / L"out\\faded.wav"));
      ASSERT_EQ(before.size(), after.size()) << Describe(format);
      const size_t fadeIn = MulDiv(format.nAvgBytesPerSec, 7, 1000) / format.nBlockAlign * format.nChannels;
      const size_t fadeOut = MulDiv(format.nAvgBytesPerSec, fadeOutMs, 1000) / format.nBlockAlign * format.nChannels;
      size_t wrong = 0, changedOutside = 0;
      for (size_t i = 0; i < before.size(); ++i) {
        bool faded = i < fadeIn || i >= before.size() - fadeOut;
        if (!faded) {
          changedOutside += after[i] != before[i];
        } else if (std::abs(after[i]) > std::abs(before[i]) || (after[i] != 0 && (after[i] < 0) != (before[i] < 0))) {
          ++wrong;
        }
      }
      EXPECT_EQ(0u, wrong) << Describe(format) << ", fade-out " << fadeOutMs << " ms";
      EXPECT_EQ(0u, changedOutside) << Describe(format) << ", fade-out " << fadeOutMs << " ms";
      EXPECT_EQ(0, after.front()) << Describe(format);
    }
  }
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}

TEST_F(ConversionJob, RangesCutAtWholeFramesAtEveryLayout) {
  const std::pair<int, int> ranges[] = {{1, 999}, {3, -1}, {-1, 1003}, {501, 1297}, {7, 8}};
  for (const Layout& layout : kLayouts) {
    WAVEFORMATEX format = PcmFormat(layout.bits, layout.channels, layout.rate);
    std::string samples = PcmSignal(format, layout.rate * 13 / 10 + 7);
    std::wstring input = Input(format, samples);
    for (const auto& [startMs, endMs] : ranges) {
      RecordingCallback log;
      log.answerOverwrite = TRUE;
      ASSERT_EQ(S_OK, Convert(input, temp / L"out\\range.wav", log, nullptr, nullptr, startMs, endMs))
          << Describe(format) << " " << startMs << "-" << endMs;
      UINT32 end = endMs < 0 ? static_cast<UINT32>(samples.size())
                             : std::min<UINT32>(MulDiv(format.nAvgBytesPerSec, endMs, 1000), samples.size());
      UINT32 start = startMs < 0 ? 0 : std::min<UINT32>(MulDiv(format.nAvgBytesPerSec, startMs, 1000), end);
      start -= start % format.nBlockAlign;
      UINT32 length = end - start;
      length -= length % format.nBlockAlign;
      EXPECT_TRUE(samples.substr(start, length) == OutputData(temp / L"out\\range.wav"))
          << Describe(format) << " " << startMs << "-" << endMs;
    }
  }
}

// Trimming, normalising and fading did nothing for samples wider than 16 bits or more than two channels.
TEST_F(ConversionJob, TrimsNormalisesAndFadesWideAndMultichannelPcm) {
  for (const Layout& layout : kLayouts) {
    WAVEFORMATEX format = PcmFormat(layout.bits, layout.channels, layout.rate);
    const size_t half = layout.rate / 2 * format.nBlockAlign;  // half a second, in whole frames
    const std::string silence(half, layout.bits == 8 ? '\x80' : '\0');
    // The signal peaks near 0.67 of full scale; a quarter of it stays well above the silence threshold.
    std::vector<int64_t> tone = Samples(format, PcmSignal(format, layout.rate));
    std::string quieter(tone.size() * (layout.bits / 8), '\0');
    for (size_t i = 0; i < tone.size(); ++i)
      WritePcmSample(reinterpret_cast<unsigned char*>(&quieter[i * (layout.bits / 8)]), layout.bits / 8, tone[i] / 4);
    std::wstring input = Input(format, silence + quieter + silence);
    CONVOPTIONS options = {1, 1, 10, 0};
    double gain = 0.0;
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    ASSERT_EQ(S_OK, Convert(input, temp / L"out\\processed.wav", log, &options, &gain)) << Describe(format);
    std::vector<int64_t> out = Samples(format, OutputData(temp / L"out\\processed.wav"));
    EXPECT_LE(out.size(), tone.size()) << Describe(format) << ": the silence is trimmed";
    EXPECT_GT(out.size(), tone.size() * 9 / 10) << Describe(format);
    EXPECT_GT(gain, 5.0) << Describe(format);
    int64_t peak = 0;
    for (int64_t value : out) peak = std::max<int64_t>(peak, std::abs(value));
    EXPECT_GE(peak, static_cast<int64_t>(PcmFullScale(layout.bits / 8) * 0.99)) << Describe(format);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(0, out.front()) << Describe(format) << ": the fade-in starts from silence";
  }
}

TEST_F(ConversionJob, FailuresOfTheDestinationFailTheConversion) {
  std::wstring input = Input(cd, PcmSignal(cd, 44100));
  for (bool inClose : {true, false}) {
    for (bool twoPass : {false, true}) {
      FaultyDestination destination;
      destination.failClose = inClose;
      destination.logErrorInWrite = !inClose;
      IConvertSource* source = NewWavSource();
      source->SetFileName(input.c_str());
      destination.SetFileName((temp / L"out\\faulty.wav").c_str());
      CONVOPTIONS fade = {0, 0, 20, 0};
      RecordingCallback log;
      log.answerOverwrite = TRUE;
      EXPECT_EQ(E_FAIL, AudioConvert(source, &destination, &log, twoPass ? &fade : nullptr, nullptr, -1, -1))
          << (inClose ? "Close failed" : "an error was logged") << (twoPass ? ", two passes" : "");
      source->Release();
    }
  }
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}

TEST_F(ConversionJob, NothingToConvertIsAFailureWithItsReason) {
  std::wstring input = Input(cd, PcmSignal(cd, 44100 * 3));
  const std::pair<int, int> afterTheEnd[] = {{5000, -1}, {3000, -1}, {4000, 6000}};
  for (const auto& [startMs, endMs] : afterTheEnd) {
    RecordingCallback log;
    EXPECT_EQ(E_FAIL, Convert(input, temp / L"out\\none.wav", log, nullptr, nullptr, startMs, endMs)) << startMs;
    EXPECT_EQ(std::vector<std::wstring>{L"Nothing to convert: the range starts at or after the end of the file\n"},
              log.Errors());
    EXPECT_FALSE(FileExists(temp / L"out\\none.wav")) << startMs << ": no output file was made";
  }
  WAVEFORMATEX eightBit = PcmFormat(8, 1, 8000);
  for (const std::wstring& silent : {Input(cd, std::string(176400, '\0'), L"silent16.wav"),
                                     Input(eightBit, std::string(8000, '\x80'), L"silent8.wav")}) {
    CONVOPTIONS trim = {1, 1, 0, 0};
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    EXPECT_EQ(E_FAIL, Convert(silent, temp / L"out\\silent.wav", log, &trim));
    EXPECT_EQ(std::vector<std::wstring>{L"Nothing to convert: the file is silent throughout\n"}, log.Errors());
  }
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}
