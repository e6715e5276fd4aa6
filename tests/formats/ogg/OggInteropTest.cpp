// Interoperability: Ogg files written here are left for ogginfo, oggdec, ffprobe and sox (check-written.sh).
#include <gtest/gtest.h>

#include "OggFiles.h"
#include "WavFiles.h"

namespace {
const std::wstring kOutputs = L"ogg-interop-outputs\\";

// The signal in the channels listed, digital silence in the others.
std::string OnlyIn(const WAVEFORMATEX& format, size_t frames, std::vector<int> loud) {
  WAVEFORMATEX mono = PcmFormat(format.wBitsPerSample, 1, format.nSamplesPerSec);
  std::string signal = PcmSignal(mono, frames);
  size_t width = format.wBitsPerSample / 8;
  std::string silence(width, width == 1 ? '\x80' : '\0');
  std::string out;
  for (size_t frame = 0; frame < frames; ++frame)
    for (int channel = 0; channel < format.nChannels; ++channel)
      out += std::find(loud.begin(), loud.end(), channel) != loud.end() ? signal.substr(frame * width, width) : silence;
  return out;
}
}  // namespace

TEST(OggInterop, WritesFilesForOtherTools) {
  CreateDirectoryW(kOutputs.c_str(), nullptr);
  struct Case {
    const wchar_t* file;
    WAVEFORMATEX format;
    double seconds;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> options;
    std::vector<int> loud;  // empty: the test signal in every channel
    std::vector<size_t> writes;
  } cases[] = {
      {L"vbr-mono.ogg", PcmFormat(16, 1, 44100), 2.5, {}, {}, {4096}},
      {L"abr-stereo-8bit.ogg",
       PcmFormat(8, 2, 22050),
       2.5,
       {{L"quality-based", L"no"}, {L"avg-bitrate", L"128"}, {L"min-bitrate", L"64"}, {L"max-bitrate", L"192"}},
       {},
       {1001, 0, 3}},
      {L"left-only.ogg", PcmFormat(16, 2, 44100), 2.0, {}, {0}, {4099}},
      {L"silence-8bit.ogg", PcmFormat(8, 1, 11025), 1.5, {}, {-1}, {4096}},
      {L"four-channels.ogg", PcmFormat(16, 4, 48000), 2.0, {{L"quality", L"50"}}, {3}, {8192}},
      {L"Grüße ♪ テスト.ogg", PcmFormat(16, 2, 44100), 1.0, {}, {}, {4096}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format.nChannels << " channels, " << c.format.nSamplesPerSec << " Hz");
    IConvertDestination* destination = NewOggDestination();
    for (const auto& [name, value] : c.options) ASSERT_TRUE(destination->SetOption(name, value, nullptr));
    size_t frames = static_cast<size_t>(c.seconds * c.format.nSamplesPerSec);
    std::string pcm = c.loud.empty() ? PcmSignal(c.format, frames) : OnlyIn(c.format, frames, c.loud);
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    EXPECT_TRUE(EncodeOgg(destination, kOutputs + c.file, c.format, pcm, log, c.writes));
    EXPECT_TRUE(log.Errors().empty());
    destination->Release();
  }
}
