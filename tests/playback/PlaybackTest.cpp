// Playback to a sound device whose output ALSA writes into a file (the test's own home and .asoundrc): what
// reached the device equals the source bit for bit, with the position reported once per second, through a
// pause, after a stop, and for a source or a format that cannot be played.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "DefConvertSource.h"
#include "TestSupport.h"
#include "playback/Playback.h"
#include "tavcore.h"

namespace {

// The file the device writes: <TAVREL_WINE_HOME>/played.raw seen from Windows.
std::wstring PlayedFile() {
  wchar_t home[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TAVREL_WINE_HOME", home, MAX_PATH);
  std::wstring path = std::wstring(L"Z:") + home + L"/played.raw";
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// A source of generated PCM: a counter pattern, so any lost or moved byte shows.
class PatternSource : public CDefConvertSource {
 public:
  PatternSource(WAVEFORMATEX pcm, UINT32 bytes, UINT32 block) : bytes(bytes), block(block) { format = pcm; }
  bool STDMETHODCALLTYPE GetClassId(GUID*) override { return false; }
  bool STDMETHODCALLTYPE Open() override {
    if (failOpen || !CDefConvertSource::Open()) return false;
    dataSize = bytes;
    return true;
  }
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override {
    if (!CDefConvertSource::ReadAll(sink)) return false;
    ++reads;
    std::vector<BYTE> piece;
    for (UINT32 at = 0; at < bytes;) {
      const UINT32 size = std::min(at == 0 && firstBlock ? firstBlock : block, bytes - at);
      piece.resize(size);
      for (size_t i = 0; i < piece.size(); ++i) piece[i] = Byte(at + static_cast<UINT32>(i));
      if (!sink->OnData(piece.data(), size)) break;
      if (at == 0 && firstBlock) Sleep(lateMs);
      at += size;
    }
    return true;
  }
  static BYTE Byte(UINT32 offset) { return static_cast<BYTE>(offset * 7 + offset / 4093); }
  std::string Expected(size_t length) const {
    std::string all(length, '\0');
    for (size_t i = 0; i < length; ++i) all[i] = static_cast<char>(Byte(static_cast<UINT32>(i)));
    return all;
  }
  UINT32 bytes, block;
  UINT32 firstBlock = 0, lateMs = 0;  // a decoder that starts with a sliver and then takes its time
  bool failOpen = false;
  int reads = 0;
};

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits) {
  const WORD align = static_cast<WORD>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

class Listener : public IPlaybackListener {
 public:
  HRESULT STDMETHODCALLTYPE OnProgress(int m, int s, int tm, int ts) override {
    reports.push_back({m * 60 + s, tm * 60 + ts});
    if (onProgress) onProgress(static_cast<int>(reports.size()));
    return stopAt >= 0 && m * 60 + s >= stopAt ? E_ABORT : S_OK;
  }
  void STDMETHODCALLTYPE OnFinished() override { ++finished; }
  std::vector<std::pair<int, int>> reports;  // position and length in seconds
  std::function<void(int)> onProgress;
  int stopAt = -1;
  std::atomic<int> finished{0};
};

// Plays through the export and waits for the end.
void PlayToEnd(IConvertSource* source, Listener& listener) {
  HANDLE playback = Playback(source, &listener);
  ASSERT_NE(nullptr, playback);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(playback, 60000));
  CloseHandle(playback);
}

}  // namespace

TEST(Playback, EveryFormatReachesTheDeviceBitForBit) {
  struct Case {
    WAVEFORMATEX format;
    UINT32 block;  // of the source's blocks: a 24-bit stereo frame is cut by them
  } cases[] = {{Pcm(44100, 2, 16), 40000}, {Pcm(48000, 1, 8), 4096}, {Pcm(44100, 2, 24), 10001},
               {Pcm(48000, 1, 16), 65536}, {Pcm(22050, 2, 16), 16384}};
  for (const Case& c : cases) {
    auto* source = new PatternSource(c.format, c.format.nAvgBytesPerSec * 3 / 2 / c.format.nBlockAlign *
                                                   c.format.nBlockAlign, c.block);
    Listener listener;
    PlayToEnd(source, listener);
    const std::string played = ReadFileBytes(PlayedFile());
    EXPECT_EQ(source->bytes, played.size()) << c.format.wBitsPerSample << " bits";
    EXPECT_TRUE(played == source->Expected(source->bytes)) << c.format.wBitsPerSample << " bits";
    EXPECT_EQ(1, listener.finished.load());
    source->Release();
  }
}

// A device left empty after a sliver of audio fills the wait with silence; held until some audio is queued, it
// plays exactly the source.
TEST(Playback, ASlowStartLeavesNoGap) {
  const WAVEFORMATEX format = Pcm(44100, 2, 16);
  auto* source = new PatternSource(format, format.nAvgBytesPerSec, 16384);
  source->firstBlock = 47 * format.nBlockAlign;
  source->lateMs = 300;
  Listener listener;
  PlayToEnd(source, listener);
  const std::string played = ReadFileBytes(PlayedFile());
  EXPECT_EQ(source->bytes, played.size());
  EXPECT_TRUE(played == source->Expected(source->bytes));
  source->Release();
}

TEST(Playback, ReportsEachSecondOnceAndStopsWhenTheListenerSays) {
  const WAVEFORMATEX format = Pcm(44100, 2, 16);
  // Three minutes: the length comes first; stopped there, the device is never opened.
  auto* threeMinutes = new PatternSource(format, format.nAvgBytesPerSec * 180, 40000);
  Listener first;
  first.stopAt = 0;
  PlayToEnd(threeMinutes, first);
  ASSERT_EQ(1u, first.reports.size());
  EXPECT_EQ(std::make_pair(0, 180), first.reports[0]) << "3 minutes 0 seconds";
  EXPECT_EQ(0, threeMinutes->reads);
  threeMinutes->Release();

  auto* source = new PatternSource(format, format.nAvgBytesPerSec * 10 + 5000, 40000);
  Listener listener;
  PlayToEnd(source, listener);
  ASSERT_EQ(11u, listener.reports.size()) << "0:00, then every second to 0:10";
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(i, listener.reports[i].first);
    EXPECT_EQ(10, listener.reports[i].second);
  }
  source->Release();

  // Stopped at 2 s: the source stops, what was queued still plays, and nothing after it.
  auto* stopped = new PatternSource(format, format.nAvgBytesPerSec * 30, 40000);
  Listener stopper;
  stopper.stopAt = 2;
  PlayToEnd(stopped, stopper);
  const std::string played = ReadFileBytes(PlayedFile());
  EXPECT_GE(played.size(), format.nAvgBytesPerSec * 2u);
  EXPECT_LT(played.size(), format.nAvgBytesPerSec * 3u);
  EXPECT_TRUE(played == stopped->Expected(played.size()));
  EXPECT_EQ(1, stopper.finished.load());
  stopped->Release();
}

TEST(Playback, PauseKeepsEverythingAndStopDropsTheRest) {
  const WAVEFORMATEX format = Pcm(44100, 2, 16);
  auto* source = new PatternSource(format, format.nAvgBytesPerSec * 20, 40000);
  Listener listener;
  HANDLE playback = nullptr;
  std::atomic<int> reportsWhilePaused{-1};
  listener.onProgress = [&](int count) {
    if (reportsWhilePaused > 0) reportsWhilePaused = 1000;  // a report while paused
    if (count != 3) return;
    reportsWhilePaused = 1;
    // Paused from the worker's own report: it must not go on while paused.
    PlaybackControl(playback, kPlaybackPause);
    CreateThread(nullptr, 0, [](void* p) -> DWORD {
      auto* args = static_cast<std::pair<HANDLE*, std::atomic<int>*>*>(p);
      Sleep(500);
      if (args->second->load() == 1) args->second->store(0);
      PlaybackControl(*args->first, kPlaybackResume);
      delete args;
      return 0;
    }, new std::pair<HANDLE*, std::atomic<int>*>(&playback, &reportsWhilePaused), 0, nullptr);
  };
  playback = Playback(source, &listener);
  ASSERT_NE(nullptr, playback);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(playback, 60000));
  CloseHandle(playback);
  EXPECT_EQ(0, reportsWhilePaused.load()) << "the worker stood still while paused, and went on when resumed";
  // Whatever was queued when the pause came plays after it. (The sound system itself may drop a few
  // milliseconds at a pause; a pause that threw the queue away would lose seconds.)
  const std::string played = ReadFileBytes(PlayedFile());
  const std::string expected = source->Expected(source->bytes);
  EXPECT_LT(expected.size(), played.size() + format.nAvgBytesPerSec / 4u);
  const size_t tail = format.nAvgBytesPerSec * 5;
  EXPECT_TRUE(played.size() > tail &&
              played.compare(played.size() - tail, tail, expected, expected.size() - tail, tail) == 0)
      << "the audio after the pause goes on to the end";
  EXPECT_FALSE(PlaybackControl(playback, kPlaybackPause)) << "the playback has ended";
  source->Release();

  auto* longer = new PatternSource(format, format.nAvgBytesPerSec * 600, 40000);
  Listener stopListener;
  HANDLE stopping = nullptr;
  stopListener.onProgress = [&](int count) {
    if (count == 2) PlaybackControl(stopping, kPlaybackStop);
  };
  stopping = Playback(longer, &stopListener);
  ASSERT_NE(nullptr, stopping);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stopping, 60000));
  CloseHandle(stopping);
  EXPECT_EQ(1, stopListener.finished.load());
  EXPECT_LT(ReadFileBytes(PlayedFile()).size(), format.nAvgBytesPerSec * 10u);
  longer->Release();
}

TEST(Playback, SourceOrDeviceThatCannotOpenStillFinishes) {
  auto* broken = new PatternSource(Pcm(44100, 2, 16), 1000, 1000);
  broken->failOpen = true;
  Listener listener;
  PlayToEnd(broken, listener);
  EXPECT_TRUE(listener.reports.empty());
  EXPECT_EQ(1, listener.finished.load());
  broken->Release();

  WAVEFORMATEX odd = Pcm(44100, 2, 16);
  odd.wFormatTag = 0x9999;  // no device or codec takes this
  auto* unplayable = new PatternSource(odd, 1000, 1000);
  Listener refused;
  PlayToEnd(unplayable, refused);
  EXPECT_EQ(1u, refused.reports.size()) << "the length was reported before the device was asked";
  EXPECT_EQ(0, unplayable->reads) << "nothing was read for a device that is not open";
  EXPECT_EQ(1, refused.finished.load());
  unplayable->Release();

  EXPECT_EQ(nullptr, Playback(nullptr, &refused));
  EXPECT_FALSE(PlaybackControl(nullptr, kPlaybackStop));
}
