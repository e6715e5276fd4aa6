// Interoperability: WAV files made by sox and ffmpeg are read with the right format and samples, and the
// files we write are left for sox and ffprobe to check (check-written.sh).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "WavFiles.h"

namespace {
const std::wstring kInputs = L"wav-interop-inputs\\";
const std::wstring kOutputs = L"wav-interop-outputs\\";

// Signal-to-difference ratio in dB of two 16-bit sample streams over their common length.
double Agreement(const std::string& a, const std::string& b) {
  size_t count = std::min(a.size(), b.size()) / 2;
  const int16_t* x = reinterpret_cast<const int16_t*>(a.data());
  const int16_t* y = reinterpret_cast<const int16_t*>(b.data());
  double signal = 1e-9, difference = 1e-9;
  for (size_t i = 0; i < count; ++i) {
    signal += static_cast<double>(x[i]) * x[i];
    difference += std::pow(static_cast<double>(x[i]) - y[i], 2);
  }
  return 10 * std::log10(signal / difference);
}
}  // namespace

TEST(WavInterop, ReadsFilesMadeByOtherTools) {
  struct Case {
    const wchar_t* name;
    WORD channels, bits;
    DWORD rate;
    bool exact;  // PCM and G.711 decode exactly; ADPCM decoders may round differently
  } cases[] = {
      {L"sox-pcm16-stereo", 2, 16, 22050, true},  {L"sox-pcm8-mono", 1, 8, 22050, true},
      {L"sox-pcm24-stereo", 2, 24, 22050, true},  {L"sox-ima-adpcm", 1, 16, 22050, false},
      {L"sox-ms-adpcm", 2, 16, 22050, false},     {L"sox-ulaw", 1, 16, 8000, true},
      {L"sox-alaw", 1, 16, 8000, true},           {L"ffmpeg-u8-odd", 1, 8, 11025, true},
      {L"ffmpeg-s16-stereo", 2, 16, 16000, true}, {L"sox-pipe", 2, 16, 22050, true},
      {L"ffmpeg-pipe", 2, 16, 16000, true},
  };
  for (const Case& c : cases) {
    DecodeResult result = Decode(kInputs + c.name + L".wav");
    ASSERT_TRUE(result.opened && result.read) << c.name;
    EXPECT_EQ(WAVE_FORMAT_PCM, result.format.wFormatTag) << c.name;
    EXPECT_EQ(c.channels, result.format.nChannels) << c.name;
    EXPECT_EQ(c.bits, result.format.wBitsPerSample) << c.name;
    EXPECT_EQ(c.rate, result.format.nSamplesPerSec) << c.name;
    std::string reference = ReadFileBytes(kInputs + c.name + L".raw");
    ASSERT_FALSE(reference.empty()) << c.name;
    if (c.exact) {
      EXPECT_TRUE(reference == result.pcm) << c.name << ": " << reference.size() << " vs " << result.pcm.size();
    } else {
      // A partial last block may be decoded or dropped; every sample both have must agree closely.
      EXPECT_NEAR(static_cast<double>(reference.size()), static_cast<double>(result.pcm.size()),
                  4.0 * 1024 * c.channels)
          << c.name;
      EXPECT_GT(Agreement(reference, result.pcm), 40.0) << c.name;
    }
  }
}

// A start time inside a Microsoft ADPCM block (sox's file) is cut at the exact frame, not at the block.
TEST(WavInterop, StartTimesInOtherToolsAdpcmAreExact) {
  for (const wchar_t* name : {L"sox-ms-adpcm", L"sox-ima-adpcm"}) {
    DecodeResult whole = Decode(kInputs + name + L".wav");
    ASSERT_TRUE(whole.read) << name;
    for (int startMs : {1, 30, 250, 1001}) {
      UINT32 start = static_cast<UINT32>((static_cast<uint64_t>(whole.format.nAvgBytesPerSec) * startMs + 500) / 1000);
      start -= start % whole.format.nBlockAlign;
      DecodeResult part = Decode(kInputs + name + L".wav", startMs);
      ASSERT_TRUE(part.read) << name;
      EXPECT_TRUE(whole.pcm.substr(start) == part.pcm) << name << " from " << startMs << " ms";
    }
  }
}

TEST(WavInterop, WritesFilesForOtherTools) {
  CreateDirectoryW(kOutputs.c_str(), nullptr);
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  ASSERT_TRUE(WriteFileBytes(kOutputs + L"source.wav", PcmWave(cd, PcmSignal(cd, 44100 * 5 / 2))));
  DecodeResult input = Decode(kOutputs + L"source.wav");
  ASSERT_TRUE(input.read);
  struct Case {
    const wchar_t* file;
    const wchar_t* codec;
    const wchar_t* format;
  } cases[] = {
      {L"pcm.wav", nullptr, nullptr},
      {L"ima.wav", L"IMA ADPCM", L"22050 Hz; 4 bits; Mono"},
      {L"ulaw.wav", L"U-Law", L"8000 Hz; 8 bits; Mono"},
      {L"alaw.wav", L"A-Law", L"8000 Hz; 8 bits; Mono"},
      {L"gsm.wav", L"GSM 6.10", L"8000 Hz; Mono"},
  };
  for (const Case& c : cases) {
    IConvertDestination* destination = NewWavDestination();
    wchar_t error[256] = L"";
    if (c.codec) {
      ASSERT_TRUE(destination->SetOption(L"wave-codec", c.codec, error)) << error;
    }
    if (c.format) {
      ASSERT_TRUE(destination->SetOption(L"wave-format", c.format, error)) << error;
    }
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    EXPECT_TRUE(Encode(destination, kOutputs + c.file, input.format, input.pcm, log, 10000)) << c.file;
    destination->Release();
  }
}
