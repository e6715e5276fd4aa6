// The WAV destination: byte-exact PCM copies, codec options, one- and two-stage ACM conversion,
// the flush at Close, size estimates and settings texts.
#include <gtest/gtest.h>

#include <cstring>

#include "WavFiles.h"

namespace {
// A destination fresh from the factory, with the stored defaults of this test program (none).
struct Destination {
  Destination() : object(NewWavDestination()) {}
  ~Destination() {
    if (object) object->Release();
  }
  IConvertDestination* operator->() const { return object; }
  IConvertDestination* object;
};

std::wstring SettingsText(IConvertDestination* destination) {
  wchar_t text[256] = L"";
  EXPECT_TRUE(destination->GetSettingsText(text, 256));
  return text;
}

double Seconds(const ParsedWave& wave) {
  return static_cast<double>(wave.data.size()) / FormatOf(wave)->nAvgBytesPerSec;
}
}  // namespace

TEST(WavDestination, DefaultSettingsCopyPcmByteForByte) {
  TempFolder temp;
  for (WAVEFORMATEX format : {PcmFormat(16, 2, 44100), PcmFormat(8, 1, 11025), PcmFormat(24, 2, 48000)}) {
    std::string samples = PcmSignal(format, 70001);
    ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", PcmWave(format, samples)));
    DecodeResult input = Decode(temp / L"in.wav");
    ASSERT_TRUE(input.read);

    Destination destination;
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    ASSERT_TRUE(Encode(destination.object, temp / L"out.wav", input.format, input.pcm, log, 65536))
        << (log.lines.empty() ? std::string() : std::string(log.lines[0].text.begin(), log.lines[0].text.end()));
    ParsedWave output = ParseWave(ReadFileBytes(temp / L"out.wav"));
    ASSERT_TRUE(output.valid) << format.wBitsPerSample;
    EXPECT_EQ((std::vector<std::string>{"fmt ", "data"}), output.chunkIds);
    EXPECT_EQ(16u, output.format.size()) << "PCM carries no cbSize field";
    EXPECT_EQ(0, std::memcmp(&format, output.format.data(), 16));
    EXPECT_TRUE(samples == output.data) << format.wBitsPerSample << "-bit payload";
  }
}

TEST(WavDestination, SettingsTextAndOptions) {
  Destination destination;
  EXPECT_EQ(L"PCM; auto detection", SettingsText(destination.object));

  wchar_t error[256] = L"untouched";
  EXPECT_FALSE(destination->SetOption(L"bitrate", L"128", error));
  EXPECT_STREQ(L"untouched", error) << "an unknown option leaves the text alone";
  EXPECT_FALSE(destination->SetOption(L"wave-codec", L"No Such Codec", error));
  EXPECT_STREQ(L"ACM Wave Codec was not found", error);

  ASSERT_TRUE(destination->SetOption(L"WAVE-CODEC", L"gsm 6.10", error)) << "names ignore case";
  EXPECT_EQ(L"GSM 6.10; auto detection", SettingsText(destination.object));
  // Only formats of the chosen codec are searched: a PCM description is not a GSM format.
  EXPECT_FALSE(destination->SetOption(L"wave-format", L"8000 Hz; 16 bits; Mono", error));
  EXPECT_STREQ(L"ACM Wave Format was not found", error);
  ASSERT_TRUE(destination->SetOption(L"wave-format", L"8000 HZ; MONO", error));
  EXPECT_EQ(L"GSM 6.10; 8000 Hz; Mono", SettingsText(destination.object));

  ASSERT_TRUE(destination->SetOption(L"wave-codec", L"PCM", error));
  EXPECT_EQ(L"PCM; auto detection", SettingsText(destination.object)) << "a new codec clears the exact format";
  EXPECT_FALSE(destination->SetOption(nullptr, L"PCM", error));
  EXPECT_FALSE(destination->SetOption(L"wave-codec", nullptr, error));
}

TEST(WavDestination, SizeEstimates) {
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  Destination destination;
  UINT32 bytes = 0;
  ASSERT_TRUE(destination->EstimateSize(176400 * 10, &cd, &bytes));
  EXPECT_EQ(176400u * 10, bytes) << "PCM stays PCM";
  wchar_t error[256];
  ASSERT_TRUE(destination->SetOption(L"wave-codec", L"U-Law", error));
  ASSERT_TRUE(destination->SetOption(L"wave-format", L"8000 Hz; 8 bits; Mono", error));
  ASSERT_TRUE(destination->EstimateSize(176400 * 10, &cd, &bytes));
  EXPECT_EQ(80000u, bytes);
  WAVEFORMATEX broken = cd;
  broken.nAvgBytesPerSec = 0;
  EXPECT_FALSE(destination->EstimateSize(1000, &broken, &bytes));
  EXPECT_FALSE(destination->EstimateSize(1000, nullptr, &bytes));
}

TEST(WavDestination, CodecsThroughOneOrTwoStages) {
  TempFolder temp;
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  std::string samples = PcmSignal(cd, 44100 * 2 + 13230);  // 2.3 seconds: the last second is partial
  struct Case {
    const wchar_t* codec;
    const wchar_t* format;  // null: automatic
    WORD tag;
  } cases[] = {
      {L"IMA ADPCM", L"44100 Hz; 4 bits; Stereo", WAVE_FORMAT_IMA_ADPCM},
      {L"U-Law", L"8000 Hz; 8 bits; Mono", WAVE_FORMAT_MULAW},  // needs an intermediate PCM format
      {L"A-Law", nullptr, WAVE_FORMAT_ALAW},
      {L"GSM 6.10", L"8000 Hz; Mono", 0x0031},  // two stages: GSM takes only 16-bit mono
  };
  for (const Case& c : cases) {
    Destination destination;
    wchar_t error[256] = L"";
    ASSERT_TRUE(destination->SetOption(L"wave-codec", c.codec, error)) << error;
    if (c.format) {
      ASSERT_TRUE(destination->SetOption(L"wave-format", c.format, error)) << error;
    }
    RecordingCallback log;
    std::wstring path = temp / (std::wstring(c.codec) + L".wav");
    ASSERT_TRUE(Encode(destination.object, path, cd, samples, log)) << c.codec;
    EXPECT_TRUE(log.Errors().empty()) << c.codec;
    ParsedWave output = ParseWave(ReadFileBytes(path));
    ASSERT_TRUE(output.valid) << c.codec;
    EXPECT_EQ(c.tag, FormatOf(output)->wFormatTag) << c.codec;
    EXPECT_EQ(18u + FormatOf(output)->cbSize, output.format.size()) << c.codec;
    // Close pushes the last partial second through every stage: no audio time is lost.
    EXPECT_NEAR(2.3, Seconds(output), 0.05) << c.codec;
    DecodeResult back = Decode(path);
    EXPECT_TRUE(back.read) << c.codec;
    EXPECT_NEAR(2.3, static_cast<double>(back.pcm.size()) / back.format.nAvgBytesPerSec, 0.05) << c.codec;
  }
}

TEST(WavDestination, ConversionThatNoCodecCanDo) {
  TempFolder temp;
  Destination destination;
  wchar_t error[256];
  ASSERT_TRUE(destination->SetOption(L"wave-codec", L"MPeg3", error));  // decode-only here
  RecordingCallback log;
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  EXPECT_FALSE(Encode(destination.object, temp / L"out.wav", cd, PcmSignal(cd, 1000), log));
  ASSERT_EQ(2u, log.lines.size());
  EXPECT_EQ(0u, log.lines[0].text.find(L"Conversion stream cannot be opened (ACM error "));
  EXPECT_EQ(L"e", log.lines[0].style);
  EXPECT_EQ(L"i", log.lines[1].style);
  EXPECT_TRUE(FileExists(temp / L"out.wav")) << "the file created before the failure stays";
}

TEST(WavDestination, MisuseIsRefused) {
  TempFolder temp;
  Destination destination;
  RecordingCallback log;
  destination->SetCallback(&log);
  char byte = 0;
  EXPECT_FALSE(destination->Write(1, &byte)) << "Write before Open";
  destination->SetFileName((temp / L"x.wav").c_str());
  EXPECT_FALSE(destination->Open()) << "no PCM format set";
  EXPECT_FALSE(FileExists(temp / L"x.wav"));
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  destination->SetFormat(&cd);
  ASSERT_TRUE(destination->Open());
  EXPECT_FALSE(destination->Write(4, nullptr));
  EXPECT_TRUE(destination->Close());
  EXPECT_TRUE(destination->Close()) << "Close twice is harmless";
  destination->SetCallback(nullptr);
  ParsedWave empty = ParseWave(ReadFileBytes(temp / L"x.wav"));
  EXPECT_TRUE(empty.valid);
  EXPECT_EQ(0u, empty.data.size());
}

TEST(WavDestination, NonLatinFileNames) {
  TempFolder temp;
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  std::string samples = PcmSignal(cd, 4410);
  std::wstring folder = temp / L"\u041c\u0443\u0437\u044b\u043a\u0430";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::wstring path = folder + L"\\\u0442\u043e\u043d \u97f3.wav";
  Destination destination;
  RecordingCallback log;
  ASSERT_TRUE(Encode(destination.object, path, cd, samples, log)) << "written under a non-Latin name";
  DecodeResult back = Decode(path);
  ASSERT_TRUE(back.read) << "read under a non-Latin name";
  EXPECT_TRUE(samples == back.pcm);
}

// Block codecs: the last partial block was dropped (1 s of IMA ADPCM became 0.972 s) and no "fact" chunk told
// readers the length. Every frame is now encoded and counted, and our reader stops at the count.
TEST(WavDestination, BlockCodecsKeepEveryFrame) {
  TempFolder temp;
  struct Case {
    const wchar_t* codec;
    WORD channels;
    DWORD rate;
    size_t frames;
  } cases[] = {
      {L"IMA ADPCM", 1, 8000, 8000}, {L"IMA ADPCM", 2, 44100, 44100}, {L"IMA ADPCM", 1, 22050, 22049},
      {L"IMA ADPCM", 2, 11025, 777}, {L"IMA ADPCM", 2, 22050, 1},     {L"GSM 6.10", 1, 8000, 20000},
      {L"GSM 6.10", 1, 8000, 321},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.codec, c.codec + wcslen(c.codec)) + " " + std::to_string(c.channels) +
                             " ch " + std::to_string(c.rate) + " Hz " + std::to_string(c.frames) + " frames";
    WAVEFORMATEX format = PcmFormat(16, c.channels, c.rate);
    Destination destination;
    wchar_t error[256] = L"";
    ASSERT_TRUE(destination->SetOption(L"wave-codec", c.codec, error)) << error;
    // The codec suggests no GSM format by itself.
    if (c.codec[0] == L'G') {
      ASSERT_TRUE(destination->SetOption(L"wave-format", L"8000 Hz; Mono", error)) << error;
    }
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    ASSERT_TRUE(Encode(destination.object, temp / L"block.wav", format, PcmSignal(format, c.frames), log, 3000))
        << what;
    std::string bytes = ReadFileBytes(temp / L"block.wav");
    ParsedWave output = ParseWave(bytes);
    ASSERT_TRUE(output.valid) << what;
    EXPECT_EQ((std::vector<std::string>{"fmt ", "fact", "data"}), output.chunkIds) << what;
    uint32_t factFrames = 0;
    size_t fact = bytes.find("fact");
    ASSERT_NE(std::string::npos, fact) << what;
    std::memcpy(&factFrames, bytes.data() + fact + 8, 4);
    EXPECT_EQ(c.frames, factFrames) << what;
    EXPECT_EQ(0u, output.data.size() % FormatOf(output)->nBlockAlign) << what << ": whole blocks";

    DecodeResult decoded = Decode(temp / L"block.wav");
    ASSERT_TRUE(decoded.read) << what;
    EXPECT_EQ(c.frames * decoded.format.nBlockAlign, decoded.pcm.size()) << what;
  }
}
