// The recording engine with Wine's real wave input, which ALSA feeds from a known signal (the test home's
// .asoundrc, see recorder-home.sh): 3 s of silence, 2 s of sound, 1.5 s of silence, 2 s of sound, 12 s of silence,
// then 200 s of sound. The outputs are real destinations of the engine, tapped to see what reached them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "Recorder.h"
#include "SignalMatch.h"
#include "SilenceScan.h"
#include "SpoolRecord.h"
#include "SpoolRecovery.h"
#include "TappedDestination.h"
#include "TestSupport.h"
#include "tavcore.h"

namespace {

constexpr UINT32 kRate = 176400;  // bytes per second

std::wstring Home() {
  wchar_t home[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TAVREL_WINE_HOME", home, MAX_PATH);
  std::wstring path = std::wstring(L"Z:") + home;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// What the recording should see: the signal as 16-bit frames.
const std::string& Signal() {
  static const std::string signal = ReadFileBytes(Home() + L"\\signal-s16.raw");
  return signal;
}
constexpr size_t Seconds(double seconds) { return static_cast<size_t>(seconds * 44100) * 4; }
const size_t kFirstSound = Seconds(3), kFirstSilence = Seconds(5), kSecondSound = Seconds(6.5),
             kLongSilence = Seconds(8.5), kLastSound = Seconds(20.5);

constexpr size_t kGap = 44100 / 20;  // frames: the longest packet Wine's fast capture may drop

// The recording against the signal (in frames); the first frame within `within` frames of the signal's start.
SignalMatch Match(const std::string& recorded, size_t within = 44100) {
  static const std::vector<unsigned> signal = Frames(Signal());
  return MatchSignal(Frames(recorded), signal, within, kGap);
}

// The window's part: messages and stop requests, and the 500 ms tick.
struct Window : IRecorderEvents {
  void OnRecorderMessage(const std::wstring& text, const std::wstring& caption, UINT icon) override {
    std::lock_guard<std::mutex> held(lock);
    messages.push_back(caption + L": " + text + (icon == MB_ICONINFORMATION ? L" (i)" : L""));
  }
  void OnStopWanted() override { stopWanted = true; }
  std::vector<std::wstring> Messages() {
    std::lock_guard<std::mutex> held(lock);
    return messages;
  }
  std::mutex lock;
  std::vector<std::wstring> messages;
  std::atomic<bool> stopWanted{false};
};

// Records until `done` says so (asked at every tick) or the recorder asks to stop; a safety limit in between.
template <class Done>
void RecordUntil(CRecorder& recorder, Window& window, Done done) {
  for (int tick = 0; tick < 12000 && !window.stopWanted && !done(); ++tick) {
    Sleep(25);
    recorder.OnStatusTick();
  }
  recorder.Stop();
}

std::string WaveData(const std::wstring& path) {
  const std::string file = ReadFileBytes(path);
  for (size_t at = 12; at + 8 <= file.size();) {
    const UINT32 size = *reinterpret_cast<const UINT32*>(file.data() + at + 4);
    if (file.compare(at, 4, "data") == 0) return file.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return {};
}

std::vector<std::wstring> SpoolLeft(const std::wstring& output) {
  std::vector<std::wstring> left;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((output + L".vxc-*").c_str(), &entry);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) left.push_back(entry.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return left;
}

class Recording : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Signal().empty()) << "the signal of the test home"; }
  TempFolder folder;
  Window window;
};

}  // namespace

TEST(SilenceScan, ThresholdsAndRunsOfSilentFrames) {
  EXPECT_EQ(328, SilenceLimit(1));
  EXPECT_EQ(6881, SilenceLimit(21));
  // Frames: silent, silent at the limit, one channel over it, silent, silent.
  const INT16 frames[] = {0, 0, 328, -328, 0, 329, 5, -5, 0, 0};
  const auto* bytes = reinterpret_cast<const BYTE*>(frames);
  EXPECT_EQ(8u, LeadingSilence(bytes, sizeof(frames), 328));
  EXPECT_EQ(8u, TrailingSilence(bytes, sizeof(frames), 328));
  EXPECT_EQ(sizeof(frames), LeadingSilence(bytes, sizeof(frames), 329));
  EXPECT_EQ(sizeof(frames), TrailingSilence(bytes, sizeof(frames), 329));
  EXPECT_EQ(0u, TrailingSilence(bytes, 12, 328));
}

TEST_F(Recording, TheOutputHoldsExactlyWhatWasCapturedAndTheSpoolIsGone) {
  const std::wstring output = folder / L"plain.wav";
  TappedDestination destination(L"Wave", 0);
  CRecorder recorder(&window);
  ASSERT_TRUE(recorder.Start(WAVE_MAPPER, output, &destination, false, 1));
  EXPECT_FALSE(SpoolLeft(output).empty());
  RecordUntil(recorder, window, [&] { return recorder.TotalBytes() >= Seconds(9); });
  EXPECT_TRUE(destination.closed);
  EXPECT_TRUE(window.Messages().empty());
  const std::string data = WaveData(output);
  EXPECT_EQ(recorder.TotalBytes(), data.size());
  EXPECT_EQ(destination.written, data);
  ASSERT_GE(data.size(), Seconds(9));
  EXPECT_EQ("", Match(data).fault);
  EXPECT_TRUE(SpoolLeft(output).empty());
  EXPECT_EQ(L"", FindInterruptedRecording());
}

TEST_F(Recording, SilenceIsSkippedAtTheStartKeptInTheMiddleAndCutAtTheEnd) {
  const std::wstring output = folder / L"silence.wav";
  TappedDestination destination(L"Wave", 0);
  CRecorder recorder(&window);
  recorder.SetSilenceStopSeconds(3);  // instead of five minutes
  ASSERT_TRUE(recorder.Start(WAVE_MAPPER, output, &destination, true, 1));
  RecordUntil(recorder, window, [] { return false; });
  EXPECT_TRUE(recorder.StoppedBySilence());
  EXPECT_EQ((std::vector<std::wstring>{L"Note!: Recording stopped because 5 minutes of silence were detected. (i)"}),
            window.Messages());
  // From the first sound to the end of the second: the 1.5 s between them whole, nothing of the long silence.
  const std::string data = WaveData(output);
  const SignalMatch match = Match(data, kFirstSound / 4 + kGap);
  EXPECT_EQ("", match.fault);
  // To the frame, unless the device dropped the packet right there.
  EXPECT_GE(match.start, kFirstSound / 4);
  EXPECT_LE(match.start, kFirstSound / 4 + kGap);
  EXPECT_LE(match.end, kLongSilence / 4);
  EXPECT_GE(match.end, kLongSilence / 4 - kGap);
  ASSERT_GE(data.size(), 8u);
  EXPECT_NE(0, data.compare(data.size() - 4, 4, std::string(4, '\0'))) << "the output ends in sound";
  // Packets dropped by the fast device shorten it: a silence cut by the recorder would be gone.
  EXPECT_NE(std::string::npos, data.find(std::string(Seconds(1), '\0'))) << "the short silence is kept";
}

TEST_F(Recording, PausedAudioIsNotRecordedAndLeavesNoGap) {
  const std::wstring output = folder / L"paused.wav";
  TappedDestination destination(L"Wave", 0);
  CRecorder recorder(&window);
  ASSERT_TRUE(recorder.Start(WAVE_MAPPER, output, &destination, false, 1));
  bool paused = false, resumed = false;
  ULONGLONG pausedAt = 0;
  int ticksPaused = 0;
  RecordUntil(recorder, window, [&] {
    if (!paused && recorder.TotalBytes() >= Seconds(22)) {
      recorder.TogglePause();
      paused = true;
      pausedAt = recorder.TotalBytes();
    }
    // Capture goes on meanwhile (the device is faster than real time): nothing may reach the spool.
    if (paused && !resumed && ++ticksPaused > 40) {
      EXPECT_EQ(pausedAt, recorder.TotalBytes());
      recorder.TogglePause();
      resumed = true;
    }
    return resumed && recorder.TotalBytes() >= pausedAt + Seconds(3);
  });
  const std::string data = WaveData(output);
  ASSERT_GE(data.size(), pausedAt + Seconds(3));
  // Two unbroken stretches of the signal back to back: up to the pause, and from the resume on.
  const SignalMatch before = Match(data.substr(0, static_cast<size_t>(pausedAt)));
  const SignalMatch after = Match(data.substr(static_cast<size_t>(pausedAt)), Signal().size() / 4);
  EXPECT_EQ("", before.fault);
  EXPECT_EQ("", after.fault);
  EXPECT_GT(after.start, before.end + kGap) << "the paused audio is left out";
}

TEST_F(Recording, ASlowEncoderLosesNothingWhileTheSpoolRollsOver) {
  const std::wstring output = folder / L"long.mp3";
  // Slowed down so that the encoder falls well behind: the spool grows past one file of 20 MiB.
  TappedDestination destination(L"MP3", 150);
  CRecorder recorder(&window);
  ASSERT_TRUE(recorder.Start(WAVE_MAPPER, output, &destination, false, 1));
  size_t mostFiles = 0;
  RecordUntil(recorder, window, [&] {
    mostFiles = std::max(mostFiles, SpoolLeft(output).size());
    return recorder.TotalBytes() >= Seconds(125);
  });
  EXPECT_GE(mostFiles, 2u) << "the spool rolled over to a second file";
  EXPECT_TRUE(window.Messages().empty());
  // Every block reached the encoder, in order: one unbroken stretch of the signal, as long as the recording.
  EXPECT_EQ(recorder.TotalBytes(), destination.written.size());
  EXPECT_EQ("", Match(destination.written).fault);
  EXPECT_TRUE(SpoolLeft(output).empty());
  EXPECT_TRUE(FileExists(output));
}

TEST_F(Recording, AFullDiskStopsTheRecordingAndTheOutputStaysPlayable) {
  static std::atomic<int> blocks{0};
  blocks = 0;
  CRecorder::SetSpoolWriter([](CTempFile& file, const void* data, DWORD size) {
    return ++blocks <= 4 && file.Append(data, size);
  });
  const std::wstring output = folder / L"full.wav";
  TappedDestination destination(L"Wave", 0);
  CRecorder recorder(&window);
  ASSERT_TRUE(recorder.Start(WAVE_MAPPER, output, &destination, false, 1));
  RecordUntil(recorder, window, [] { return false; });
  CRecorder::SetSpoolWriter(nullptr);
  EXPECT_TRUE(window.stopWanted);
  EXPECT_EQ((std::vector<std::wstring>{L": Cannot write recording buffer"}), window.Messages());
  // The four spooled seconds, in a closed file whose header says so.
  const std::string data = WaveData(output);
  EXPECT_EQ(4u * kRate, data.size());
  EXPECT_EQ(destination.written, data);
  EXPECT_TRUE(SpoolLeft(output).empty());
}

TEST_F(Recording, AnInterruptedRecordingIsRecoveredFromItsSpool) {
  // What a killed recorder leaves: its note, and spool files whose first block had already been encoded.
  const std::wstring output = folder / L"killed.wav";
  NoteInterruptibleRecording(output);
  const std::string& signal = Signal();
  auto block = [&](UINT32 sequence, UINT32 magic, size_t from) {
    SpoolHeader header = {magic, sequence, kRate, kRate, kSpoolAudio, 0};
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + signal.substr(from, kRate);
  };
  const std::wstring second = SpoolFileName(output, 3);
  SpoolChangeFile change = {};
  change.header = {kSpoolMagic, 3, kRate, kRate, kSpoolChangeFile, 0};
  second.copy(change.path, kSpoolPathChars - 1);
  ASSERT_TRUE(WriteFileBytes(SpoolFileName(output, 0),
                             block(1, kSpoolMagicEncoded, kFirstSound) + block(2, kSpoolMagic, kFirstSound + kRate) +
                                 std::string(reinterpret_cast<const char*>(&change), sizeof(change))));
  // The last block was being written when the program died.
  ASSERT_TRUE(WriteFileBytes(second, block(3, kSpoolMagic, kLastSound) + block(4, kSpoolMagic, kLastSound + kRate).substr(0, 1000)));

  EXPECT_EQ(output, FindInterruptedRecording());
  std::wstring error;
  const std::wstring recovered = RecoverInterruptedRecording(output, &error);
  EXPECT_EQ(folder / L"killed (recovered).wav", recovered) << error;
  EXPECT_TRUE(WaveData(recovered) == signal.substr(kFirstSound + kRate, kRate) + signal.substr(kLastSound, kRate));
  EXPECT_TRUE(SpoolLeft(output).empty());
  EXPECT_EQ(L"", FindInterruptedRecording());
}

TEST_F(Recording, AKilledRecorderLeavesWhatTheOutputLacksForTheNextStart) {
  const std::wstring output = folder / L"victim.wav";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring line = L"\"" + ProgramFolder() + L"\\recording_victim.exe\" \"" + output + L"\"";
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  // Killed once the spool holds a few seconds that the slow output has not had yet.
  for (int wait = 0; wait < 600; ++wait) {
    WIN32_FILE_ATTRIBUTE_DATA spool = {};
    if (GetFileAttributesExW(SpoolFileName(output, 0).c_str(), GetFileExInfoStandard, &spool) &&
        spool.nFileSizeLow > 12 * kRate)
      break;
    Sleep(50);
  }
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  ASSERT_EQ(output, FindInterruptedRecording());
  // What the output got before the kill (its header was never finished), then what the spool still held.
  const std::string partial = ReadFileBytes(output);
  const size_t data = partial.find("data");
  ASSERT_NE(std::string::npos, data);
  std::wstring error;
  const std::wstring recovered = RecoverInterruptedRecording(output, &error);
  ASSERT_EQ(folder / L"victim (recovered).wav", recovered) << error;
  const std::string rest = WaveData(recovered);
  EXPECT_GE(rest.size(), 4u * kRate);
  // Together one unbroken stretch of the signal: nothing lost, nothing twice.
  EXPECT_EQ("", Match(partial.substr(data + 8) + rest).fault);
  EXPECT_TRUE(SpoolLeft(output).empty());
  EXPECT_EQ(L"", FindInterruptedRecording());
}
