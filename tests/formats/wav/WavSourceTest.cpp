// The WAV source: header parsing with its messages, PCM delivery in frame-aligned chunks, start times,
// compressed data through the ACM, and a bounded mutation run over damaged headers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

#include "WavFiles.h"

#include <ks.h>
#include <ksmedia.h>

namespace {
const wchar_t kInvalid[] = L"File format is invalid or corrupted\n";
const wchar_t kZeroLength[] = L"Length of audio data is zero\n";
const std::string kSomeData(4096, '\x11');

std::string Wave(const std::string& format) { return RiffWave(Chunk("fmt ", format) + Chunk("data", kSomeData)); }

std::string Pcm(WORD bits, WORD channels, DWORD rate, WORD blockAlign, WORD tag = WAVE_FORMAT_PCM) {
  WAVEFORMATEX format = {tag, channels, rate, rate * blockAlign, blockAlign, bits, 0};
  return FormatChunkPayload(format, tag == WAVE_FORMAT_PCM ? 16 : 18);
}

// A compressed "fmt " record with its extra words.
std::string Compressed(WORD tag, WORD channels, DWORD rate, WORD blockAlign, WORD bits, std::vector<WORD> extra) {
  WAVEFORMATEX format = {tag, channels, rate, rate / 2, blockAlign, bits, static_cast<WORD>(extra.size() * 2)};
  std::string payload = FormatChunkPayload(format, 18);
  payload.append(reinterpret_cast<const char*>(extra.data()), extra.size() * 2);
  return payload;
}

std::string Ima(WORD channels, DWORD rate, WORD blockAlign, WORD samplesPerBlock, WORD bits = 4) {
  return Compressed(WAVE_FORMAT_IMA_ADPCM, channels, rate, blockAlign, bits, {samplesPerBlock});
}

// The seven standard coefficient pairs follow the block length and the count.
std::string MsAdpcm(WORD channels, DWORD rate, WORD blockAlign, WORD samplesPerBlock, WORD coefficients,
                    size_t keptWords = 16) {
  std::vector<WORD> extra = {samplesPerBlock, coefficients, 256,   0, 512, 0xFF00, 0, 0, 192, 64, 240, 0, 460,
                             0xFF30,          392,          0xFF18};
  extra.resize(keptWords);
  return Compressed(WAVE_FORMAT_ADPCM, channels, rate, blockAlign, 4, extra);
}

std::string Gsm(WORD blockAlign) { return Compressed(WAVE_FORMAT_GSM610, 1, 8000, blockAlign, 0, {320}); }

std::vector<DamagedFile> DamagedFiles() {
  WAVEFORMATEX pcm = PcmFormat(16, 2, 44100);
  std::string samples = PcmSignal(pcm, 100);
  std::string fmt = Chunk("fmt ", FormatChunkPayload(pcm));
  WAVEFORMATEX noAlign = pcm;
  noAlign.nBlockAlign = 0;
  WAVEFORMATEX unknownTag = pcm;
  unknownTag.wFormatTag = 0xABCD;
  WAVEFORMATEX wmaTag = pcm;
  wmaTag.wFormatTag = 0x0160;
  return {
      {"empty file", "", kInvalid},
      {"truncated RIFF header", "RIFF\x10\x00", kInvalid},
      {"not WAVE", RiffWave(fmt).replace(8, 4, "AVI "), kInvalid},
      {"empty data", RiffWave(fmt + Chunk("data", "")), kZeroLength},
      {"no data chunk", RiffWave(fmt), kZeroLength},
      {"no fmt chunk", RiffWave(Chunk("data", samples)), kZeroLength},
      {"chunk before the data past the file",
       RiffWave(fmt + Chunk("LIST", "INFO").replace(7, 1, "\x7F") + Chunk("data", samples)), kInvalid},
      {"fmt shorter than 16 bytes", RiffWave(Chunk("fmt ", FormatChunkPayload(pcm, 14)) + Chunk("data", samples)),
       kInvalid},
      {"block align 0", RiffWave(Chunk("fmt ", FormatChunkPayload(noAlign)) + Chunk("data", samples)), kInvalid},
      {"unknown codec", RiffWave(Chunk("fmt ", FormatChunkPayload(unknownTag, 18)) + Chunk("data", samples)),
       L"Required Codec 'ABCD' not present on your computer.\n"},
      // Headers a codec would choke on: a division by zero, a 271 MB output from a 1-byte block.
      {"PCM sample rate 0", Wave(Pcm(16, 2, 0, 4)), kInvalid},
      {"PCM no channels", Wave(Pcm(16, 0, 8000, 4)), kInvalid},
      {"PCM block size not matching the channels", Wave(Pcm(16, 2, 44100, 2)), kInvalid},
      {"PCM 40-bit samples", Wave(Pcm(40, 1, 8000, 5)), kInvalid},
      {"IMA ADPCM block of 1 byte", Wave(Ima(1, 22050, 1, 0)), kInvalid},
      {"IMA ADPCM samples per block not matching", Wave(Ima(1, 22050, 512, 1000)), kInvalid},
      {"IMA ADPCM 16-bit", Wave(Ima(1, 22050, 512, 1017, 16)), kInvalid},
      {"IMA ADPCM 3 channels", Wave(Ima(3, 22050, 1536, 1017)), kInvalid},
      {"MS ADPCM 0 samples per block", Wave(MsAdpcm(2, 22050, 1024, 0, 7)), kInvalid},
      {"MS ADPCM 3 coefficients", Wave(MsAdpcm(2, 22050, 1024, 1012, 3)), kInvalid},
      {"MS ADPCM header cut short", Wave(MsAdpcm(2, 22050, 1024, 1012, 7, 8)), kInvalid},
      {"GSM 6.10 block of 64 bytes", Wave(Gsm(64)), kInvalid},
      {"mu-law 16-bit", Wave(Pcm(16, 1, 8000, 2, WAVE_FORMAT_MULAW)), kInvalid},
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

// Files that sox and ffmpeg read: written to a pipe (sizes 0 or 0xFFFFFFFF, or sox's 0x7FFFF000), a RIFF size
// short of the data, a file cut short, headers with a bad byte rate or sub-byte samples. The data runs to the
// end of the file.
TEST(WavSource, LenientHeadersReadAsOtherToolsReadThem) {
  TempFolder temp;
  WAVEFORMATEX pcm = PcmFormat(16, 2, 44100);
  std::string samples = PcmSignal(pcm, 1000);
  std::string fmt = Chunk("fmt ", FormatChunkPayload(pcm));
  auto sized = [&](uint32_t riff, uint32_t data) {
    std::string chunk = Chunk("data", samples);
    std::memcpy(&chunk[4], &data, 4);
    return RiffWave(fmt + chunk, riff);
  };
  WAVEFORMATEX noRate = pcm;
  noRate.nAvgBytesPerSec = 0;
  WAVEFORMATEX sevenBit = PcmFormat(8, 1, 8000);
  sevenBit.wBitsPerSample = 7;
  std::string eightBitSamples = PcmSignal(PcmFormat(8, 1, 8000), 999);
  struct Case {
    const char* what;
    std::string bytes;
    const std::string& expected;
    WORD bits;
  } cases[] = {
      {"sizes 0xFFFFFFFF", sized(0xFFFFFFFF, 0xFFFFFFFF), samples, 16},
      {"sizes 0", sized(0, 0), samples, 16},
      {"sox writing to a pipe", sized(0x7FFFF024, 0x7FFFF000), samples, 16},
      {"RIFF size short of the data", RiffWave(fmt + Chunk("data", samples), 4 + fmt.size() + 100), samples, 16},
      {"data size past the file",
       sized(static_cast<uint32_t>(4 + fmt.size() + 8 + samples.size()), static_cast<uint32_t>(samples.size() + 111)),
       samples, 16},
      {"byte rate 0", RiffWave(Chunk("fmt ", FormatChunkPayload(noRate)) + Chunk("data", samples)), samples, 16},
      {"7-bit samples in bytes", RiffWave(Chunk("fmt ", FormatChunkPayload(sevenBit)) + Chunk("data", eightBitSamples)),
       eightBitSamples, 8},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", c.bytes));
    DecodeResult result = Decode(temp / L"in.wav");
    ASSERT_TRUE(result.opened && result.read) << c.what;
    EXPECT_TRUE(c.expected == result.pcm) << c.what << ": " << result.pcm.size() << " bytes";
    EXPECT_EQ(c.expected.size(), result.dataSize) << c.what;
    EXPECT_EQ(c.bits, result.format.wBitsPerSample) << c.what;
    EXPECT_EQ(result.format.nSamplesPerSec * result.format.nBlockAlign, result.format.nAvgBytesPerSec) << c.what;
  }
}

// File positions beyond 2 GB: a sparse file whose data runs to its end, read from a start time past 2 GB.
TEST(WavSource, PositionsBeyond2GB) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(8, 1, 8000);
  std::string header =
      RiffWave(Chunk("fmt ", FormatChunkPayload(format)) + "data" + std::string(4, '\xFF'), 0xFFFFFFFF);
  const unsigned long long offset = 270000ull * 8;  // 270 s of 8000 bytes per second: 2,160,000,000 bytes
  std::string marker = PcmSignal(format, 8000);
  std::wstring path = temp / L"sparse.wav";
  {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(header.size() + offset);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    ASSERT_TRUE(WriteFile(file, marker.data(), static_cast<DWORD>(marker.size()), &written, nullptr));
    CloseHandle(file);
  }
  DecodeResult result = Decode(path, 270000);
  DeleteFileW(path.c_str());
  ASSERT_TRUE(result.opened && result.read);
  EXPECT_EQ(offset + marker.size(), result.dataSize);
  EXPECT_TRUE(marker == result.pcm) << result.pcm.size() << " bytes from 2,160,000,000 on";
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

// A start time in a block codec began up to a block early: the block is decoded and cut at the exact frame.
TEST(WavSource, StartTimesInBlockCodecsAreExact) {
  TempFolder temp;
  for (WAVEFORMATEX pcm : {PcmFormat(16, 1, 22050), PcmFormat(16, 2, 44100), PcmFormat(16, 1, 8000)}) {
    IConvertDestination* destination = NewWavDestination();
    wchar_t error[256] = L"";
    ASSERT_TRUE(destination->SetOption(L"wave-codec", L"IMA ADPCM", error));
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    ASSERT_TRUE(Encode(destination, temp / L"ima.wav", pcm, PcmSignal(pcm, pcm.nSamplesPerSec * 3 / 2), log));
    destination->Release();
    DecodeResult whole = Decode(temp / L"ima.wav");
    ASSERT_TRUE(whole.read);
    for (int startMs : {1, 30, 333, 1001, 1499}) {
      UINT32 start = static_cast<UINT32>((static_cast<uint64_t>(whole.format.nAvgBytesPerSec) * startMs + 500) / 1000);
      start -= start % whole.format.nBlockAlign;
      DecodeResult part = Decode(temp / L"ima.wav", startMs);
      ASSERT_TRUE(part.read) << startMs;
      EXPECT_TRUE(whole.pcm.substr(start) == part.pcm)
          << pcm.nChannels << " ch " << pcm.nSamplesPerSec << " Hz from " << startMs << " ms: " << part.pcm.size()
          << " bytes, expected " << whole.pcm.size() - start;
    }
  }
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
  // The "fact" chunk counts the frames: the padding of the last block is not audio.
  EXPECT_EQ(samples.size(), result.dataSize);
  // ADPCM is lossy, but the decoded signal follows the original closely and loses no time.
  ASSERT_EQ(samples.size(), result.pcm.size());
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
  // PCM, and the block codecs whose decoders trust their headers.
  const std::string bases[] = {
      RiffWave(Chunk("fmt ", FormatChunkPayload(format, 18)) + Chunk("LIST", "INFOabcd") +
               Chunk("data", PcmSignal(format, 64))),
      RiffWave(Chunk("fmt ", Ima(2, 8000, 256, 249)) + Chunk("fact", std::string(4, '\x20')) +
               Chunk("data", std::string(1024, '\x5A'))),
      RiffWave(Chunk("fmt ", MsAdpcm(1, 8000, 256, 500, 7)) + Chunk("data", std::string(1024, '\x3C'))),
  };
  std::mt19937 random(20261207);
  IConvertSource* source = NewWavSource();
  RecordingCallback log;
  source->SetCallback(&log);
  std::wstring path = temp / L"mutant.wav";
  auto started = std::chrono::steady_clock::now();
  int opened = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string mutant = bases[round % 3];
    int edits = 1 + static_cast<int>(random() % 4);
    for (int edit = 0; edit < edits; ++edit) {
      size_t at = random() % 80;  // the headers, not the samples
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

// Floating-point WAV (what most recording programs export) arrives as 24-bit PCM: rounded to the nearest step,
// clipped beyond full scale, NaN as silence; 64-bit and the extensible form the same.
TEST(WavSource, FloatingPointBecomes24BitPcm) {
  TempFolder temp;
  const double values[] = {0.0,          0.5,      -0.5, 1.0, -1.0, 2.5, -3.0, 1.0 / 8388608.0, -0.7 / 8388608.0,
                           std::nan(""), 0.999999, -0.25};
  const int expected[] = {0, 4194304, -4194304, 8388607, -8388608, 8388607, -8388608, 1, -1, 0, 8388600, -2097152};
  std::string pcm24;
  for (int value : expected)
    pcm24 += std::string{static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16)};
  // Two channels at 8 kHz: six frames.
  WAVEFORMATEX header = PcmFormat(32, 2, 8000);
  header.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  for (int width : {32, 64}) {
    for (bool extensible : {false, true}) {
      header.wBitsPerSample = static_cast<WORD>(width);
      header.nBlockAlign = static_cast<WORD>(2 * width / 8);
      header.nAvgBytesPerSec = 8000 * header.nBlockAlign;
      std::string samples;
      for (double value : values) {
        if (width == 32) {
          float single = static_cast<float>(value);
          samples.append(reinterpret_cast<const char*>(&single), 4);
        } else {
          samples.append(reinterpret_cast<const char*>(&value), 8);
        }
      }
      std::string fmt;
      if (extensible) {
        WAVEFORMATEXTENSIBLE record = {};
        record.Format = header;
        record.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        record.Format.cbSize = 22;
        record.Samples.wValidBitsPerSample = static_cast<WORD>(width);
        record.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
        record.SubFormat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
        fmt.assign(reinterpret_cast<const char*>(&record), sizeof(record));
      } else {
        fmt = FormatChunkPayload(header, 18);
      }
      const std::wstring path = temp / (L"float" + std::to_wstring(width) + (extensible ? L"x.wav" : L".wav"));
      ASSERT_TRUE(WriteFileBytes(path, RiffWave(Chunk("fmt ", fmt) + Chunk("data", samples))));
      DecodeResult result = Decode(path);
      ASSERT_TRUE(result.read) << width << " " << extensible;
      const WAVEFORMATEX pcm = PcmFormat(24, 2, 8000);
      EXPECT_EQ(0, std::memcmp(&result.format, &pcm, sizeof(WAVEFORMATEX)));
      EXPECT_EQ(pcm24.size(), result.dataSize);
      EXPECT_TRUE(pcm24 == result.pcm) << width << " " << extensible;
    }
  }
  // A start time skips whole float frames: a ramp of 8000 mono frames, from 250 ms on.
  std::string ramp;
  for (int i = 0; i < 8000; ++i) {
    float value = static_cast<float>(i) / 8192.0f;
    ramp.append(reinterpret_cast<const char*>(&value), 4);
  }
  WAVEFORMATEX mono = header;
  mono.nChannels = 1;
  mono.wBitsPerSample = 32;
  mono.nBlockAlign = 4;
  mono.nAvgBytesPerSec = 32000;
  ASSERT_TRUE(
      WriteFileBytes(temp / L"ramp.wav", RiffWave(Chunk("fmt ", FormatChunkPayload(mono, 18)) + Chunk("data", ramp))));
  DecodeResult late = Decode(temp / L"ramp.wav", 250);
  ASSERT_TRUE(late.read);
  ASSERT_EQ(6000u * 3, late.pcm.size());
  const auto* first = reinterpret_cast<const unsigned char*>(late.pcm.data());
  EXPECT_EQ(2000 * 1024, first[0] | first[1] << 8 | first[2] << 16) << "the frame at 250 ms comes first";

  // Widths other than 32 and 64 bits are refused with the reason.
  header.wBitsPerSample = 16;
  header.nBlockAlign = 4;
  header.nAvgBytesPerSec = 32000;
  ASSERT_TRUE(WriteFileBytes(temp / L"half.wav", RiffWave(Chunk("fmt ", FormatChunkPayload(header, 18)) +
                                                          Chunk("data", std::string(16, '\0')))));
  DecodeResult half = Decode(temp / L"half.wav");
  EXPECT_FALSE(half.opened);
  ASSERT_EQ(2u, half.log.lines.size());
  EXPECT_EQ(L"Unsupported floating-point sample width: 16 bits\n", half.log.lines[1].text);
}
