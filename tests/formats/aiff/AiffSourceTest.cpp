// The AIFF source: damaged and refused files with their messages, AIFC compression types, chunk order,
// SSND offsets, start times, and a bounded mutation run over damaged headers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "AiffFiles.h"

namespace {
const wchar_t kNotRecording[] = L"File doesn't contain an AIFF/AIFC standard audio recording\n";
const wchar_t kNoAudio[] = L"Audio file does not contain audio\n";

std::vector<DamagedFile> DamagedFiles() {
  const std::string rate = ExtendedRate(8000);
  const std::string samples(400, '\x11');  // 100 frames of 16-bit stereo
  const std::string comm = AiffChunk("COMM", CommPayload(2, 100, 16, rate));
  const std::string ssnd = AiffChunk("SSND", SsndPayload(samples));
  std::string good = Form("AIFF", comm + ssnd);
  std::string commTooLarge = good;
  commTooLarge.replace(16, 4, BigEndian32(0x7FFFFFF0));  // COMM swallows SSND and runs past the file
  std::string ssndOffsetPastChunk = Form("AIFF", comm + AiffChunk("SSND", BigEndian32(1000) + BigEndian32(0)));
  auto aifc = [&](const char* type, const std::string& name) {
    return Form("AIFC", AiffChunk("COMM", AifcCommPayload(2, 100, 16, rate, type, name)) + ssnd);
  };
  return {
      {"empty file", "", L"AIFF/AIFC header was not found\n"},
      {"truncated FORM header", "FORM\0\0", L"AIFF/AIFC header was not found\n"},
      {"FORM without its type", "FORM" + BigEndian32(0), L"AIFF/AIFC header was not found\n"},
      {"a WAV file", RiffWave(""), L"AIFF/AIFC header was not found\n"},
      {"FORM of another type", Form("8SVX", comm + ssnd), kNotRecording},
      {"no COMM", Form("AIFF", ssnd), L"Chunk COMM was not found\n"},
      {"no SSND", Form("AIFF", comm), L"Chunk SSND was not found\n"},
      {"COMM outside a short FORM", Form("AIFF", comm + ssnd).replace(4, 4, BigEndian32(4)),
       L"Chunk COMM was not found\n"},
      {"COMM shorter than 18 bytes", Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 16, "")) + ssnd),
       kNotRecording},
      {"COMM cut by the file end", good.substr(0, 30), kNotRecording},
      {"COMM size past the file", commTooLarge, L"Chunk SSND was not found\n"},
      {"AIFC COMM without a type", Form("AIFC", comm + ssnd), kNotRecording},
      {"zero frames", Form("AIFF", AiffChunk("COMM", CommPayload(2, 0, 16, rate)) + ssnd), kNoAudio},
      {"empty SSND", Form("AIFF", comm + AiffChunk("SSND", SsndPayload(""))), kNoAudio},
      {"SSND shorter than its header", Form("AIFF", comm + AiffChunk("SSND", "abc")), kNoAudio},
      {"SSND offset past its chunk", ssndOffsetPastChunk, kNoAudio},
      {"SSND cut before the first frame", good.substr(0, good.size() - 400 + 3), kNoAudio},
      {"no channels", Form("AIFF", AiffChunk("COMM", CommPayload(0, 100, 16, rate)) + ssnd), kNotRecording},
      {"negative channels", Form("AIFF", AiffChunk("COMM", CommPayload(-2, 100, 16, rate)) + ssnd), kNotRecording},
      {"0-bit samples", Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 0, rate)) + ssnd), kNotRecording},
      {"33-bit samples", Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 33, rate)) + ssnd), kNotRecording},
      {"rate 0", Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 16, ExtendedRate(0))) + ssnd), kNotRecording},
      {"rate infinite",
       Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 16, "\x7F\xFF" + std::string(8, '\x80'))) + ssnd),
       kNotRecording},
      {"rate negative", Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 16, "\xC0\x0E" + rate.substr(2))) + ssnd),
       kNotRecording},
      {"rate beyond 32 bits",
       Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 16, "\x40\x40" + rate.substr(2))) + ssnd), kNotRecording},
      {"bytes per second beyond 32 bits",
       Form("AIFF", AiffChunk("COMM", CommPayload(2, 100, 32, ExtendedRate(0x20000000))) + ssnd), kNotRecording},
      {"compression with an empty name", aifc("ABCD", ""), L"Compression type ??? (ABCD) is not supported\n"},
      {"IMA ADPCM", aifc("ima4", "IMA 4:1"), L"Compression type IMA 4:1 (ima4) is not supported\n"},
      {"floating point", aifc("fl32", "32-bit floating point"),
       L"Compression type 32-bit floating point (fl32) is not supported\n"},
      {"name count past the chunk",
       Form("AIFC", AiffChunk("COMM", CommPayload(2, 100, 16, rate) + "ulaw\xF0xy") + ssnd),
       L"Compression type xy (ulaw) is not supported\n"},
  };
}

DecodeResult DecodeBytes(const TempFolder& temp, const std::string& bytes, int startMs = -1) {
  EXPECT_TRUE(WriteFileBytes(temp / L"in.aif", bytes));
  return DecodeAiff(temp / L"in.aif", startMs);
}
}  // namespace

TEST(AiffSource, DamagedFilesGiveTheirMessageAndLeaveTheObjectReusable) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileBytes(temp / L"good.aiff", AiffFile(2, 16, 8000, std::string(400, '\x11'))));
  IConvertSource* source = NewAiffSource();
  ASSERT_NE(nullptr, source);
  ExpectDamagedFilesRefused(source, DamagedFiles(), temp / L"bad.aiff", temp / L"good.aiff", temp / L"missing.aiff",
                            L"Source file cannot be opened for reading\n");
  source->Release();
}

TEST(AiffSource, LayoutsAndCompressionTypes) {
  TempFolder temp;
  const std::string rate = ExtendedRate(11025);
  WAVEFORMATEX stereo16 = PcmFormat(16, 2, 11025);
  const std::string pcm16 = PcmSignal(stereo16, 301);
  const std::string bigEndian16 = ToFileSamples(pcm16, 16);
  WAVEFORMATEX mono8 = PcmFormat(8, 1, 11025);
  const std::string pcm8 = PcmSignal(mono8, 301);
  const std::string signed8 = ToFileSamples(pcm8, 8);
  WAVEFORMATEX mono24 = PcmFormat(24, 1, 11025);
  const std::string pcm24 = PcmSignal(mono24, 33);
  auto aifc = [&](const char* type, int16_t channels, int16_t bits, const std::string& samples) {
    uint32_t frames = static_cast<uint32_t>(samples.size() / (channels * ((bits + 7) / 8)));
    return Form("AIFC", AiffChunk("FVER", BigEndian32(0xA2805140)) +
                            AiffChunk("COMM", AifcCommPayload(channels, frames, bits, rate, type, "name")) +
                            AiffChunk("SSND", SsndPayload(samples)));
  };
  // 12-bit samples are stored left-justified in two bytes: they are 16-bit PCM whose low bits are 0.
  std::string twelveBits = pcm16;
  for (size_t i = 0; i < twelveBits.size(); i += 2) twelveBits[i] = static_cast<char>(twelveBits[i] & 0xF0);
  struct Case {
    const char* what;
    std::string file;
    WAVEFORMATEX format;
    std::string pcm;
  } cases[] = {
      {"AIFF 16-bit stereo", AiffFile(2, 16, 11025, bigEndian16), stereo16, pcm16},
      {"AIFF 8-bit mono, odd SSND", AiffFile(1, 8, 11025, signed8), mono8, pcm8},
      {"AIFF 24-bit mono, odd SSND", AiffFile(1, 24, 11025, ToFileSamples(pcm24, 24)), mono24, pcm24},
      {"AIFF 12-bit", AiffFile(2, 12, 11025, ToFileSamples(twelveBits, 16)), stereo16, twelveBits},
      {"AIFC NONE", aifc("NONE", 2, 16, bigEndian16), stereo16, pcm16},
      {"AIFC SONE", aifc("SONE", 2, 16, bigEndian16), stereo16, pcm16},
      {"AIFC sowt 16-bit (little-endian)", aifc("sowt", 2, 16, pcm16), stereo16, pcm16},
      {"AIFC sowt 8-bit", aifc("sowt", 1, 8, signed8), mono8, pcm8},
      {"SSND before COMM, odd chunks between",
       Form("AIFF", AiffChunk("SSND", SsndPayload(signed8)) + AiffChunk("NAME", "odd") +
                        AiffChunk("COMM", CommPayload(1, 301, 8, rate)) + AiffChunk("ANNO", "x")),
       mono8, pcm8},
      {"SSND with an offset",
       Form("AIFF", AiffChunk("COMM", CommPayload(1, 301, 8, rate)) + AiffChunk("SSND", SsndPayload(signed8, 6))),
       mono8, pcm8},
      {"chunk before FORM", AiffChunk("JUNK", "abc") + AiffFile(1, 8, 11025, signed8), mono8, pcm8},
      // COMM promises more frames than SSND holds: what is there, in whole frames.
      {"frame count past SSND",
       Form("AIFF",
            AiffChunk("COMM", CommPayload(2, 100000, 16, rate)) + AiffChunk("SSND", SsndPayload(bigEndian16 + "xy"))),
       stereo16, pcm16},
      {"file ends inside SSND", AiffFile(2, 16, 11025, bigEndian16 + "abcdef").substr(0, 54 + bigEndian16.size() + 2),
       stereo16, pcm16},
      // SSND holds more than COMM counts: only the counted frames are audio.
      {"SSND past the frame count",
       Form("AIFF", AiffChunk("COMM", CommPayload(2, 301, 16, rate)) +
                        AiffChunk("SSND", SsndPayload(bigEndian16 + "trailing"))),
       stereo16, pcm16},
  };
  for (const Case& c : cases) {
    DecodeResult result = DecodeBytes(temp, c.file);
    ASSERT_TRUE(result.opened && result.read) << c.what;
    EXPECT_EQ(0, std::memcmp(&c.format, &result.format, sizeof(WAVEFORMATEX))) << c.what;
    EXPECT_EQ(c.pcm.size(), result.dataSize) << c.what;
    EXPECT_TRUE(c.pcm == result.pcm) << c.what;
  }
}

TEST(AiffSource, ChunksOf64KBStartTimesAndARefusingSink) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(24, 2, 44100);  // 6-byte frames do not divide 65536
  const std::string pcm = PcmSignal(format, 50000);
  ASSERT_TRUE(WriteFileBytes(temp / L"in.aiff", AiffFile(2, 24, 44100, ToFileSamples(pcm, 24))));
  IConvertSource* source = NewAiffSource();
  source->SetFileName((temp / L"in.aiff").c_str());
  ASSERT_TRUE(source->Open());
  CollectingSink sink;
  ASSERT_TRUE(source->ReadAll(&sink));
  for (size_t i = 0; i + 1 < sink.blocks.size(); ++i) EXPECT_EQ(65532u, sink.blocks[i]);
  EXPECT_TRUE(pcm == sink.bytes);
  source->Close();
  ASSERT_TRUE(source->Open());
  CollectingSink refusing;
  refusing.refuseAfter = 1;
  EXPECT_FALSE(source->ReadAll(&refusing));
  EXPECT_EQ(1u, refusing.blocks.size());
  source->Close();
  source->Release();

  // 250 ms of 11025 Hz 16-bit stereo = 11025 bytes, rounded down to whole 4-byte frames.
  WAVEFORMATEX cd = PcmFormat(16, 2, 11025);
  const std::string second = PcmSignal(cd, 11025);
  const std::string file = AiffFile(2, 16, 11025, ToFileSamples(second, 16));
  EXPECT_TRUE(second.substr(11024) == DecodeBytes(temp, file, 250).pcm);
  DecodeResult late = DecodeBytes(temp, file, 5000);
  EXPECT_TRUE(late.read);
  EXPECT_EQ(std::string(), late.pcm) << "a start beyond the end delivers nothing";
}

TEST(AiffSource, MutatedHeadersNeverCrashOrHang) {
  TempFolder temp;
  const std::string rate = ExtendedRate(8000);
  const std::string base =
      Form("AIFC", AiffChunk("FVER", BigEndian32(0xA2805140)) +
                       AiffChunk("COMM", AifcCommPayload(2, 16, 16, rate, "NONE", "not compressed")) +
                       AiffChunk("SSND", SsndPayload(std::string(64, '\x21'))));
  const size_t headerEnd = base.size() - 64;
  std::mt19937 random(20261209);
  IConvertSource* source = NewAiffSource();
  RecordingCallback log;
  source->SetCallback(&log);
  const std::wstring path = temp / L"mutant.aifc";
  auto started = std::chrono::steady_clock::now();
  int opened = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string mutant = base;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits && !mutant.empty(); ++edit) {
      size_t at = random() % std::min(headerEnd, mutant.size());
      switch (random() % 4) {
        case 0:
          mutant[at] = static_cast<char>(random());
          break;
        case 1:
          mutant[at] ^= static_cast<char>(1u << (random() % 8));
          break;
        case 2:
          mutant[at] = static_cast<char>(random() % 2 ? 0xFF : 0x00);
          break;
        case 3:
          mutant.resize(random() % mutant.size());
          break;
      }
    }
    ASSERT_TRUE(WriteFileBytes(path, mutant));
    source->SetFileName(path.c_str());
    size_t linesBefore = log.lines.size();
    if (source->Open()) {
      ++opened;
      WAVEFORMATEX format = {};
      UINT32 size = 0;
      ASSERT_TRUE(source->GetFormat(&format) && source->GetDataSize(&size, -1, -1));
      EXPECT_GT(format.nAvgBytesPerSec, 0u) << "round " << round;
      EXPECT_EQ(0u, size % format.nBlockAlign) << "round " << round;
      CollectingSink sink;
      EXPECT_TRUE(source->ReadAll(&sink)) << "round " << round;
      EXPECT_LE(sink.bytes.size(), static_cast<size_t>(size)) << "round " << round;
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
