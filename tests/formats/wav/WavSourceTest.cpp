// The WAV source: header parsing with its messages, PCM delivery in frame-aligned chunks, start times,
// compressed data through the ACM, and a bounded mutation run over damaged headers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "WavFiles.h"

namespace {
const wchar_t kInvalid[] = L"File format is invalid or corrupted\n";
const wchar_t kZeroLength[] = L"Length of audio data is zero\n";

std::vector<DamagedFile> DamagedFiles() {
  WAVEFORMATEX pcm = PcmFormat(16, 2, 44100);
  std::string samples = PcmSignal(pcm, 100);
  std::string fmt = Chunk("fmt ", FormatChunkPayload(pcm));
  WAVEFORMATEX noAlign = pcm;
  noAlign.nBlockAlign = 0;
  WAVEFORMATEX noRate = pcm;
  noRate.nAvgBytesPerSec = 0;
  WAVEFORMATEX unknownTag = pcm;
  unknownTag.wFormatTag = 0xABCD;
  WAVEFORMATEX wmaTag = pcm;
  wmaTag.wFormatTag = 0x0160;
  std::string dataTooLong = Chunk("data", samples);
  dataTooLong[4] = '\xFF';  // the size now runs far past the RIFF end
  return {
      {"empty file", "", kInvalid},
      {"truncated RIFF header", "RIFF\x10\x00", kInvalid},
      {"not WAVE", RiffWave(fmt).replace(8, 4, "AVI "), kInvalid},
      {"empty data", RiffWave(fmt + Chunk("data", "")), kZeroLength},
      {"no data chunk", RiffWave(fmt), kZeroLength},
      {"no fmt chunk", RiffWave(Chunk("data", samples)), kZeroLength},
      {"sub-chunk past the RIFF end", RiffWave(fmt + Chunk("data", samples), 4 + fmt.size() + 100), kInvalid},
      {"data size past the file", RiffWave(fmt + dataTooLong), kInvalid},
      {"fmt shorter than 16 bytes", RiffWave(Chunk("fmt ", FormatChunkPayload(pcm, 14)) + Chunk("data", samples)),
       kInvalid},
      {"block align 0", RiffWave(Chunk("fmt ", FormatChunkPayload(noAlign)) + Chunk("data", samples)), kInvalid},
      {"bytes per second 0", RiffWave(Chunk("fmt ", FormatChunkPayload(noRate)) + Chunk("data", samples)), kInvalid},
      {"unknown codec", RiffWave(Chunk("fmt ", FormatChunkPayload(unknownTag, 18)) + Chunk("data", samples)),
       L"Required Codec 'ABCD' not present on your computer.\n"},
      {"registered codec not installed",
       RiffWave(Chunk("fmt ", FormatChunkPayload(wmaTag, 18)) + Chunk("data", samples)),
       L"Required Codec 'Windows Media Audio V1 / DivX audio (WMA)' not present on your computer.\n"},
  };
}
}  // namespace

TEST(WavSource, DamagedFilesGiveTheirMessageAndLeaveTheObjectReusable) {
  TempFolder temp;
  WAVEFORMATEX pcm = PcmFormat(16, 2, 44100);
  std::string good = PcmWave(pcm, PcmSignal(pcm, 1000));
  ASSERT_TRUE(WriteFileBytes(temp / L"good.wav", good));

  IConvertSource* source = NewWavSource();
  ASSERT_NE(nullptr, source);
  ExpectDamagedFilesRefused(source, DamagedFiles(), temp / L"bad.wav", temp / L"good.wav", temp / L"missing.wav",
                            L"Source file cannot be opened\n");
  source->Release();
}

TEST(WavSource, MissingCodecAddsAHelpLine) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(16, 1, 8000);
  format.wFormatTag = 0xABCD;
  ASSERT_TRUE(WriteFileBytes(
      temp / L"x.wav", RiffWave(Chunk("fmt ", FormatChunkPayload(format, 18)) + Chunk("data", std::string(100, 'x')))));
  DecodeResult result = Decode(temp / L"x.wav");
  ASSERT_EQ(2u, result.log.lines.size());
  EXPECT_EQ(L"i", result.log.lines[1].style);
  EXPECT_NE(std::wstring::npos, result.log.lines[1].text.find(L"http")) << "the line points to a help page";
}

TEST(WavSource, PcmLayoutsAndChunks) {
  TempFolder temp;
  struct Case {
    WORD bits, channels;
    DWORD rate;
    size_t frames;
  } cases[] = {{8, 1, 8000, 1001}, {16, 2, 44100, 44100}, {24, 2, 48000, 30000}, {16, 1, 22050, 3}};
  for (const Case& c : cases) {
    WAVEFORMATEX format = PcmFormat(c.bits, c.channels, c.rate);
    std::string samples = PcmSignal(format, c.frames);
    // Extra chunks before and after the data, an odd-sized data chunk for 8-bit mono, a 16-byte "fmt ".
    std::string file =
        RiffWave(Chunk("LIST", "INFOISFT\x05\0\0\0test\0", true) + Chunk("fmt ", FormatChunkPayload(format)) +
                 Chunk("data", samples) + Chunk("junk", "trailing"));
    ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", file));
    DecodeResult result = Decode(temp / L"in.wav");
    ASSERT_TRUE(result.opened && result.read) << c.bits << "-bit";
    EXPECT_EQ(0, std::memcmp(&format, &result.format, 16));
    EXPECT_EQ(0, result.format.cbSize);
    EXPECT_EQ(samples.size(), result.dataSize);
    EXPECT_TRUE(samples == result.pcm) << c.bits << "-bit " << c.channels << " channels";
  }
}

TEST(WavSource, DeliversFrameAlignedChunksOf64KB) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(24, 2, 44100);  // 6-byte frames do not divide 65536
  std::string samples = PcmSignal(format, 50000);
  ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", PcmWave(format, samples)));
  IConvertSource* source = NewWavSource();
  source->SetFileName((temp / L"in.wav").c_str());
  ASSERT_TRUE(source->Open());
  CollectingSink sink;
  ASSERT_TRUE(source->ReadAll(&sink));
  ASSERT_GE(sink.blocks.size(), 2u);
  for (size_t i = 0; i + 1 < sink.blocks.size(); ++i) EXPECT_EQ(65532u, sink.blocks[i]);
  EXPECT_EQ(samples, sink.bytes);

  source->Close();
  ASSERT_TRUE(source->Open());
  CollectingSink refusing;
  refusing.refuseAfter = 1;
  EXPECT_FALSE(source->ReadAll(&refusing)) << "a refusing sink stops the source";
  EXPECT_EQ(1u, refusing.blocks.size());
  source->Release();
}

TEST(WavSource, StartTimeSkipsWholeFrames) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(16, 2, 11025);
  std::string samples = PcmSignal(format, 11025);
  ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", PcmWave(format, samples)));
  // 250 ms = 11025 bytes, rounded down to 11024 (whole 4-byte frames).
  DecodeResult result = Decode(temp / L"in.wav", 250);
  ASSERT_TRUE(result.read);
  EXPECT_EQ(samples.substr(11024), result.pcm);
  EXPECT_EQ(std::string(), Decode(temp / L"in.wav", 5000).pcm) << "a start beyond the end delivers nothing";
}

TEST(WavSource, CompressedDataThroughTheAcm) {
  TempFolder temp;
  WAVEFORMATEX pcm = PcmFormat(16, 1, 22050);
  std::string samples = PcmSignal(pcm, 22050 * 2);
  ASSERT_TRUE(WriteFileBytes(temp / L"pcm.wav", PcmWave(pcm, samples)));

  IConvertDestination* destination = NewWavDestination();
  wchar_t error[256] = L"";
  ASSERT_TRUE(destination->SetOption(L"wave-codec", L"IMA ADPCM", error));
  RecordingCallback log;
  ASSERT_TRUE(Encode(destination, temp / L"ima.wav", pcm, samples, log));
  destination->Release();

  ParsedWave ima = ParseWave(ReadFileBytes(temp / L"ima.wav"));
  ASSERT_TRUE(ima.valid);
  ASSERT_EQ(WAVE_FORMAT_IMA_ADPCM, FormatOf(ima)->wFormatTag);
  DecodeResult result = Decode(temp / L"ima.wav");
  ASSERT_TRUE(result.opened && result.read);
  EXPECT_EQ(WAVE_FORMAT_PCM, result.format.wFormatTag);
  EXPECT_EQ(16, result.format.wBitsPerSample);
  UINT32 expected =
      static_cast<UINT32>((static_cast<unsigned long long>(ima.data.size()) * result.format.nAvgBytesPerSec +
                           FormatOf(ima)->nAvgBytesPerSec / 2) /
                          FormatOf(ima)->nAvgBytesPerSec);
  EXPECT_EQ(expected, result.dataSize) << "payload x PCM rate / ADPCM rate";
  // ADPCM is lossy, but the decoded signal follows the original closely and loses no time.
  ASSERT_NEAR(static_cast<double>(samples.size()), static_cast<double>(result.pcm.size()), 2048.0);
  const int16_t* original = reinterpret_cast<const int16_t*>(samples.data());
  const int16_t* decoded = reinterpret_cast<const int16_t*>(result.pcm.data());
  double error2 = 0, signal2 = 0;
  size_t count = std::min(samples.size(), result.pcm.size()) / 2;
  for (size_t i = 0; i < count; ++i) {
    error2 += std::pow(original[i] - decoded[i], 2);
    signal2 += std::pow(original[i], 2);
  }
  EXPECT_LT(error2 / signal2, 0.01) << "signal-to-error better than 20 dB";
}

TEST(WavSource, MutatedHeadersNeverCrashOrHang) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(16, 2, 8000);
  std::string base = RiffWave(Chunk("fmt ", FormatChunkPayload(format, 18)) + Chunk("LIST", "INFOabcd") +
                              Chunk("data", PcmSignal(format, 64)));
  std::mt19937 random(20261207);
  IConvertSource* source = NewWavSource();
  RecordingCallback log;
  source->SetCallback(&log);
  std::wstring path = temp / L"mutant.wav";
  auto started = std::chrono::steady_clock::now();
  int opened = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string mutant = base;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits; ++edit) {
      size_t at = random() % 60;  // the headers, not the samples
      switch (random() % 3) {
        case 0:
          mutant[at] = static_cast<char>(random());
          break;
        case 1:
          mutant[at] ^= static_cast<char>(1u << (random() % 8));
          break;
        case 2:
          mutant.resize(random() % mutant.size());
          break;
      }
      if (mutant.size() <= at) break;
    }
    ASSERT_TRUE(WriteFileBytes(path, mutant));
    source->SetFileName(path.c_str());
    size_t linesBefore = log.lines.size();
    if (source->Open()) {
      ++opened;
      CollectingSink sink;
      source->ReadAll(&sink);
      UINT32 size = 0;
      source->GetDataSize(&size, -1, -1);
      EXPECT_LE(sink.bytes.size(), static_cast<size_t>(size) + 65536) << "round " << round;
      source->Close();
    } else {
      EXPECT_GT(log.lines.size(), linesBefore) << "round " << round << ": a failure always says why";
    }
  }
  source->SetCallback(nullptr);
  source->Release();
  EXPECT_GT(opened, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}
