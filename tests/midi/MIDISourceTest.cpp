// The MIDI source records through the real wave input, which ALSA feeds from a known signal file (the test's own
// home and .asoundrc), while a sequencer double stands in for the MIDI device Wine lacks: the recording reaches
// the sink bit for bit, a refusing sink stops the sequencer, device errors fail cleanly, and nothing is left
// behind (temporary file, threads). The real sequencer is tried too: without a MIDI device it must fail fast.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SignalMatch.h"
#include "TestSupport.h"
#include "formats/midi/MIDIConvSource.h"
#include "tavcore.h"

namespace {

std::wstring HomeFile(const wchar_t* name) {
  wchar_t home[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TAVREL_WINE_HOME", home, MAX_PATH);
  std::wstring path = std::wstring(L"Z:") + home + L"/" + name;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// The samples the recording must hold: the high 16 bits of each 32-bit sample of the signal file.
std::vector<short> SignalSamples() {
  const std::string raw = ReadFileBytes(HomeFile(L"signal-s32.raw"));
  std::vector<short> samples(raw.size() / 4);
  for (size_t i = 0; i < samples.size(); ++i) std::memcpy(&samples[i], raw.data() + i * 4 + 2, 2);
  return samples;
}

// A format-0 file of two seconds: 480 ticks a quarter at 500000 us, one note held 1920 ticks.
const std::string kPiece(
    "MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0MTrk\x00\x00\x00\x13"
    "\x00\xFF\x51\x03\x07\xA1\x20\x00\x90\x3C\x64\x8F\x00\x3C\x00\x00\xFF\x2F\x00",
    41);
constexpr DWORD kPieceMs = 2000;

// The sequencer as the MCI documentation describes it, without sound: opens only MIDI files, reports the
// length in the current time format (milliseconds unless told otherwise, as Wine's), posts MM_MCINOTIFY to the
// window a play names when the test ends the piece, and MCI_NOTIFY_ABORTED when a stop or close cuts it short.
struct Sequencer {
  static constexpr MCIDEVICEID kDevice = 7;
  std::map<UINT, MCIERROR> failures;  // command, or MCI_STATUS_LENGTH for that item alone -> error it answers
  std::vector<UINT> commands;
  bool open = false;
  DWORD timeFormat = MCI_FORMAT_MILLISECONDS;
  UINT outputs = 1;             // MIDI output devices the sequencer could play on
  DWORD lengthMs = kPieceMs;    // how long the file plays
  HWND notifyWindow = nullptr;  // set while a play waits for its notification

  void Notify(WPARAM reason) {
    if (!notifyWindow) return;
    PostMessageW(notifyWindow, MM_MCINOTIFY, reason, kDevice);
    notifyWindow = nullptr;
  }
  void EndPiece() { Notify(MCI_NOTIFY_SUCCESSFUL); }
  int Count(UINT command) const { return static_cast<int>(std::count(commands.begin(), commands.end(), command)); }

  MCIERROR Parse(const std::wstring& path);
  MCIERROR Send(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters);
};
Sequencer* sequencer = nullptr;

// Only the structure is checked: a header chunk of at least six bytes, then chunks that fit in the file.
MCIERROR Sequencer::Parse(const std::wstring& path) {
  if (!FileExists(path)) return MCIERR_FILE_NOT_FOUND;
  const std::string data = ReadFileBytes(path);
  auto chunkEnd = [&](size_t at) {
    unsigned size = 0;
    for (size_t i = at + 4; i < at + 8; ++i) size = size << 8 | static_cast<unsigned char>(data[i]);
    return at + 8 + size;
  };
  if (data.size() < 14 || data.compare(0, 4, "MThd") != 0 || chunkEnd(0) < 14) return MCIERR_INVALID_FILE;
  size_t at = chunkEnd(0);
  for (; at + 8 <= data.size(); at = chunkEnd(at))
    if (chunkEnd(at) > data.size()) return MCIERR_INVALID_FILE;
  return at == data.size() ? 0 : MCIERR_INVALID_FILE;
}

MCIERROR Sequencer::Send(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
  commands.push_back(message);
  const auto failure = failures.find(message);
  if (failure != failures.end()) return failure->second;
  if (message == MCI_OPEN) {
    auto* open = reinterpret_cast<MCI_OPEN_PARMSW*>(parameters);
    if (!(flags & MCI_OPEN_TYPE) || _wcsicmp(open->lpstrDeviceType, L"sequencer") != 0)
      return MCIERR_INVALID_DEVICE_NAME;
    if (!(flags & MCI_OPEN_ELEMENT)) return MCIERR_MISSING_PARAMETER;
    if (this->open) return MCIERR_DEVICE_OPEN;  // the sequencer's files are not shareable
    if (MCIERROR error = Parse(open->lpstrElementName)) return error;
    this->open = true;
    timeFormat = MCI_FORMAT_MILLISECONDS;
    open->wDeviceID = kDevice;
    return 0;
  }
  if (id != kDevice || !open) return MCIERR_INVALID_DEVICE_ID;
  switch (message) {
    case MCI_STATUS: {
      auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(parameters);
      if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
      if (status->dwItem == MCI_STATUS_LENGTH && failures.count(MCI_STATUS_LENGTH)) return failures[MCI_STATUS_LENGTH];
      if (status->dwItem == MCI_SEQ_STATUS_PORT)
        status->dwReturn = LOWORD(MIDI_MAPPER);
      else if (status->dwItem == MCI_STATUS_LENGTH)
        status->dwReturn = timeFormat == MCI_FORMAT_MILLISECONDS ? lengthMs : lengthMs * 4 / 500;  // sixteenths
      else
        return MCIERR_UNSUPPORTED_FUNCTION;
      return 0;
    }
    case MCI_SET: {
      const DWORD format = reinterpret_cast<MCI_SET_PARMS*>(parameters)->dwTimeFormat;
      if (!(flags & MCI_SET_TIME_FORMAT)) return MCIERR_MISSING_PARAMETER;
      if (format != MCI_FORMAT_MILLISECONDS && format != MCI_SEQ_FORMAT_SONGPTR) return MCIERR_BAD_TIME_FORMAT;
      timeFormat = format;
      return 0;
    }
    case MCI_PLAY:
      // A new play with a notify cuts the old one's short.
      Notify(MCI_NOTIFY_ABORTED);
      if (flags & MCI_NOTIFY)
        notifyWindow = reinterpret_cast<HWND>(reinterpret_cast<MCI_PLAY_PARMS*>(parameters)->dwCallback);
      return 0;
    case MCI_STOP:
      Notify(MCI_NOTIFY_ABORTED);
      return 0;
    case MCI_CLOSE:
      Notify(MCI_NOTIFY_ABORTED);
      open = false;
      return 0;
    default:
      return MCIERR_UNRECOGNIZED_COMMAND;
  }
}

MCIERROR WINAPI SendToDouble(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
  return sequencer->Send(id, message, flags, parameters);
}
UINT WINAPI DoubleOutputs() { return sequencer->outputs; }

class Sink : public IPlayCallback {
 public:
  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override {
    ++calls;
    largest = std::max(largest, size);
    bytes.append(static_cast<const char*>(data), size);
    if (onData) return onData();
    return true;
  }
  std::vector<short> Samples() const {
    std::vector<short> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }
  std::string bytes;
  int calls = 0;
  UINT32 largest = 0;
  std::function<bool()> onData;
};

std::set<DWORD> Threads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  std::set<DWORD> threads;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
  CloseHandle(snapshot);
  return threads;
}

// Threads started since `before` that still run. Wine's sound system ends the threads of a closed stream a
// moment later, so they are given a (generous) while to go.
size_t ThreadsLeft(const std::set<DWORD>& before) {
  size_t left = 0;
  for (int wait = 0; wait < 200; ++wait, Sleep(100)) {
    const std::set<DWORD> now = Threads();
    left = static_cast<size_t>(std::count_if(now.begin(), now.end(), [&](DWORD id) { return !before.count(id); }));
    if (left == 0) break;
  }
  return left;
}

// The source's temporary files ("mid" prefix) in the engine's temporary folder, with their sizes.
std::map<std::wstring, unsigned long long> TempFiles() {
  wchar_t folder[MAX_PATH] = {};
  ACTempPath(folder);
  std::wstring pattern = folder;
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  WIN32_FIND_DATAW found;
  std::map<std::wstring, unsigned long long> files;
  HANDLE search = FindFirstFileW((pattern + L"mid*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do files[found.cFileName] = static_cast<unsigned long long>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

bool HasLine(const RecordingCallback& log, const std::wstring& text, const wchar_t* style) {
  for (const auto& line : log.lines)
    if (line.text == text + L"\n" && line.style == style) return true;
  return false;
}

class MidiSource : public ::testing::Test {
 protected:
  void SetUp() override {
    sequencer = &double_;
    ASSERT_TRUE(WriteFileBytes(folder / L"piece.mid", kPiece));
    // Wine's sound system starts threads of its own on first use, which live on: only later ones count.
    HWAVEIN warm = nullptr;
    WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    if (waveInOpen(&warm, WAVE_MAPPER, &pcm, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) waveInClose(warm);
    threadsBefore = Threads();
    tempBefore = TempFiles();
  }
  void TearDown() override {
    EXPECT_EQ(tempBefore, TempFiles()) << "no temporary file is left";
    // Under Wine, reporting a failure starts a thread of its own: the count is told only of a clean run.
    if (!HasFailure()) {
      EXPECT_EQ(0u, ThreadsLeft(threadsBefore)) << "no thread is left";
    }
    sequencer = nullptr;
  }
  CMIDIConvSource* Source(const std::wstring& path) {
    CMIDIConvSource* source = CMIDIConvSource::CreateWithSequencer({&SendToDouble, &DoubleOutputs});
    source->SetFileName(path.c_str());
    source->SetCallback(&log);
    return source;
  }

  Sequencer double_;
  TempFolder folder;
  RecordingCallback log;
  std::set<DWORD> threadsBefore;
  std::map<std::wstring, unsigned long long> tempBefore;
  // Bytes in temporary files that were not there before the test.
  unsigned long long NewTempBytes() {
    unsigned long long bytes = 0;
    for (const auto& file : TempFiles())
      if (!tempBefore.count(file.first)) bytes += file.second;
    return bytes;
  }
};

}  // namespace

TEST_F(MidiSource, RecordingReachesTheSinkBitForBitFromTheStartWhateverTheStartTime) {
  const std::vector<short> signal = SignalSamples();
  ASSERT_EQ(8u * 44100, signal.size());
  for (int startMs : {-1, 1500}) {
    log.lines.clear();
    double_.commands.clear();
    CMIDIConvSource* source = Source(folder / L"piece.mid");
    source->SetStartTime(startMs);
    ASSERT_TRUE(source->Open()) << startMs;
    WAVEFORMATEX format = {};
    ASSERT_TRUE(source->GetFormat(&format));
    const WAVEFORMATEX expected = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    EXPECT_EQ(0, std::memcmp(&expected, &format, sizeof(format)));
    UINT32 size = 0;
    ASSERT_TRUE(source->GetDataSize(&size, -1, -1));
    EXPECT_EQ(176400u, size) << "two seconds of PCM";
    EXPECT_EQ(startMs > 0,
              HasLine(log, L"Warning: Encoding specific portions of a MIDI is currently not supported", L"i"));

    // The piece ends after two seconds of recording, well before the signal's end (past the end of its file
    // the input gives whatever ALSA makes of that).
    Sink sink;
    bool fileWhileRecording = false;
    unsigned long long onFileAtEnd = 0;
    sink.onData = [&] {
      fileWhileRecording = fileWhileRecording || TempFiles().size() == tempBefore.size() + 1;
      if (sink.bytes.size() >= 2 * 88200 && !onFileAtEnd) {
        // What the writer appends from here on can reach the sink only after the end of the piece: wait for
        // some (the wait's limit only keeps a stuck device from hanging the test).
        onFileAtEnd = NewTempBytes();
        double_.EndPiece();
        for (int wait = 0; wait < 400 && NewTempBytes() <= onFileAtEnd; ++wait) Sleep(50);
      }
      return true;
    };
    ASSERT_TRUE(source->ReadAll(&sink)) << (log.Errors().empty() ? L"" : log.Errors()[0]);
    EXPECT_TRUE(log.Errors().empty()) << log.Errors()[0];
    EXPECT_TRUE(fileWhileRecording) << "the recording goes through a temporary file";
    EXPECT_LE(sink.largest, 88200u) << "blocks of at most one second";
    EXPECT_EQ(0, double_.Count(MCI_STOP)) << "a piece that ended is not stopped";
    EXPECT_EQ(1, double_.Count(MCI_PLAY));

    const SignalMatch match = MatchSignal(sink.Samples(), signal, 44100, 44100 / 20);
    EXPECT_EQ("", match.fault);
    EXPECT_LT(match.start, 44100u / 2) << "the whole piece, from its beginning";
    EXPECT_GT(sink.bytes.size(), onFileAtEnd) << "what was recorded as the piece ended is not lost";

    source->Close();
    EXPECT_EQ(1, double_.Count(MCI_CLOSE));
    EXPECT_FALSE(double_.open);
    source->Release();
  }
}

TEST_F(MidiSource, SequencerThatNeverReportsTheEndIsStoppedAfterTheLengthAndAMargin) {
  CMIDIConvSource* source = Source(folder / L"piece.mid");
  source->SetEndMargin(300);
  ASSERT_TRUE(source->Open());
  Sink sink;
  EXPECT_FALSE(source->ReadAll(&sink)) << "the piece never ends";
  ASSERT_EQ(1u, log.Errors().size());
  EXPECT_EQ(L"MIDI playing did not end in time (length 2000 ms)\n", log.Errors().front());
  EXPECT_EQ(1, double_.Count(MCI_STOP));
  EXPECT_EQ(nullptr, double_.notifyWindow) << "the play's notification was aborted";
  EXPECT_GE(sink.bytes.size(), 88200u) << "it recorded for the piece's length first";
  source->Release();
}

TEST_F(MidiSource, RefusingSinkStopsTheSequencerAtOnce) {
  CMIDIConvSource* source = Source(folder / L"piece.mid");
  ASSERT_TRUE(source->Open());
  Sink sink;
  int stopsWhenRefused = -1;
  sink.onData = [&] {
    if (sink.calls > 1) double_.EndPiece();  // a source that went on would otherwise never end
    stopsWhenRefused = double_.Count(MCI_STOP);
    return false;
  };
  EXPECT_FALSE(source->ReadAll(&sink));
  EXPECT_EQ(1, sink.calls) << "nothing more after the refusal";
  EXPECT_EQ(0, stopsWhenRefused);
  EXPECT_EQ(1, double_.Count(MCI_STOP));
  EXPECT_EQ(nullptr, double_.notifyWindow) << "the play's notification was aborted";
  EXPECT_TRUE(log.Errors().empty());
  source->Release();
  EXPECT_FALSE(double_.open) << "released means closed";
}

TEST_F(MidiSource, OpenFailuresNameTheStepAndLeaveTheSequencerClosed) {
  ASSERT_TRUE(WriteFileBytes(folder / L"notmidi.mid", std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16)));
  struct Case {
    std::wstring file;
    UINT failing;  // command (or the length status item) made to fail, 0: none
    MCIERROR error;
    std::wstring message;
  } cases[] = {
      {L"notmidi.mid", 0, 0, L"MIDI File cannot be opened (error 128)"},
      {L"missing.mid", 0, 0, L"MIDI File cannot be opened (error 113)"},
      {L"piece.mid", MCI_STATUS, MCIERR_SEQ_PORT_NONEXISTENT, L"MIDI Status request failed (error 152)"},
      {L"piece.mid", MCI_SET, MCIERR_BAD_TIME_FORMAT, L"MIDI Length Status request failed (error 125)"},
      {L"piece.mid", MCI_STATUS_LENGTH, MCIERR_HARDWARE, L"MIDI Length Status request failed (error 106)"},
  };
  for (const Case& c : cases) {
    log.lines.clear();
    double_.failures.clear();
    if (c.failing) double_.failures[c.failing] = c.error;
    CMIDIConvSource* source = Source(folder / c.file);
    EXPECT_FALSE(source->Open()) << c.message;
    ASSERT_FALSE(log.Errors().empty()) << c.message;
    EXPECT_EQ(c.message + L"\n", log.Errors()[0]);
    EXPECT_FALSE(double_.open) << c.message;
    UINT32 size = 0;
    EXPECT_FALSE(source->GetDataSize(&size, -1, -1)) << "closed again";
    source->Release();
  }
}

TEST_F(MidiSource, PlayOrStopFailureFailsTheConversionAndReleasesEverything) {
  // No MIDI device: the play is refused after the recording has started.
  double_.failures[MCI_PLAY] = MCIERR_SEQ_PORT_MAPNODEVICE;
  CMIDIConvSource* source = Source(folder / L"piece.mid");
  ASSERT_TRUE(source->Open());
  Sink sink;
  EXPECT_FALSE(source->ReadAll(&sink));
  ASSERT_FALSE(log.Errors().empty());
  EXPECT_EQ(L"MIDI Play request failed (error 153)\n", log.Errors()[0]);
  source->Release();

  // A stop the sequencer refuses after the sink has refused.
  double_.failures = {{MCI_STOP, MCIERR_HARDWARE}};
  log.lines.clear();
  source = Source(folder / L"piece.mid");
  ASSERT_TRUE(source->Open());
  Sink refusing;
  refusing.onData = [] { return false; };
  EXPECT_FALSE(source->ReadAll(&refusing));
  ASSERT_EQ(1u, log.Errors().size());
  EXPECT_EQ(L"MIDI Stop request failed (error 106)\n", log.Errors()[0]);
  source->Release();

  // The input device is free again: nothing kept it.
  HWAVEIN input = nullptr;
  WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
  ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&input, WAVE_MAPPER, &pcm, 0, 0, CALLBACK_NULL));
  waveInClose(input);
}

// Wine's own sequencer opens the file and reports its length, but has no MIDI device to play it on: it would
// take the play and never report its end.
TEST_F(MidiSource, RealSequencerWithoutMidiDeviceFailsAtPlayWithoutWaiting) {
  CONVFORMAT row = {};
  ASSERT_EQ(S_OK, ConvGetFormatByName(&row, L"MIDI"));
  IConvertSource* source = nullptr;
  ASSERT_EQ(S_OK, ConvCreateSource(&row, &source));
  GUID classId = {};
  ASSERT_TRUE(source->GetClassId(&classId));
  EXPECT_TRUE(IsEqualGUID(CLSID_CMIDIConvSource, classId));
  source->SetFileName((folder / L"piece.mid").c_str());
  source->SetCallback(&log);
  ASSERT_TRUE(source->Open()) << (log.Errors().empty() ? L"" : log.Errors()[0]);
  UINT32 size = 0;
  ASSERT_TRUE(source->GetDataSize(&size, -1, -1));
  EXPECT_EQ(176400u, size) << "two seconds, whatever the sequencer's own time format";
  Sink sink;
  EXPECT_FALSE(source->ReadAll(&sink));
  ASSERT_FALSE(log.Errors().empty());
  EXPECT_EQ(L"MIDI Play request failed (error 157)\n", log.Errors()[0]);
  EXPECT_TRUE(sink.bytes.empty());
  source->Close();
  source->Release();
}
