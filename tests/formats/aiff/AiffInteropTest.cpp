// Interoperability: AIFF/AIFC files made by sox and ffmpeg are read with the right format and samples, and
// the files we write are left for sox to check (check-written.sh).
#include <gtest/gtest.h>

#include <cstring>

#include "AiffFiles.h"

namespace {
const std::wstring kInputs = L"aiff-interop-inputs\\";
const std::wstring kOutputs = L"aiff-interop-outputs\\";
}  // namespace

TEST(AiffInterop, ReadsFilesMadeByOtherTools) {
  struct Case {
    const wchar_t* name;
    WORD channels, bits;
    DWORD rate;
  } cases[] = {
      {L"sox-16-stereo.aiff", 2, 16, 22050},
      {L"sox-8-mono.aiff", 1, 8, 22050},
      {L"sox-24-stereo.aiff", 2, 24, 22050},
      {L"sox-32-mono.aiff", 1, 32, 22050},
      {L"sox-none-16-stereo.aifc", 2, 16, 22050},
      {L"sox-none-8-mono.aifc", 1, 8, 22050},
      {L"sox-8-odd.aiff", 1, 8, 8000},
      {L"ffmpeg-sowt.aifc", 2, 16, 16000},
  };
  for (const Case& c : cases) {
    DecodeResult result = DecodeAiff(kInputs + c.name);
    ASSERT_TRUE(result.opened && result.read) << c.name;
    WAVEFORMATEX expected = PcmFormat(c.bits, c.channels, c.rate);
    EXPECT_EQ(0, std::memcmp(&expected, &result.format, sizeof(WAVEFORMATEX))) << c.name;
    std::wstring raw = std::wstring(c.name).substr(0, std::wstring(c.name).rfind(L'.')) + L".raw";
    std::string reference = ReadFileBytes(kInputs + raw);
    ASSERT_FALSE(reference.empty()) << c.name;
    EXPECT_EQ(reference.size(), result.dataSize) << c.name;
    EXPECT_TRUE(reference == result.pcm) << c.name << ": " << reference.size() << " vs " << result.pcm.size();
  }
  DecodeResult floats = DecodeAiff(kInputs + L"sox-float.aifc");
  EXPECT_FALSE(floats.opened);
  EXPECT_EQ(std::vector<std::wstring>{L"Compression type 32-bit floating point (fl32) is not supported\n"},
            floats.log.Errors());
}

TEST(AiffInterop, WritesFilesForOtherTools) {
  CreateDirectoryW(kOutputs.c_str(), nullptr);
  struct Case {
    const wchar_t* name;
    WORD bits, channels;
    DWORD rate;
    size_t frames;
  } cases[] = {{L"pcm16-stereo", 16, 2, 44100, 44100},
               {L"pcm8-mono-odd", 8, 1, 11025, 11025},
               {L"pcm24-stereo", 24, 2, 48000, 24001},
               {L"pcm32-mono", 32, 1, 96000, 9600},
               {L"pcm16-six", 16, 6, 8000, 4000}};
  for (const Case& c : cases) {
    WAVEFORMATEX format = PcmFormat(c.bits, c.channels, c.rate);
    std::string pcm = PcmSignal(format, c.frames);
    std::wstring base = kOutputs + c.name;
    ASSERT_TRUE(WriteFileBytes(base + L".raw", pcm));
    DeleteFileW((base + L".aiff").c_str());
    IConvertDestination* destination = NewAiffDestination();
    RecordingCallback log;
    EXPECT_TRUE(Encode(destination, base + L".aiff", format, pcm, log, 10000)) << c.name;
    EXPECT_TRUE(log.Errors().empty()) << c.name;
    destination->Release();
  }
}
