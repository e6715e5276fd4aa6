// Decoding through the platform: the DirectShow source and the Windows Media reader on files made by other tools
// (make-inputs.sh), what users are told when a decoder is missing, and what a long session leaves behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "DirectShowConvSource.h"
#include "WMAConvSource.h"
#include "WMSyncReader.h"
#include "WavFiles.h"

namespace {

const std::wstring kInputs = L"decoding-inputs\\";

// PCM samples of any width as left-justified 32-bit values, so that 24-bit data compares with 32-bit data.
std::vector<int32_t> Samples(const std::string& pcm, int bits) {
  const size_t width = static_cast<size_t>(bits) / 8;
  std::vector<int32_t> values;
  for (size_t at = 0; at + width <= pcm.size(); at += width) {
    uint32_t value = 0;
    for (size_t byte = 0; byte < width; ++byte)
      value |= static_cast<uint32_t>(static_cast<unsigned char>(pcm[at + byte])) << (32 - 8 * (width - byte));
    if (width == 1) value ^= 0x80000000u;  // 8-bit PCM is unsigned
    values.push_back(static_cast<int32_t>(value));
  }
  return values;
}

DecodeResult DecodeDirectShow(const std::wstring& name, int startMs = -1) {
  return DecodeWith(CDirectShowConvSource::Create(), kInputs + name, startMs);
}

DecodeResult DecodeWindowsMedia(const std::wstring& name, int startMs = -1) {
  return DecodeWith(CWMAConvSource::Create(), kInputs + name, startMs);
}

UINT32 FramesOf(const DecodeResult& result) {
  return result.format.nBlockAlign ? static_cast<UINT32>(result.pcm.size()) / result.format.nBlockAlign : 0;
}

// Replaces how the DirectShow source makes its graph for as long as it lives.
struct GraphFactoryOverride {
  explicit GraphFactoryOverride(CDirectShowConvSource::GraphFactory factory) {
    CDirectShowConvSource::SetGraphFactory(factory);
  }
  ~GraphFactoryOverride() { CDirectShowConvSource::SetGraphFactory(nullptr); }
};

HRESULT NoFilterGraph(IGraphBuilder** out) {
  *out = nullptr;
  return REGDB_E_CLASSNOTREG;
}

HRESULT WINAPI NoWindowsMedia(IUnknown*, DWORD, IWMSyncReader** reader) {
  *reader = nullptr;
  return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

DWORD ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  DWORD count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

TEST(DirectShowSource, FlacAndAiffGiveExactlyTheReferenceSamples) {
  struct Case {
    const wchar_t* file;
    const wchar_t* raw;
    WORD channels, bits;
    DWORD rate;
  } cases[] = {{L"tone16.flac", L"tone16.raw", 2, 16, 44100},
               {L"tone24.flac", L"tone24.raw", 1, 24, 48000},
               {L"six.flac", L"six.raw", 6, 16, 48000},
               {L"tone.aiff", L"tone-aiff.raw", 2, 16, 22050}};
  for (const Case& c : cases) {
    DecodeResult result = DecodeDirectShow(c.file);
    ASSERT_TRUE(result.opened && result.read) << c.file;
    EXPECT_EQ(c.channels, result.format.nChannels) << c.file;
    EXPECT_EQ(c.rate, result.format.nSamplesPerSec) << c.file;
    EXPECT_EQ(WAVE_FORMAT_PCM, result.format.wFormatTag) << c.file;
    EXPECT_GE(result.format.wBitsPerSample, c.bits) << c.file;
    const std::string raw = ReadFileBytes(kInputs + c.raw);
    ASSERT_FALSE(raw.empty());
    EXPECT_TRUE(Samples(raw, c.bits) == Samples(result.pcm, result.format.wBitsPerSample))
        << c.file << ": " << raw.size() << " reference bytes, " << result.pcm.size() << " decoded";
    // The size told before decoding comes from the duration: within 20 ms of what came out.
    EXPECT_NEAR(static_cast<double>(result.pcm.size()), result.dataSize, result.format.nAvgBytesPerSec / 50.0)
        << c.file;
    EXPECT_TRUE(result.log.Errors().empty()) << c.file;
  }
}

// A start time is sought and cut to the exact frame; positioned reading gives the bytes a whole read gives at
// the same place, and a whole read afterwards still starts at the beginning.
TEST(DirectShowSource, StartTimesAndPositionedReadsLandOnTheExactFrame) {
  const std::string raw = ReadFileBytes(kInputs + L"tone16.raw");
  ASSERT_EQ(352800u, raw.size());
  for (int startMs : {1, 250, 1234, 1999}) {
    DecodeResult late = DecodeDirectShow(L"tone16.flac", startMs);
    ASSERT_TRUE(late.read) << startMs;
    const size_t offset = static_cast<size_t>(startMs) * 44100 / 1000 * 4;
    EXPECT_EQ(raw.size() - offset, late.pcm.size()) << startMs;
    EXPECT_TRUE(raw.substr(offset) == late.pcm) << startMs;
  }
  EXPECT_TRUE(DecodeDirectShow(L"tone16.flac", 5000).pcm.empty()) << "a start beyond the end delivers nothing";

  // The same through the platform's graph (AIFF), which seeks by time.
  for (int startMs : {1, 1234}) {
    const size_t offset = static_cast<size_t>(startMs) * 44100 / 1000 * 4;
    EXPECT_TRUE(raw.substr(offset) == DecodeDirectShow(L"tone2.aiff", startMs).pcm) << startMs;
  }

  IConvertSource* source = CDirectShowConvSource::Create();
  RecordingCallback log;
  source->SetCallback(&log);
  source->SetFileName((kInputs + L"tone2.aiff").c_str());
  ASSERT_TRUE(source->Open());
  IPositionedSource* positioned = nullptr;
  ASSERT_EQ(S_OK, source->QueryInterface(IID_IPositionedSource, reinterpret_cast<void**>(&positioned)));
  struct Read {
    UINT32 offset, size;
    size_t expectedOffset, expectedSize;
  } reads[] = {{0, 4096, 0, 4096},          {4002, 1000, 4000, 1000},    {240000, 8192, 240000, 8192},
               {4000, 100, 4000, 100},      {352700, 4096, 352700, 100}, {352800, 4096, 352800, 0},
               {88200, 65536, 88200, 65536}};
  for (const Read& r : reads) {
    std::string buffer(r.size, '\0');
    UINT32 got = 0xFFFF;
    ASSERT_TRUE(positioned->ReadAt(r.offset, buffer.data(), r.size, &got)) << r.offset;
    ASSERT_EQ(r.expectedSize, got) << r.offset;
    EXPECT_TRUE(raw.substr(r.expectedOffset, r.expectedSize) == buffer.substr(0, got)) << r.offset;
  }
  positioned->Release();
  CollectingSink sink;
  EXPECT_TRUE(source->ReadAll(&sink));
  EXPECT_TRUE(raw == sink.bytes) << sink.bytes.size() << " bytes after positioned reads";
  EXPECT_TRUE(log.Errors().empty());
  source->Close();
  source->SetCallback(nullptr);
  source->Release();
}

// A refusal (a failed write, a cancel) stops the decoding: nothing more reaches the sink, and the read fails.
// The same object reads again, whole, afterwards.
TEST(DirectShowSource, ARefusingSinkStopsTheDecoding) {
  for (const wchar_t* file : {L"tone16.flac", L"tone2.aiff"}) {
    IConvertSource* source = CDirectShowConvSource::Create();
    RecordingCallback log;
    source->SetCallback(&log);
    source->SetFileName((kInputs + file).c_str());
    ASSERT_TRUE(source->Open()) << file;
    CollectingSink sink;
    sink.refuseAfter = 2;
    EXPECT_FALSE(source->ReadAll(&sink)) << file;
    EXPECT_EQ(2u, sink.blocks.size()) << file;
    EXPECT_LT(sink.bytes.size(), 352800u) << file;
    CollectingSink again;
    EXPECT_TRUE(source->ReadAll(&again)) << file;
    EXPECT_EQ(352800u, again.bytes.size()) << file;
    EXPECT_TRUE(log.Errors().empty()) << file;
    source->Close();
    source->SetCallback(nullptr);
    source->Release();
  }
}

TEST(DirectShowSource, TellsWhatIsMissingOrWrong) {
  struct Case {
    const wchar_t* file;
    const wchar_t* error;  // the start of the one error line
    const wchar_t* info;   // the start of the help line, or null
  } cases[] = {
      {L"missing.flac", L"Source file was not found\n", nullptr},
      {L"empty.flac", L"Length of audio data is zero\n", nullptr},
      {L"tone.ra", L"Decoding filter for the file format was not installed", L"To install now, see https://"},
      {L"text.flac", L"Decoding filter for the file format was not installed", L"To install now, see https://"},
  };
  for (const Case& c : cases) {
    DecodeResult result = DecodeDirectShow(c.file);
    EXPECT_FALSE(result.opened) << c.file;
    std::vector<std::wstring> errors = result.log.Errors();
    ASSERT_EQ(1u, errors.size()) << c.file;
    EXPECT_TRUE(StartsWith(errors[0], c.error)) << c.file << ": " << std::string(errors[0].begin(), errors[0].end());
    if (c.info) {
      ASSERT_EQ(3u, result.log.lines.size()) << c.file;
      EXPECT_EQ(L"i", result.log.lines[1].style);
      EXPECT_TRUE(StartsWith(result.log.lines[2].text, L"If other files of this type convert")) << c.file;
      EXPECT_TRUE(StartsWith(result.log.lines[1].text, c.info)) << c.file;
    }
  }
}

// A FLAC file cut short or damaged is decoded as far as it goes, and the read fails with the reason: it is never
// passed off as converted.
TEST(DirectShowSource, TruncatedOrDamagedFlacFailsTheRead) {
  TempFolder temp;
  const std::string whole = ReadFileBytes(kInputs + L"tone16.flac");
  std::string damaged = whole;
  for (size_t at = whole.size() / 2; at < whole.size() / 2 + 64; ++at) damaged[at] = static_cast<char>(~damaged[at]);
  struct Case {
    const wchar_t* name;
    std::string bytes;
    const wchar_t* error;
  } cases[] = {{L"cut.flac", whole.substr(0, whole.size() / 2), L"The FLAC file ends early: "},
               {L"damaged.flac", damaged, L"FLAC data is damaged ("}};
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(temp / c.name, c.bytes));
    DecodeResult result = DecodeWith(CDirectShowConvSource::Create(), temp / c.name);
    EXPECT_TRUE(result.opened) << c.name;
    EXPECT_FALSE(result.read) << c.name;
    EXPECT_GT(result.pcm.size(), 0u) << c.name;
    EXPECT_LE(result.pcm.size(), 352800u) << c.name;
    ASSERT_EQ(1u, result.log.Errors().size()) << c.name;
    EXPECT_TRUE(StartsWith(result.log.Errors()[0], c.error)) << c.name;
  }
}

// Where the platform builds no graph, FLAC and AIFF files are still read (by the engine's own readers); others
// are not.
TEST(DirectShowSource, WithoutFilterGraphsFlacAndAiffAreStillRead) {
  GraphFactoryOverride noGraphs(&NoFilterGraph);
  DecodeResult ogg = DecodeDirectShow(L"tone.ogg");
  EXPECT_FALSE(ogg.opened);
  EXPECT_EQ(std::vector<std::wstring>{L"DirectShow: Filter graph cannot be instanciated (error 80040154)\n"},
            ogg.log.Errors());
  DecodeResult flac = DecodeDirectShow(L"tone24.flac");
  ASSERT_TRUE(flac.read);
  EXPECT_TRUE(Samples(ReadFileBytes(kInputs + L"tone24.raw"), 24) == Samples(flac.pcm, 24));
  DecodeResult aiff = DecodeDirectShow(L"tone.aiff");
  ASSERT_TRUE(aiff.opened && aiff.read);
  EXPECT_TRUE(aiff.pcm == ReadFileBytes(kInputs + L"tone-aiff.raw"));
  EXPECT_TRUE(aiff.log.lines.empty());
  EXPECT_EQ(88200u, DecodeDirectShow(L"tone.aiff", 500).pcm.size() * 2) << "the start time reaches the own reader";
  // Positioned reading needs a graph: the own readers say so instead of answering nothing.
  IConvertSource* source = CDirectShowConvSource::Create();
  RecordingCallback log;
  source->SetCallback(&log);
  source->SetFileName((kInputs + L"tone.aiff").c_str());
  ASSERT_TRUE(source->Open());
  IPositionedSource* positioned = nullptr;
  ASSERT_EQ(S_OK, source->QueryInterface(IID_IPositionedSource, reinterpret_cast<void**>(&positioned)));
  char buffer[64];
  UINT32 got = 1;
  EXPECT_FALSE(positioned->ReadAt(0, buffer, sizeof(buffer), &got));
  EXPECT_EQ(0u, got);
  EXPECT_EQ(std::vector<std::wstring>{L"Positioned reading is not available for this file\n"}, log.Errors());
  positioned->Release();
  source->Close();
  source->SetCallback(nullptr);
  source->Release();
}

// A session that converts many files keeps its handle and thread counts flat.
TEST(DirectShowSource, HundredDecodesLeaveHandlesAndThreadsFlat) {
  // Graphs of two kinds, the own FLAC reader and the Windows Media reader, with and without a start time.
  auto decode = [](int i) {
    switch (i % 4) {
      case 0:
        return DecodeDirectShow(L"tone.ogg", i % 8 ? -1 : 700).read;
      case 1:
        return DecodeDirectShow(L"tone.aiff", i % 8 == 1 ? 300 : -1).read;
      case 2:
        return DecodeDirectShow(L"tone24.flac", i % 8 == 2 ? 900 : -1).read;
      default:
        return DecodeWindowsMedia(L"tone.wma", i % 8 == 3 ? 200 : -1).read;
    }
  };
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(decode(i));
  DWORD handlesBefore = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
  const DWORD threadsBefore = ThreadCount();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(decode(i)) << i;
  DWORD handlesAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
  EXPECT_LE(handlesAfter, handlesBefore + 10) << handlesBefore << " handles before";
  EXPECT_LE(ThreadCount(), threadsBefore + 2) << threadsBefore << " threads before";
}

TEST(WindowsMediaSource, DecodesWindowsMediaAndMp3ToTheirLength) {
  struct Case {
    const wchar_t* file;
    UINT32 slackFrames;  // the codec's delay and padding
  } cases[] = {{L"tone.wma", 4096}, {L"tone.mp3", 3 * 1152}};
  for (const Case& c : cases) {
    DecodeResult result = DecodeWindowsMedia(c.file);
    ASSERT_TRUE(result.opened && result.read) << c.file;
    const WAVEFORMATEX expected = PcmFormat(16, 2, 44100);
    EXPECT_EQ(0, std::memcmp(&expected, &result.format, sizeof(expected))) << c.file;
    EXPECT_NEAR(88200.0, FramesOf(result), c.slackFrames) << c.file;
    EXPECT_NEAR(static_cast<double>(result.pcm.size()), result.dataSize, 44100 * 4 / 10.0) << c.file;
    // From a start time the reader's output is cut to the frame: the rest of the file, to the frame.
    DecodeResult late = DecodeWindowsMedia(c.file, 500);
    ASSERT_TRUE(late.read) << c.file;
    EXPECT_NEAR(static_cast<double>(FramesOf(result)) - 22050, FramesOf(late), 2048) << c.file;
  }
}

TEST(WindowsMediaSource, TellsWhatIsMissingOrWrong) {
  DecodeResult text = DecodeWindowsMedia(L"text.wma");
  EXPECT_FALSE(text.opened);
  ASSERT_EQ(1u, text.log.Errors().size());
  EXPECT_TRUE(StartsWith(text.log.Errors()[0], L"Source file cannot be opened (error "));
  ASSERT_EQ(2u, text.log.lines.size());
  EXPECT_TRUE(StartsWith(text.log.lines[1].text, L"See also: https://"));

  DecodeResult damaged = DecodeWindowsMedia(L"damaged.wma");
  EXPECT_FALSE(damaged.opened && damaged.read && damaged.pcm.size() == damaged.dataSize)
      << "a damaged file is not read as if it were whole";

  SetSyncReaderFactory(&NoWindowsMedia);
  DecodeResult noSdk = DecodeWindowsMedia(L"tone.wma");
  SetSyncReaderFactory(nullptr);
  EXPECT_FALSE(noSdk.opened);
  ASSERT_EQ(1u, noSdk.log.Errors().size());
  EXPECT_TRUE(StartsWith(noSdk.log.Errors()[0], L"Windows Media update is required. Please see https://"));
}

// Every readable row's reader comes from the factory: FLAC through DirectShow, MP3 through Windows Media.
TEST(DecodingFactory, RowsGetTheirReaders) {
  struct Case {
    const wchar_t* row;
    const GUID* classId;
  } cases[] = {{L"FLAC", &CLSID_CDirectShowConvSource},
               {L"MP3", &CLSID_CWMAConvSource},
               {L"Windows Media", &CLSID_CWMAConvSource},
               {L"AIFF", &CLSID_CDirectShowConvSource},
               {L"Ogg Vorbis", &CLSID_CDirectShowConvSource}};
  for (const Case& c : cases) {
    IConvertSource* source = NewSourceFor(c.row);
    ASSERT_NE(nullptr, source) << c.row;
    GUID id = {};
    EXPECT_TRUE(source->GetClassId(&id));
    EXPECT_TRUE(IsEqualGUID(*c.classId, id)) << c.row;
    source->Release();
  }
}
