// The burn job's audio CD recorded as an image: each source comes back as its track in CD audio, and refused,
// failed or cancelled burns leave no image and no staging file and never report success.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "BurnJob.h"
#include "BurnTestSupport.h"
#include "CdTestDrive.h"
#include "ComPtr.h"
#include "CueSheet.h"
#include "ImageDiscMaster.h"
#include "TestSupport.h"
#include "tavcore_cd.h"

namespace {

constexpr size_t kSector = 2352;

std::string WavFile(DWORD rate, WORD channels, const std::string& pcm) {
  const WORD align = static_cast<WORD>(channels * 2);
  const WAVEFORMATEX format = {WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
  auto u32 = [](UINT32 v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  return "RIFF" + u32(static_cast<UINT32>(36 + pcm.size())) + "WAVEfmt " + u32(16) +
         std::string(reinterpret_cast<const char*>(&format), 16) + "data" + u32(static_cast<UINT32>(pcm.size())) +
         pcm;
}

// Audible, never-repeating 16-bit samples.
std::string Samples(size_t bytes, unsigned seed) {
  std::string pcm(bytes, '\0');
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const INT16 v = static_cast<INT16>(((i / 2) * 37 + seed * 1001) % 20000 - 10000);
    memcpy(&pcm[i], &v, 2);
  }
  return pcm;
}

std::vector<std::wstring> StagingFiles(const std::wstring& folder) {
  std::vector<std::wstring> found;
  for (const wchar_t* pattern : {L"\\brn*", L"\\stg*"}) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return found;
}

bool Logged(const RecordingCallback& callback, const std::wstring& text, const wchar_t* style = nullptr) {
  return std::any_of(callback.lines.begin(), callback.lines.end(), [&](const RecordingCallback::Line& line) {
    return line.text.find(text) != std::wstring::npos && (!style || line.style == style);
  });
}

// The engine's temporary folder pointed at a fresh folder, so staging files of this test alone are seen.
class BurnFixture : public testing::Test {
 protected:
  void SetUp() override {
    had = ReadPString(L"Settings", L"TempPath", old) != FALSE;
    WritePString(L"Settings", L"TempPath", temp.Path().c_str());
    CoInitialize(nullptr);
  }
  void TearDown() override {
    EXPECT_TRUE(StagingFiles(temp.Path()).empty()) << "staging files left behind";
    WritePString(L"Settings", L"TempPath", had ? old : nullptr);
    CoUninitialize();
  }

  std::wstring Wav(const std::wstring& name, DWORD rate, WORD channels, const std::string& pcm) {
    const std::wstring path = files / name;
    EXPECT_TRUE(WriteFileBytes(path, WavFile(rate, channels, pcm)));
    return path;
  }

  BurnOutcome Burn(CImageDiscMaster& master, const BurnJob& job, RecordingCallback& callback, bool test = false) {
    return BurnThrough(master, job, callback, test);
  }

  void ExpectNoImage(const CImageDiscMaster& master) {
    EXPECT_EQ(master.ImagesWritten(), 0);
    EXPECT_FALSE(FileExists(files / L"disc.bin"));
    EXPECT_FALSE(FileExists(files / L"disc.cue"));
  }

  TempFolder temp, files;
  bool had = false;
  wchar_t old[512] = {};
};

// What the engine itself decodes the file to: format and PCM.
std::string Decode(const std::wstring& path, WAVEFORMATEX* format) {
  struct Sink : IPlayCallback {
    std::string data;
    bool STDMETHODCALLTYPE OnData(const void* bytes, UINT32 size) override {
      data.append(static_cast<const char*>(bytes), size);
      return true;
    }
  } sink;
  BurnJob holder;
  EXPECT_EQ(holder.AddFile(path), S_OK);
  RecordingCallback callback;
  IConvertSource* source = holder.entries.at(0).source;
  source->SetCallback(&callback);
  EXPECT_TRUE(source->Open());
  source->GetFormat(format);
  EXPECT_TRUE(source->ReadAll(&sink));
  source->Close();
  source->SetCallback(nullptr);
  return sink.data;
}

// Claims `bytes` of CD audio; delivers half a second of it, then fails as a damaged file would.
class CFailingSource : public IConvertSource {
 public:
  explicit CFailingSource(UINT32 bytes = 176400) : bytes(bytes) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs;
    if (!left) delete this;
    return left;
  }
  bool STDMETHODCALLTYPE SetFileName(const wchar_t*) override { return true; }
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override {
    return buf && wcsncpy(buf, L"C:\\damaged.wav", static_cast<size_t>(cch)) != nullptr;
  }
  int STDMETHODCALLTYPE GetFormatIndex() override { return 0; }
  int STDMETHODCALLTYPE SetFormatIndex(int) override { return 0; }
  bool STDMETHODCALLTYPE GetClassId(GUID*) override { return false; }
  bool STDMETHODCALLTYPE GetFileTitle(wchar_t* buf, int cch) override { return GetFileName(buf, cch); }
  bool STDMETHODCALLTYPE GetFolder(wchar_t*, int) override { return false; }
  bool STDMETHODCALLTYPE Open() override { return true; }
  bool STDMETHODCALLTYPE SetStartTime(int) override { return true; }
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override {
    const std::string half = Samples(88200, 3);
    sink->OnData(half.data(), static_cast<UINT32>(half.size()));
    if (callback) callback->LogStyled(L"Read error\n", L"e");
    return false;
  }
  bool STDMETHODCALLTYPE Close() override { return true; }
  bool STDMETHODCALLTYPE GetMetadata(IMetadata**) override { return false; }
  bool STDMETHODCALLTYPE GetDataSize(UINT32* size, int, int) override {
    *size = bytes;
    return true;
  }
  bool STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* out) override {
    *out = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    return true;
  }
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override { callback = cb; }

 private:
  UINT32 bytes;
  ULONG refs = 1;
  IConvertCallback* callback = nullptr;
};

// Cancels once the job reaches the given status text.
class CancelAt : public RecordingCallback {
 public:
  explicit CancelAt(std::wstring status) : trigger(std::move(status)) {}
  void STDMETHODCALLTYPE SetStatusText(const wchar_t* text) override {
    RecordingCallback::SetStatusText(text);
    if (status == trigger) cancelled = TRUE;
  }
  void STDMETHODCALLTYPE StepProgress(int step) override {
    RecordingCallback::StepProgress(step);
    if (trigger.empty()) cancelled = TRUE;  // during the conversion
  }

 private:
  std::wstring trigger;
};

}  // namespace

TEST_F(BurnFixture, EachSourceBecomesItsTrackInCdAudio) {
  // 1764100 bytes: 750 whole sectors and 100 bytes that are kept, padded with silence.
  const std::string cdPcm = Samples(1764100, 1);
  BurnJob job;
  ASSERT_EQ(job.AddFile(Wav(L"cd.wav", 44100, 2, cdPcm)), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"low.wav", 22050, 1, Samples(22050 * 2 * 2, 2))), S_OK);
  ASSERT_EQ(job.AddFile(std::wstring(BURN_INPUTS) + L"\\tone.flac"), S_OK);

  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  RecordingCallback callback;
  ASSERT_EQ(Burn(master, job, callback), BurnOutcome::Completed);
  EXPECT_TRUE(callback.Errors().empty()) << callback.Errors().front();
  EXPECT_TRUE(Logged(callback, L"Recording disc...\n"));
  EXPECT_TRUE(Logged(callback, L"Audio CD was successfully created", L"i"));
  EXPECT_EQ(callback.currentFile, L"Completed");

  const std::string bin = ReadFileBytes(files / L"disc.bin");
  CueSheet sheet;
  DiscLayout layout;
  std::wstring error;
  ASSERT_TRUE(ParseCueSheet(ReadFileBytes(files / L"disc.cue"), &sheet, &error)) << error;
  ASSERT_TRUE(LayOutDisc(sheet, {bin.size() / kSector}, &layout, &error)) << error;
  ASSERT_EQ(layout.tracks.size(), 3u);
  auto track = [&](size_t t) {
    const size_t end = t + 1 < layout.tracks.size() ? static_cast<size_t>(sheet.tracks[t + 1].index0)
                                                     : static_cast<size_t>(layout.leadOut);
    return bin.substr(layout.tracks[t].start * kSector, (end - layout.tracks[t].start) * kSector);
  };

  std::string expected = cdPcm;
  expected.resize(751 * kSector, '\0');
  EXPECT_TRUE(track(0) == expected) << "CD audio is burnt bit for bit, its partial last sector kept";

  const wchar_t* others[] = {L"low.wav", L"tone.flac"};
  for (size_t t = 1; t < 3; ++t) {
    SCOPED_TRACE(testing::Message() << "track " << t + 1);
    WAVEFORMATEX format = {};
    const std::wstring path = t == 1 ? files / others[0] : std::wstring(BURN_INPUTS) + L"\\" + others[1];
    const std::string decoded = Decode(path, &format);
    ASSERT_GT(format.nAvgBytesPerSec, 0u);
    const double sectors = static_cast<double>(decoded.size()) * 176400 / format.nAvgBytesPerSec / kSector;
    const std::string audio = track(t);
    EXPECT_NEAR(static_cast<double>(audio.size() / kSector), sectors, 2.0);
    EXPECT_GT(std::count(audio.begin(), audio.end(), '\0'), 0);
    EXPECT_LT(static_cast<size_t>(std::count(audio.begin(), audio.end(), '\0')), audio.size() / 4)
        << "the track holds sound, not silence";
  }
}

TEST_F(BurnFixture, ListOverCapacityIsRefusedBeforeConverting) {
  BurnJob job;
  ASSERT_EQ(job.AddFile(Wav(L"a.wav", 44100, 2, Samples(400 * kSector, 1))), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"b.wav", 44100, 2, Samples(400 * kSector, 2))), S_OK);
  // 400 + 150 + 400 blocks do not fit in 900, though the first track alone would.
  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue", 900);
  RecordingCallback callback;
  EXPECT_EQ(Burn(master, job, callback), BurnOutcome::Failed);
  EXPECT_TRUE(Logged(callback, L"The tracks need 950 blocks, but the disc holds only 900", L"e"));
  EXPECT_FALSE(Logged(callback, L"a.wav")) << "no track was converted";
  EXPECT_FALSE(Logged(callback, L"Recording disc"));
  EXPECT_EQ(callback.currentFile, L"Failed - please see details");
  ExpectNoImage(master);
}

TEST_F(BurnFixture, FailedOrCancelledBurnsLeaveNothing) {
  struct Case {
    const char* what;
    std::wstring cancelAt;  // status text at which the user cancels; empty: during the conversion
    bool cancel;
    bool damaged;
    HRESULT recordFailure;
    BurnOutcome outcome;
    const wchar_t* line;
  };
  const Case cases[] = {
      {"a source fails mid-conversion", L"", false, true, S_OK, BurnOutcome::Failed, L"Read error"},
      {"cancelled while converting", L"", true, false, S_OK, BurnOutcome::Cancelled, L"Canceled"},
      {"cancelled while recording", L"Burning:", true, false, S_OK, BurnOutcome::Cancelled,
       L"Recording failed (hr=8004020D)"},
      {"the recorder has no disc", L"", false, false, IMAPI_E_MEDIUM_NOTPRESENT, BurnOutcome::Failed,
       L"Recording failed (hr=8004020F)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BurnJob job;
    ASSERT_EQ(job.AddFile(Wav(L"first.wav", 44100, 2, Samples(100 * kSector, 1))), S_OK);
    if (c.damaged) job.entries.push_back({L"C:\\damaged.wav", new CFailingSource});
    ASSERT_EQ(job.AddFile(Wav(L"last.wav", 22050, 2, Samples(300 * kSector, 2))), S_OK);
    CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
    master.FailNextRecord(c.recordFailure);
    CancelAt callback(c.cancel ? c.cancelAt : L"-");
    EXPECT_EQ(Burn(master, job, callback), c.outcome);
    EXPECT_TRUE(Logged(callback, c.line)) << "missing: " << testing::PrintToString(std::wstring(c.line));
    EXPECT_FALSE(Logged(callback, L"successfully"));
    EXPECT_NE(callback.currentFile, L"Completed");
    ExpectNoImage(master);
    EXPECT_TRUE(StagingFiles(temp.Path()).empty());
  }
}

TEST_F(BurnFixture, TestModeRecordsNothingAndProgressReachesTheWindow) {
  BurnJob job;
  ASSERT_EQ(job.AddFile(Wav(L"a.wav", 44100, 2, Samples(40 * kSector, 1))), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"b.wav", 44100, 2, Samples(40 * kSector, 2))), S_OK);
  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  RecordingCallback callback;
  EXPECT_EQ(Burn(master, job, callback, true), BurnOutcome::Completed);
  EXPECT_TRUE(Logged(callback, L"Recording disc (test mode)...\n"));
  EXPECT_EQ(callback.progressRange, 40 + 150 + 40) << "block progress of the last event";
  EXPECT_EQ(callback.progressPos, 0) << "reset after recording";
  ExpectNoImage(master);
}

TEST_F(BurnFixture, ChosenSpeedReachesTheRecorderAndWhatItTookIsLogged) {
  struct Case {
    int speed;
    LONG taken;
    const wchar_t* line;
  };
  const Case cases[] = {{0, CImageRecorder::kFastest, nullptr},
                        {4, 4, L"Recording speed: 4 X\n"},
                        {60, CImageRecorder::kFastest, L"The recorder records at 48 X instead of 60 X\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    BurnJob job;
    job.speed = c.speed;
    ASSERT_EQ(job.AddFile(Wav(L"a.wav", 44100, 2, Samples(10 * kSector, 1))), S_OK);
    CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
    RecordingCallback callback;
    EXPECT_EQ(Burn(master, job, callback), BurnOutcome::Completed);
    EXPECT_EQ(master.Recorder()->WriteSpeed(), c.taken);
    if (c.line) EXPECT_TRUE(Logged(callback, c.line));
    else EXPECT_FALSE(Logged(callback, L" X"));
  }
}

// ---- Round trip: the audio image read back through the virtual drive -----------------------------------------

namespace {

// Track starts (INDEX 01) of a cue sheet in blocks, read from its text.
std::vector<long> CueStarts(const std::string& text) {
  std::vector<long> starts;
  for (size_t at = text.find("INDEX 01 "); at != std::string::npos; at = text.find("INDEX 01 ", at + 1)) {
    int m = 0, s = 0, f = 0;
    if (sscanf(text.c_str() + at + 9, "%d:%d:%d", &m, &s, &f) == 3) starts.push_back((m * 60L + s) * 75 + f);
  }
  return starts;
}

// The image in the virtual drive, read as a ripper would: the table of contents and each track through the
// engine's CD track source.
struct DiscInDrive {
  explicit DiscInDrive(const std::wstring& cue) {
    SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", cue.c_str());
    ComPtr<cdrip::IAudioCDDevices> devices;
    EXPECT_EQ(CreateAudioCDDevices(&devices), S_OK);
    EXPECT_EQ(devices->GetCD(0, &cd), S_OK);
    EXPECT_EQ(cd->ReadTOC(), S_OK);
  }
  ~DiscInDrive() { SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", nullptr); }

  std::string Track(UINT32 index) {
    ComPtr<cdrip::IAudioCDTrack> track;
    ComPtr<IConvertSource> source;
    EXPECT_EQ(cd->GetTrack(index, &track), S_OK);
    EXPECT_EQ(track->QueryInterface(IID_IConvertSource, reinterpret_cast<void**>(&source)), S_OK);
    RecordingCallback log;
    source->SetCallback(&log);
    KeepingSink sink;
    EXPECT_TRUE(source->Open());
    EXPECT_TRUE(source->ReadAll(&sink));
    source->Close();
    source->SetCallback(nullptr);
    EXPECT_TRUE(log.Errors().empty()) << log.Errors().front();
    return sink.bytes;
  }

  ComPtr<cdrip::IAudioCD> cd;
};

// Where `part` lies in `whole` within `reach` stereo frames of the start, or npos.
size_t FrameOffset(const std::string& whole, const std::string& part, size_t reach) {
  for (size_t frames = 0; frames <= reach; ++frames)
    if (whole.compare(frames * 4, part.size(), part) == 0) return frames;
  return std::string::npos;
}

}  // namespace

TEST_F(BurnFixture, AudioImageRipsBackAsTheEngineDecodesEachSource) {
  const std::wstring inputs = BURN_INPUTS;
  const std::wstring sources[] = {inputs + L"\\rt-wav.wav", inputs + L"\\rt.mp3", inputs + L"\\rt.flac",
                                  inputs + L"\\rt.ogg"};
  BurnJob job;
  for (const std::wstring& source : sources) ASSERT_EQ(job.AddFile(source), S_OK);
  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  RecordingCallback callback;
  ASSERT_EQ(Burn(master, job, callback), BurnOutcome::Completed);
  ASSERT_TRUE(callback.Errors().empty()) << callback.Errors().front();

  const std::vector<long> starts = CueStarts(ReadFileBytes(files / L"disc.cue"));
  ASSERT_EQ(starts.size(), 4u);
  DiscInDrive drive(files / L"disc.cue");
  const cdrip::CDTOC* toc = drive.cd->GetTOC();
  ASSERT_EQ(toc->count, 4u);
  EXPECT_EQ(toc->offsets[4] - 150, ReadFileBytes(files / L"disc.bin").size() / kSector) << "lead-out";

  for (UINT32 t = 0; t < 4; ++t) {
    SCOPED_TRACE(testing::Message() << "track " << t + 1);
    EXPECT_EQ(static_cast<long>(toc->offsets[t]) - 150, starts[t]) << "the drive's track start is the sheet's";
    WAVEFORMATEX format = {};
    const std::string decoded = Decode(sources[t], &format);
    ASSERT_EQ(format.nSamplesPerSec, 44100u);
    ASSERT_EQ(format.nChannels, 2);
    ASSERT_EQ(format.wBitsPerSample, 16);
    const std::string ripped = drive.Track(t);
    ASSERT_EQ(ripped.size(), (toc->offsets[t + 1] - toc->offsets[t]) * kSector);

    // The track's sectors, then two seconds of gap before the next track.
    const size_t sectors = (decoded.size() + kSector - 1) / kSector;
    const size_t gap = t < 3 ? 150 : 0;
    ASSERT_EQ(ripped.size() / kSector, sectors + gap) << "the next track starts right after this one's gap";
    // The MP3 may come out shifted by the decoder's delay (at most two frames of 1152 samples).
    const size_t offset = FrameOffset(ripped, decoded.substr(0, 4 * 4410), t == 1 ? 2304 : 0);
    ASSERT_NE(offset, std::string::npos) << "the first tenth of a second is not in the track";
    EXPECT_EQ(offset, 0u) << "samples shifted";
    const size_t kept = std::min(decoded.size(), ripped.size() - offset * 4);
    EXPECT_TRUE(ripped.compare(offset * 4, kept, decoded, 0, kept) == 0) << "the samples differ";
    EXPECT_EQ(ripped.find_first_not_of('\0', offset * 4 + kept), std::string::npos) << "sound after the source";
  }
}

TEST_F(BurnFixture, ListsLongerThanTheDiscAreRefusedBeforeConverting) {
  struct Case {
    long capacity;
    UINT32 seconds[2];
    long needed;
  };
  // 74 and 80 minutes of CD audio, and lists a minute longer.
  const Case cases[] = {{CAudioImageWriter::kBlocks74Minutes, {40 * 60, 35 * 60}, 337650},
                        {CAudioImageWriter::kBlocks80Minutes, {41 * 60, 40 * 60}, 364650}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    BurnJob job;
    for (UINT32 seconds : c.seconds) job.entries.push_back({L"C:\\damaged.wav", new CFailingSource(seconds * 176400)});
    CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue", c.capacity);
    RecordingCallback callback;
    EXPECT_EQ(Burn(master, job, callback), BurnOutcome::Failed);
    wchar_t line[96];
    swprintf(line, 96, L"The tracks need %ld blocks, but the disc holds only %ld", c.needed, c.capacity);
    EXPECT_TRUE(Logged(callback, line, L"e")) << "missing: " << testing::PrintToString(std::wstring(line));
    EXPECT_FALSE(Logged(callback, L"Read error")) << "a track was converted";
    ExpectNoImage(master);
  }
}

// ---- MP3 data CD ---------------------------------------------------------------------------------------------

namespace {

// Data-CD settings pointed at a fresh cache folder; the stored values are put back afterwards.
class DataCdFixture : public BurnFixture {
 protected:
  void SetUp() override {
    BurnFixture::SetUp();
    for (Saved& saved : settings) saved.had = ReadPString(L"Settings", saved.name, saved.value) != FALSE;
    WritePString(L"Settings", L"CDCache", cache.Path().c_str());
    WritePInt(L"Settings", L"UseCDCache", 1);
    WritePInt(L"Settings", L"NoReencode", 1);
  }
  void TearDown() override {
    for (Saved& saved : settings) {
      WritePString(L"Settings", saved.name, nullptr);
      if (!saved.had) continue;
      if (wcscmp(saved.name, L"CDCache") == 0) WritePString(L"Settings", saved.name, saved.value);
      else WritePInt(L"Settings", saved.name, _wtoi(saved.value));
    }
    BurnFixture::TearDown();
  }

  // An MP3 made by the engine from a WAV, as a user's own MP3 would be.
  std::wstring Mp3(const std::wstring& name, double seconds, unsigned seed) {
    const std::wstring wav = Wav(name + L".src.wav", 44100, 2, Samples(static_cast<size_t>(seconds * 176400), seed));
    const std::wstring path = files / name;
    ConvertAlone(wav, L"MP3", path);
    return path;
  }

  std::vector<std::wstring> CacheFiles() {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((cache.Path() + L"\\mp3\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
  }

  struct Saved {
    const wchar_t* name;
    bool had;
    wchar_t value[512];
  };
  Saved settings[3] = {{L"CDCache", false, {}}, {L"UseCDCache", false, {}}, {L"NoReencode", false, {}}};
  TempFolder cache;
};

}  // namespace

// Writes the image for check-burn-iso.sh: every entry an MP3 named by its list position, the MP3 unchanged.
TEST_F(DataCdFixture, ListBecomesMp3FilesOfADataCd) {
  const wchar_t* out = _wgetenv(L"TAVREL_BURN_OUT");
  ASSERT_NE(out, nullptr) << "TAVREL_BURN_OUT names the folder the image goes to";
  CreateDirectoryW(out, nullptr);
  const std::wstring outFolder = out;

  const std::string pcm = Samples(441000, 5);
  const std::wstring mp3 = Mp3(L"Already.MP3", 2.0, 6);
  BurnJob job;
  job.format = kBurnMp3;
  job.volumeLabel = L"Tavrel MP3 Disc";
  ASSERT_EQ(job.AddFile(Wav(L"\u041f\u0456\u0441\u043d\u044f \u65e5\u672c.wav", 44100, 2, pcm)), S_OK);
  ASSERT_EQ(job.AddFile(mp3), S_OK);
  ASSERT_EQ(job.AddFile(std::wstring(BURN_INPUTS) + L"\\tone.flac"), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"same bytes.wav", 44100, 2, pcm)), S_OK);  // shares the first entry's cache file

  CImageDiscMaster master(outFolder + L"\\data.bin", outFolder + L"\\data.cue");
  RecordingCallback callback;
  ASSERT_EQ(Burn(master, job, callback), BurnOutcome::Completed);
  EXPECT_TRUE(callback.Errors().empty()) << callback.Errors().front();
  EXPECT_TRUE(Logged(callback, L"Converting audio files to MP3"));
  EXPECT_TRUE(Logged(callback, L"Skipping " + mp3 + L" (already in MP3 format)\n"));
  EXPECT_TRUE(Logged(callback, L"Skipping " + (files / L"same bytes.wav") + L" (using cache file)\n"));
  EXPECT_EQ(callback.currentFile, L"Completed");
  EXPECT_EQ(master.ImagesWritten(), 1);
  EXPECT_TRUE(FileExists(outFolder + L"\\data.iso"));
  EXPECT_FALSE(FileExists(outFolder + L"\\data.bin"));
  EXPECT_EQ(CacheFiles().size(), 2u) << "one cache file per distinct content, no partial ones";
  ASSERT_TRUE(WriteFileBytes(outFolder + L"\\already.mp3", ReadFileBytes(mp3)));

  // A second burn converts nothing: every converted file comes from the cache.
  RecordingCallback again;
  CImageDiscMaster second(files / L"again.bin", files / L"again.cue");
  ASSERT_EQ(Burn(second, job, again), BurnOutcome::Completed);
  EXPECT_TRUE(Logged(again, L"Skipping " + std::wstring(BURN_INPUTS) + L"\\tone.flac (using cache file)\n"));
  EXPECT_EQ(ReadFileBytes(files / L"again.iso").size(), ReadFileBytes(outFolder + L"\\data.iso").size());
}

TEST_F(DataCdFixture, DataCdOverCapacityIsRefusedWithNothingWritten) {
  WritePInt(L"Settings", L"UseCDCache", 0);  // the converted file is a temporary one that must go too
  BurnJob job;
  job.format = kBurnMp3;
  ASSERT_EQ(job.AddFile(Mp3(L"first.mp3", 1.0, 7)), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"long.wav", 44100, 2, Samples(176400 * 10, 8))), S_OK);

  // Room for the file system and the short MP3, not for ten seconds more.
  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue", 60);
  RecordingCallback callback;
  EXPECT_EQ(Burn(master, job, callback), BurnOutcome::Failed);
  EXPECT_TRUE(Logged(callback, L"Cannot add file to image (hr=8004021C)", L"e"));
  EXPECT_EQ(callback.currentFile, L"Failed - please see details");
  EXPECT_FALSE(Logged(callback, L"successfully"));
  EXPECT_EQ(master.ImagesWritten(), 0);
  EXPECT_FALSE(FileExists(files / L"disc.iso"));
}

TEST_F(DataCdFixture, CancelledDataCdLeavesNothing) {
  BurnJob job;
  job.format = kBurnMp3;
  ASSERT_EQ(job.AddFile(Wav(L"a.wav", 44100, 2, Samples(176400 * 4, 9))), S_OK);
  ASSERT_EQ(job.AddFile(Wav(L"b.wav", 44100, 2, Samples(176400 * 4, 10))), S_OK);

  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  CancelAt callback(L"");  // during the first conversion
  EXPECT_EQ(Burn(master, job, callback), BurnOutcome::Cancelled);
  EXPECT_EQ(callback.currentFile, L"Canceled");
  EXPECT_EQ(master.ImagesWritten(), 0);
  EXPECT_FALSE(FileExists(files / L"disc.iso"));
  EXPECT_TRUE(CacheFiles().empty()) << "an interrupted conversion must not become a cache file";
}
