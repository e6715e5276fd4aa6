// The AIFF destination: header layout and sizes, sample byte order and sign, odd lengths, refused formats,
// and the settings box.
#include <gtest/gtest.h>

#include <cstring>

#include "AiffFiles.h"
#include "ModalDriver.h"

namespace {
struct WrittenAiff {
  std::string bytes;
  uint32_t formSize = 0, commSize = 0, frames = 0, ssndSize = 0;
  std::string comm, samples;
};

// The writer's layout is fixed: FORM, COMM (18 bytes), SSND (offset and block size 0, then the samples).
WrittenAiff TakeApart(const std::string& bytes) {
  WrittenAiff out;
  out.bytes = bytes;
  if (bytes.size() < 54) return out;
  out.formSize = GetBigEndian32(bytes, 4);
  out.commSize = GetBigEndian32(bytes, 16);
  out.comm = bytes.substr(20, 18);
  out.frames = GetBigEndian32(bytes, 22);
  out.ssndSize = GetBigEndian32(bytes, 42);
  out.samples = bytes.substr(54, out.ssndSize >= 8 ? out.ssndSize - 8 : 0);
  return out;
}

WrittenAiff EncodeAiff(const std::wstring& path, const WAVEFORMATEX& format, const std::string& pcm,
                       size_t block = 4096) {
  IConvertDestination* destination = NewAiffDestination();
  RecordingCallback log;
  log.answerOverwrite = TRUE;
  EXPECT_TRUE(Encode(destination, path, format, pcm, log, block));
  EXPECT_TRUE(log.Errors().empty());
  destination->Release();
  return TakeApart(ReadFileBytes(path));
}
}  // namespace

TEST(AiffDestination, HeaderSizesAndFrameCount) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(16, 2, 44100);
  WrittenAiff file = EncodeAiff(temp / L"out.aiff", format, PcmSignal(format, 1000));
  EXPECT_EQ("FORM", file.bytes.substr(0, 4));
  EXPECT_EQ("AIFFCOMM", file.bytes.substr(8, 8));
  EXPECT_EQ(18u, file.commSize);
  EXPECT_EQ(BigEndian16(2) + BigEndian32(1000) + BigEndian16(16), file.comm.substr(0, 8));
  EXPECT_EQ(std::string("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10), file.comm.substr(8));
  EXPECT_EQ("SSND", file.bytes.substr(38, 4));
  EXPECT_EQ(4008u, file.ssndSize);
  EXPECT_EQ(std::string(8, '\0'), file.bytes.substr(46, 8));
  EXPECT_EQ(file.bytes.size() - 8, file.formSize);
  EXPECT_EQ(54u + 4000u, file.bytes.size());
}

TEST(AiffDestination, SampleRatesAsExtendedAndBack) {
  TempFolder temp;
  for (DWORD rate : {1u, 8000u, 11025u, 22050u, 44100u, 48000u, 96000u, 192000u, 65535u, 4294967295u / 4}) {
    WAVEFORMATEX format = PcmFormat(8, 1, rate);
    WrittenAiff file = EncodeAiff(temp / L"rate.aiff", format, std::string(4, '\x80'));
    EXPECT_EQ(ExtendedRate(rate), file.comm.substr(8)) << rate;
    DecodeResult back = DecodeAiff(temp / L"rate.aiff");
    ASSERT_TRUE(back.opened) << rate;
    EXPECT_EQ(rate, back.format.nSamplesPerSec);
  }
}

// Samples in every width, written in blocks that split samples and frames, come back unchanged, and the
// file holds them signed and big-endian.
TEST(AiffDestination, SamplesInEveryWidthRoundTrip) {
  TempFolder temp;
  struct Case {
    WORD bits, channels;
    size_t frames, block;
  } cases[] = {{8, 1, 1001, 333}, {8, 2, 500, 4096},   {16, 2, 3000, 4097},
               {16, 1, 7, 3},     {24, 2, 2000, 1001}, {32, 1, 1500, 4098}};
  for (const Case& c : cases) {
    WAVEFORMATEX format = PcmFormat(c.bits, c.channels, 22050);
    std::string pcm = PcmSignal(format, c.frames);
    WrittenAiff file = EncodeAiff(temp / L"out.aiff", format, pcm, c.block);
    const std::string what = std::to_string(c.bits) + "-bit, " + std::to_string(c.channels) + " channels";
    EXPECT_EQ(c.frames, file.frames) << what;
    EXPECT_TRUE(ToFileSamples(pcm, c.bits) == file.samples) << what;
    // Odd sample data gets a pad byte that FORM counts and SSND does not.
    EXPECT_EQ(pcm.size() + 8, file.ssndSize) << what;
    EXPECT_EQ(54 + pcm.size() + pcm.size() % 2, file.bytes.size()) << what;
    EXPECT_EQ(file.bytes.size() - 8, file.formSize) << what;

    DecodeResult back = DecodeAiff(temp / L"out.aiff");
    ASSERT_TRUE(back.read) << what;
    EXPECT_EQ(0, std::memcmp(&format, &back.format, sizeof(format))) << what;
    EXPECT_TRUE(pcm == back.pcm) << what;
  }
}

TEST(AiffDestination, EightBitSignFlipLeavesTheCallersBlockAlone) {
  TempFolder temp;
  const std::string pcm("\x80\xFF\x00\x7F\x81", 5);
  std::string block = pcm;
  IConvertDestination* destination = NewAiffDestination();
  RecordingCallback log;
  WAVEFORMATEX format = PcmFormat(8, 1, 8000);
  destination->SetCallback(&log);
  destination->SetFileName((temp / L"8.aiff").c_str());
  ASSERT_TRUE(destination->SetFormat(&format) && destination->Open());
  ASSERT_TRUE(destination->Write(static_cast<UINT32>(block.size()), block.data()));
  EXPECT_EQ(pcm, block);
  EXPECT_TRUE(destination->Close());
  destination->Release();
  EXPECT_EQ(std::string("\x00\x7F\x80\xFF\x01", 5), TakeApart(ReadFileBytes(temp / L"8.aiff")).samples);
}

TEST(AiffDestination, FormatsAnAiffCannotHoldAreRefusedBeforeTheFileIsMade) {
  TempFolder temp;
  WAVEFORMATEX floats = PcmFormat(32, 2, 44100);
  floats.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEX twelveBits = PcmFormat(16, 1, 8000);
  twelveBits.wBitsPerSample = 12;
  WAVEFORMATEX noChannels = PcmFormat(16, 0, 8000);
  WAVEFORMATEX badAlign = PcmFormat(16, 2, 8000);
  badAlign.nBlockAlign = 3;
  for (const WAVEFORMATEX& format : {floats, twelveBits, noChannels, badAlign, WAVEFORMATEX{}}) {
    IConvertDestination* destination = NewAiffDestination();
    RecordingCallback log;
    destination->SetCallback(&log);
    destination->SetFileName((temp / L"refused.aiff").c_str());
    destination->SetFormat(&format);
    EXPECT_FALSE(destination->Open()) << format.wFormatTag << "/" << format.wBitsPerSample;
    EXPECT_EQ(std::vector<std::wstring>{L"AIFF files hold integer PCM samples of 8, 16, 24 or 32 bits only\n"},
              log.Errors());
    EXPECT_FALSE(destination->Write(4, "abcd"));
    destination->Release();
    EXPECT_FALSE(FileExists(temp / L"refused.aiff"));
  }
}

TEST(AiffDestination, UnwritableFileAndReuseAfterClose) {
  TempFolder temp;
  WAVEFORMATEX format = PcmFormat(16, 1, 8000);
  IConvertDestination* destination = NewAiffDestination();
  RecordingCallback log;
  destination->SetCallback(&log);
  destination->SetFileName((temp / L"no?such.aiff").c_str());  // a name no file can have
  destination->SetFormat(&format);
  EXPECT_FALSE(destination->Open());
  EXPECT_EQ(L"File cannot be opened for writing\n", log.Errors().back());

  log.lines.clear();
  destination->SetFileName((temp / L"second.aiff").c_str());
  ASSERT_TRUE(destination->Open()) << "a failed Open leaves the object reusable";
  ASSERT_TRUE(destination->Write(4, "\x01\x02\x03\x04"));
  EXPECT_TRUE(destination->Close());
  EXPECT_TRUE(destination->Close()) << "closing twice changes nothing";
  EXPECT_FALSE(destination->Write(2, "\x01\x02")) << "no writing after Close";
  destination->Release();
  WrittenAiff file = TakeApart(ReadFileBytes(temp / L"second.aiff"));
  EXPECT_EQ(2u, file.frames);
  EXPECT_EQ(std::string("\x02\x01\x04\x03", 4), file.samples);
}

TEST(AiffDestination, EstimateAndSettings) {
  IConvertDestination* destination = NewAiffDestination();
  WAVEFORMATEX format = PcmFormat(16, 2, 44100);
  UINT32 bytes = 0;
  EXPECT_TRUE(destination->EstimateSize(176400 * 3 + 4, &format, &bytes));
  EXPECT_EQ(176400u * 3 + 4, bytes);
  WAVEFORMATEX zero = {};
  EXPECT_FALSE(destination->EstimateSize(1000, &zero, &bytes));

  std::wstring text, caption;
  ModalDriver driver([&](HWND box) {
    wchar_t buffer[256] = L"";
    GetDlgItemTextW(box, 0xFFFF, buffer, 256);
    text = buffer;
    GetWindowTextW(box, buffer, 256);
    caption = buffer;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_FALSE(destination->ShowSettings(nullptr, nullptr));
  EXPECT_TRUE(driver.Drove());
  EXPECT_EQ(L"AIFF format does not have output settings.", text);
  EXPECT_EQ(L"AIFF", caption);
  destination->Release();
}
