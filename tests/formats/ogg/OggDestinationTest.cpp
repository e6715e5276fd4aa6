// The Ogg Vorbis destination: the stream it writes, the input it refuses, its options and estimates.
#include <gtest/gtest.h>

#include "OggFiles.h"
#include "WavFiles.h"

namespace {
// Every test starts and ends without stored Ogg defaults.
class OggDestination : public testing::Test {
 protected:
  void SetUp() override { WritePString(L"OGG", nullptr, nullptr); }
  void TearDown() override { WritePString(L"OGG", nullptr, nullptr); }
  TempFolder folder;
};

bool SetOptions(IConvertDestination* destination,
                const std::vector<std::pair<const wchar_t*, const wchar_t*>>& options) {
  bool all = true;
  for (const auto& [name, value] : options) all = destination->SetOption(name, value, nullptr) && all;
  return all;
}
}  // namespace

TEST_F(OggDestination, WritesAWellFormedStream) {
  struct Case {
    const char* name;
    WORD bits, channels;
    DWORD rate;
    size_t frames;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> options;
    // Odd sizes split frames and samples between writes; 0 and 1 byte writes must neither end nor shift the stream.
    std::vector<size_t> writes;
  } cases[] = {
      {"vbr mono in one write", 16, 1, 44100, 100000, {}, {1 << 20}},
      {"abr stereo 8-bit", 8, 2, 22050, 30000, {{L"quality-based", L"no"}, {L"avg-bitrate", L"128"}}, {1001, 0, 1}},
      {"abr stereo limits",
       16,
       2,
       44100,
       50000,
       {{L"quality-based", L"No"}, {L"min-bitrate", L"64"}, {L"max-bitrate", L"192"}},
       {4097, 3, 0}},
      {"six channels", 16, 6, 48000, 24000, {{L"quality", L"0"}}, {6000}},
      {"no audio", 16, 2, 44100, 0, {}, {4096}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IConvertDestination* destination = NewOggDestination();
    ASSERT_TRUE(SetOptions(destination, c.options));
    WAVEFORMATEX format = PcmFormat(c.bits, c.channels, c.rate);
    RecordingCallback log;
    std::wstring path = folder / L"out.ogg";
    DeleteFileW(path.c_str());
    EXPECT_TRUE(EncodeOgg(destination, path, format, PcmSignal(format, c.frames), log, c.writes));
    EXPECT_TRUE(log.Errors().empty());
    destination->Release();

    OggStream stream = ParseOgg(ReadFileBytes(path));
    ASSERT_TRUE(stream.valid);
    ASSERT_GE(stream.packets.size(), 3u);
    for (size_t i = 0; i < stream.pages.size(); ++i) {
      const OggPage& page = stream.pages[i];
      EXPECT_EQ(stream.pages[0].serial, page.serial);
      EXPECT_EQ(i, page.sequence);
      EXPECT_EQ(i == 0, (page.flags & 2) != 0) << "beginning of stream on the first page only";
      EXPECT_EQ(i + 1 == stream.pages.size(), (page.flags & 4) != 0) << "end of stream on the last page only";
    }
    EXPECT_LT(stream.pages[0].serial, 32768u);
    // The three header packets stand on pages of their own, before any audio.
    size_t headerPackets = 0, page = 0;
    for (; headerPackets < 3; ++page) headerPackets += stream.pages[page].packetsEnded;
    EXPECT_EQ(3u, headerPackets);
    EXPECT_TRUE(stream.pages[page - 1].endsWithPacket);
    EXPECT_EQ(0, stream.pages[page - 1].granule);
    EXPECT_EQ(1u, stream.pages[0].packetsEnded) << "the identification header is alone on the first page";

    const std::string& identification = stream.packets[0];
    ASSERT_GE(identification.size(), 16u);
    EXPECT_EQ(std::string("\x01vorbis"), identification.substr(0, 7));
    EXPECT_EQ(c.channels, static_cast<unsigned char>(identification[11]));
    EXPECT_EQ(c.rate, *reinterpret_cast<const uint32_t*>(identification.data() + 12));
    EXPECT_EQ(std::string("\x03vorbis"), stream.packets[1].substr(0, 7));
    EXPECT_NE(std::string::npos, stream.packets[1].find(std::string("\x0e\0\0\0ENCODER=Tavrel", 18)));
    EXPECT_EQ(std::string("\x05vorbis"), stream.packets[2].substr(0, 7));
    // The last granule position is the exact number of sample frames that went in.
    EXPECT_EQ(static_cast<int64_t>(c.frames), stream.pages.back().granule);
  }
}

TEST_F(OggDestination, RefusesInputItCannotEncode) {
  WAVEFORMATEX floating = PcmFormat(32, 2, 44100);
  floating.wFormatTag = 3;
  WAVEFORMATEX twelveBit = PcmFormat(16, 2, 44100);
  twelveBit.wBitsPerSample = 12;
  const wchar_t kWidth[] = L"Source file must have either 8, 16, 24 or 32 bits/sample\n";
  struct Case {
    const char* name;
    WAVEFORMATEX format;
    std::wstring error;
  } cases[] = {
      {"12 bits", twelveBit, kWidth},
      {"float", floating, kWidth},
      {"no channels", PcmFormat(16, 0, 44100), L"Encoding setup failed (error -131)\n"},
      {"no sample rate", PcmFormat(16, 2, 0), L"Encoding setup failed (error -131)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IConvertDestination* destination = NewOggDestination();
    RecordingCallback log;
    std::wstring path = folder / L"refused.ogg";
    destination->SetCallback(&log);
    destination->SetFileName(path.c_str());
    ASSERT_TRUE(destination->SetFormat(&c.format));
    EXPECT_FALSE(destination->Open());
    ASSERT_EQ(1u, log.Errors().size());
    EXPECT_EQ(c.error, log.Errors()[0].substr(0, c.error.size()));
    EXPECT_FALSE(FileExists(path)) << "a refused input leaves no file";
    EXPECT_FALSE(destination->Write(4, "\0\0\0\0")) << "nothing is written without a successful Open";
    EXPECT_TRUE(destination->Close());
    destination->SetCallback(nullptr);
    destination->Release();
  }
}

TEST_F(OggDestination, OptionsAndSettingsText) {
  struct Case {
    std::vector<std::pair<const wchar_t*, const wchar_t*>> options;
    const wchar_t* text;
  } cases[] = {
      {{}, L"VBR Quality 40%"},
      {{{L"QUALITY", L"100"}}, L"VBR Quality 100%"},
      {{{L"quality-based", L"nO"}}, L"ABR 96 kbps"},
      {{{L"quality-based", L"no"}, {L"quality-based", L"on"}}, L"VBR Quality 40%"},
      {{{L"quality-based", L"false"}, {L"avg-bitrate", L"100"}}, L"ABR 96 kbps"},
      {{{L"quality-based", L"no"}, {L"avg-bitrate", L"128"}, {L"max-bitrate", L"200"}}, L"ABR 128 kbps; Max. 192 kbps"},
      {{{L"quality-based", L"0"}, {L"min-bitrate", L"48"}, {L"max-bitrate", L"320"}},
       L"ABR 96 kbps; Min. 48 kbps; Max. 320 kbps"},
      // Switching the minimum off keeps its rate for when it is switched on again elsewhere.
      {{{L"quality-based", L"no"}, {L"min-bitrate", L"160"}, {L"min-bitrate", L"0"}}, L"ABR 96 kbps"},
  };
  for (const Case& c : cases) {
    IConvertDestination* destination = NewOggDestination();
    EXPECT_TRUE(SetOptions(destination, c.options));
    EXPECT_EQ(c.text, SettingsText(destination));
    destination->Release();
  }

  // A value that is not what the option takes is refused with a reason and changes nothing; it used to
  // become 0, the nearest limit, or "yes".
  const std::pair<const wchar_t*, const wchar_t*> refused[] = {
      {L"quality", L"abc"},      {L"quality", L"150"},
      {L"quality", L"-1"},       {L"quality", L"40%"},
      {L"quality", L""},         {L"quality-based", L"maybe"},
      {L"avg-bitrate", L"20"},   {L"avg-bitrate", L"1000"},
      {L"min-bitrate", L"10"},   {L"max-bitrate", L"99999999999"},
      {L"max-bitrate", L"fast"},
  };
  for (const auto& [name, value] : refused) {
    IConvertDestination* destination = NewOggDestination();
    wchar_t error[256] = L"";
    EXPECT_FALSE(destination->SetOption(name, value, error)) << name << "=" << value;
    EXPECT_NE(L'\0', error[0]) << name << "=" << value;
    EXPECT_EQ(L"VBR Quality 40%", SettingsText(destination)) << name << "=" << value;
    destination->Release();
  }

  IConvertDestination* destination = NewOggDestination();
  wchar_t errorText[64] = L"untouched";
  EXPECT_FALSE(destination->SetOption(L"bitrate", L"128", errorText)) << "unknown names are refused";
  EXPECT_FALSE(destination->SetOption(L"quality", nullptr, errorText)) << "a missing value is refused";
  EXPECT_FALSE(destination->SetOption(nullptr, L"1", errorText));
  EXPECT_STREQ(L"untouched", errorText) << "only a bad value has a reason";
  EXPECT_EQ(L"VBR Quality 40%", SettingsText(destination));
  destination->Release();
}

TEST_F(OggDestination, EstimateSize) {
  IConvertDestination* destination = NewOggDestination();
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  UINT32 size = 7;
  EXPECT_FALSE(destination->EstimateSize(176400, &cd, &size)) << "no estimate in quality mode";
  ASSERT_TRUE(SetOptions(destination, {{L"quality-based", L"no"}, {L"avg-bitrate", L"128"}}));
  EXPECT_TRUE(destination->EstimateSize(176400 * 10, &cd, &size));
  EXPECT_EQ(160000u, size);
  EXPECT_TRUE(destination->EstimateSize(0xFFFFFFFFu, &cd, &size));
  EXPECT_NEAR(0xFFFFFFFFu / 176400.0 * 16000, size, 1.0);
  WAVEFORMATEX broken = cd;
  broken.nAvgBytesPerSec = 0;
  EXPECT_FALSE(destination->EstimateSize(1000, &broken, &size));
  broken.nAvgBytesPerSec = 1;
  EXPECT_TRUE(destination->EstimateSize(0xFFFFFFFFu, &broken, &size));
  EXPECT_EQ(0xFFFFFFFFu, size) << "an estimate beyond 32 bits saturates";
  destination->Release();
}
