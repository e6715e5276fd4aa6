// The MP3 destination against a recording stand-in of the encoder library: the configuration record byte
// by byte, the chunk protocol, the order of calls, loading (plain name, then App Paths) and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include "WavFiles.h"

namespace {
struct Call {
  std::string name;
  std::vector<std::string> arguments;
};

struct Record {
  std::vector<uint8_t> bytes;
  uint32_t U32(size_t at) const {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
  }
  int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
};

class Mp3EncoderProtocol : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"MP3", nullptr, nullptr);
    log = temp / L"calls.log";
    SetEnvironmentVariableW(L"TAVREL_FAKE_LAME_LOG", log.c_str());
    SetEnvironmentVariableW(L"TAVREL_FAKE_LAME_FAIL", nullptr);
    library = ProgramFolder() + L"\\lame_enc.dll";
    CopyFileW((ProgramFolder() + L"\\fake_lame_enc.dll").c_str(), library.c_str(), FALSE);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVREL_FAKE_LAME_FAIL", nullptr);
    CopyFileW((ProgramFolder() + L"\\fake_lame_enc.dll").c_str(), library.c_str(), FALSE);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe");
  }

  IConvertDestination* NewMp3(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> options = {}) {
    CONVFORMAT row;
    EXPECT_EQ(S_OK, ConvGetFormatByName(&row, L"MP3"));
    IConvertDestination* destination = nullptr;
    EXPECT_EQ(S_OK, ConvCreateDest(&row, &destination));
    for (const auto& [name, value] : options) {
      wchar_t error[256] = L"";
      EXPECT_TRUE(destination->SetOption(name, value, error)) << name;
    }
    return destination;
  }

  std::vector<Call> Calls() {
    std::ifstream file(log.c_str());
    std::vector<Call> calls;
    for (std::string line; std::getline(file, line);) {
      std::istringstream words(line);
      Call call;
      words >> call.name;
      for (std::string word; words >> word;) call.arguments.push_back(word);
      calls.push_back(call);
    }
    return calls;
  }

  Record ConfigOf(const Call& init) {
    Record record;
    const std::string& hex = init.arguments.at(0);
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      record.bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return record;
  }

  // Runs PCM through an MP3 destination in writes of the given byte counts.
  bool Encode(IConvertDestination* destination, const WAVEFORMATEX& format, const std::string& pcm,
              std::vector<size_t> writes, RecordingCallback& callback, const std::wstring& name = L"out.mp3") {
    DeleteFileW(log.c_str());
    callback.answerOverwrite = TRUE;
    destination->SetCallback(&callback);
    destination->SetFileName((temp / name).c_str());
    destination->SetFormat(&format);
    if (!destination->Open()) return false;
    bool ok = true;
    size_t at = 0;
    for (size_t size : writes) {
      ok = ok && destination->Write(static_cast<UINT32>(size), pcm.data() + at);
      at += size;
    }
    destination->Close();
    destination->SetCallback(nullptr);
    return ok;
  }

  TempFolder temp;
  std::wstring log;
  std::wstring library;
};
}  // namespace

TEST_F(Mp3EncoderProtocol, ConfigurationRecordPerMode) {
  struct Case {
    const char* what;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> options;
    WORD channels;
    uint32_t bitrate, maxBitrate, abr;
    int32_t mode, vbrQuality, method;
    uint32_t vbr;
  } cases[] = {
      {"ABR default", {}, 2, 0, 0, 128000, 1, 3, 4, 1},
      {"CBR 192 stereo",
       {{L"vbr-mode", L"cbr"}, {L"bitrate", L"192"}, {L"joint-stereo", L"off"}},
       2,
       192,
       320,
       0,
       0,
       3,
       -1,
       0},
      {"VBR 100 mono", {{L"vbr-mode", L"vbr"}, {L"vbr-quality", L"100"}}, 1, 0, 320, 0, 3, 0, 1, 1},
      {"fast VBR 10",
       {{L"vbr-mode", L"fastvbr"}, {L"vbr-quality", L"10"}, {L"max-bitrate", L"256kbps"}},
       2,
       0,
       256,
       0,
       1,
       9,
       2,
       1},
  };
  for (const Case& c : cases) {
    IConvertDestination* destination = NewMp3();
    for (const auto& [name, value] : c.options) {
      wchar_t error[256] = L"";
      ASSERT_TRUE(destination->SetOption(name, value, error)) << c.what;
    }
    WAVEFORMATEX format = PcmFormat(16, c.channels, 32000);
    RecordingCallback callback;
    ASSERT_TRUE(Encode(destination, format, std::string(400, '\0'), {400}, callback)) << c.what;
    destination->Release();
    std::vector<Call> calls = Calls();
    ASSERT_FALSE(calls.empty());
    ASSERT_EQ("init", calls[0].name);
    Record record = ConfigOf(calls[0]);
    ASSERT_EQ(331u, record.bytes.size());
    EXPECT_EQ(256u, record.U32(0)) << c.what;
    EXPECT_EQ(1u, record.U32(4));
    EXPECT_EQ(331u, record.U32(8));
    EXPECT_EQ(32000u, record.U32(12));
    EXPECT_EQ(0u, record.U32(16));
    EXPECT_EQ(c.mode, record.I32(20)) << c.what;
    EXPECT_EQ(c.bitrate, record.U32(24)) << c.what;
    EXPECT_EQ(c.maxBitrate, record.U32(28)) << c.what;
    EXPECT_EQ(-1, record.I32(32));
    EXPECT_EQ(c.vbr, record.U32(64)) << c.what;
    EXPECT_EQ(c.vbr, record.U32(68)) << c.what;
    EXPECT_EQ(c.vbrQuality, record.I32(72)) << c.what;
    EXPECT_EQ(c.abr, record.U32(76)) << c.what;
    EXPECT_EQ(c.method, record.I32(80)) << c.what;
    EXPECT_EQ(0x05, record.bytes[92]) << "encoder quality 5";
    EXPECT_EQ(0xFA, record.bytes[93]) << "and its complement";
    for (size_t at : {36, 40, 44, 84, 88}) EXPECT_EQ(0u, record.U32(at)) << c.what << " offset " << at;
    for (size_t at = 94; at < 331; ++at) ASSERT_EQ(0, record.bytes[at]) << c.what << " offset " << at;
  }
}

TEST_F(Mp3EncoderProtocol, FlagsAndResampling) {
  // The configuration record made with these options.
  auto configured = [&](std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> options) {
    IConvertDestination* destination = NewMp3(options);
    RecordingCallback callback;
    EXPECT_TRUE(Encode(destination, PcmFormat(16, 2, 44100), std::string(64, '\0'), {64}, callback));
    destination->Release();
    const std::vector<Call> calls = Calls();
    const auto init = std::find_if(calls.rbegin(), calls.rend(), [](const Call& call) { return call.name == "init"; });
    EXPECT_NE(calls.rend(), init);
    return init == calls.rend() ? Record() : ConfigOf(*init);
  };
  // Each flag on its own lands at its own offset and nowhere else; the values mean on however they are spelled.
  const struct {
    const wchar_t* name;
    const wchar_t* value;
    size_t offset;
  } flags[] = {{L"private", L"", 48}, {L"crc", nullptr, 52}, {L"copyright", L"ON", 56}, {L"original", L"on", 60}};
  for (const auto& flag : flags) {
    const Record record = configured({{flag.name, flag.value}});
    ASSERT_GE(record.bytes.size(), 92u) << flag.name;
    for (const auto& other : flags)
      EXPECT_EQ(other.offset == flag.offset ? 1u : 0u, record.U32(other.offset)) << flag.name << " on: " << other.name;
    EXPECT_EQ(0u, record.U32(88)) << flag.name;
  }
  const Record resampled = configured({{L"iso", L"on"}, {L"sample-rate", L"24kHz"}});
  ASSERT_GE(resampled.bytes.size(), 92u);
  EXPECT_EQ(24000u, resampled.U32(16));
  EXPECT_EQ(0u, resampled.U32(88)) << "strict ISO is stored but not passed on";
}

TEST_F(Mp3EncoderProtocol, ChunksAndTheirOrder) {
  const size_t chunk = 2304;  // 1152 stereo frames, as the stand-in reports
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  std::string pcm = PcmSignal(cd, chunk * 3);
  IConvertDestination* destination = NewMp3();
  RecordingCallback callback;
  // Writes that straddle chunks, one of an odd byte count (its last half sample is dropped).
  ASSERT_TRUE(Encode(destination, cd, pcm, {1000, 9000, 3001, 1}, callback));
  std::vector<Call> calls = Calls();
  std::vector<std::string> names;
  for (const Call& call : calls) names.push_back(call.name);
  EXPECT_EQ((std::vector<std::string>{"init", "encode", "encode", "encode", "deinit", "close", "vbrheader"}), names);
  size_t total = 0;
  for (size_t i = 1; i + 1 < calls.size() && calls[i].name == "encode"; ++i) {
    size_t count = std::stoul(calls[i].arguments[0]);
    if (calls[i + 1].name == "encode") {
      EXPECT_EQ(chunk, count) << "every chunk but the last is whole";
    }
    total += count;
  }
  EXPECT_EQ((1000 + 9000 + 3000) / 2u, total) << "the partial sample of the odd write is dropped";
  std::wstring path = temp / L"out.mp3";
  ASSERT_FALSE(calls.back().arguments.empty());
  EXPECT_EQ(std::string(path.begin(), path.end()), calls.back().arguments[0]) << "the header goes into the closed file";
  std::string output = ReadFileBytes(path);
  EXPECT_EQ(3u * 8 + 4, output.size()) << "three chunks and the tail written";
  EXPECT_EQ("TAIL", output.substr(output.size() - 4));

  // Whole chunks of 16-bit input are encoded from the caller's own buffer.
  DeleteFileW(log.c_str());
  destination->SetFileName((temp / L"exact.mp3").c_str());
  destination->SetFormat(&cd);
  ASSERT_TRUE(destination->Open());
  ASSERT_TRUE(destination->Write(static_cast<UINT32>(chunk * 2 * 2), pcm.data()));
  destination->Close();
  calls = Calls();
  ASSERT_EQ(6u, calls.size()) << "init, two encodes, deinit, close, vbrheader: nothing extra at Close";
  char pointer[32];
  std::snprintf(pointer, sizeof(pointer), "%p", static_cast<const void*>(pcm.data()));
  EXPECT_EQ(pointer, calls[1].arguments[1]) << "no copy of whole chunks";
  destination->Release();
}

TEST_F(Mp3EncoderProtocol, SampleWidthsBecome16Bits) {
  struct Case {
    WORD bits;
    std::string bytes;
    int first, second;
  } cases[] = {
      {8, std::string("\x00\xFF\x80\x81", 4), -32768, 32512},
      {24, std::string("\x11\x22\x33\xAA\xBB\xCC", 6), 0x3322, static_cast<int16_t>(0xCCBB)},
      {32, std::string("\x11\x22\x33\x44\xAA\xBB\xCC\xDD", 8), 0x4433, static_cast<int16_t>(0xDDCC)},
  };
  for (const Case& c : cases) {
    IConvertDestination* destination = NewMp3();
    RecordingCallback callback;
    ASSERT_TRUE(Encode(destination, PcmFormat(c.bits, 2, 44100), c.bytes, {c.bytes.size()}, callback)) << c.bits;
    destination->Release();
    std::vector<Call> calls = Calls();
    ASSERT_EQ("encode", calls.at(1).name);
    EXPECT_EQ(std::to_string(c.first), calls[1].arguments[2]) << c.bits;
    EXPECT_EQ(std::to_string(c.second), calls[1].arguments[3]) << c.bits;
  }
  IConvertDestination* destination = NewMp3();
  RecordingCallback callback;
  WAVEFORMATEX floats = PcmFormat(32, 2, 44100);
  floats.wFormatTag = 3;
  EXPECT_FALSE(Encode(destination, floats, std::string(64, '\0'), {64}, callback));
  EXPECT_EQ(std::vector<std::wstring>{L"Source uses unsupported 32 bit samples\n"}, callback.Errors());
  destination->Release();
}

// Six channels reached the encoder as three stereo frames each (a garbled file three times too long): they are
// mixed down to one stereo frame, centre and back channels shared between the sides, the bass channel left out.
TEST_F(Mp3EncoderProtocol, MoreThanTwoChannelsAreMixedDownToStereo) {
  const int16_t frames[2][6] = {{8000, -8000, 0, 0, 0, 0}, {0, 0, 8000, 30000, 0, 0}};
  IConvertDestination* destination = NewMp3();
  RecordingCallback callback;
  std::string bytes(reinterpret_cast<const char*>(frames), sizeof(frames));
  ASSERT_TRUE(Encode(destination, PcmFormat(16, 6, 48000), bytes, {bytes.size()}, callback));
  destination->Release();
  std::vector<Call> calls = Calls();
  ASSERT_EQ("encode", calls.at(1).name);
  // Each side's weights add up to 1 + 0.707 + 0.707, scaled so that nothing can clip.
  const double scale = 1.0 / (1.0 + 2 * std::sqrt(0.5));
  EXPECT_EQ("4", calls[1].arguments[0]) << "two stereo frames";
  EXPECT_EQ(std::to_string(std::lround(8000 * scale)), calls[1].arguments[2]);
  EXPECT_EQ(std::to_string(std::lround(-8000 * scale)), calls[1].arguments[3]);
  EXPECT_EQ(std::to_string(std::lround(8000 * std::sqrt(0.5) * scale)), calls[1].arguments[4])
      << "the right side of the second frame: the centre alone";
  ASSERT_EQ(1u, callback.lines.size());
  EXPECT_EQ(L"The 6 channels are mixed down to stereo for MP3\n", callback.lines[0].text);
  EXPECT_EQ(L"i", callback.lines[0].style);
}

TEST_F(Mp3EncoderProtocol, LibraryFailuresAndLoading) {
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
  std::string pcm(20000, '\0');
  struct Case {
    const wchar_t* failure;
    const wchar_t* message;
  } cases[] = {
      {L"init:3", L"Audio codec cannot be initialized (error 3)\n"},
      {L"encode:5", L"Chuck cannot be encoded (BladeEnc error 5)\n"},
  };
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"TAVREL_FAKE_LAME_FAIL", c.failure);
    IConvertDestination* destination = NewMp3();
    RecordingCallback callback;
    EXPECT_FALSE(Encode(destination, cd, pcm, {20000}, callback));
    EXPECT_EQ(std::vector<std::wstring>{c.message}, callback.Errors());
    destination->Release();
  }
  SetEnvironmentVariableW(L"TAVREL_FAKE_LAME_FAIL", nullptr);

  // Without the library beside the program, and without an App Paths entry: not installed.
  ASSERT_TRUE(DeleteFileW(library.c_str()));
  IConvertDestination* destination = NewMp3();
  RecordingCallback missing;
  EXPECT_FALSE(Encode(destination, cd, pcm, {100}, missing));
  ASSERT_EQ(1u, missing.Errors().size());
  EXPECT_EQ(0u, missing.Errors()[0].find(L"LAME MP3 encoder was not installed, see http"));

  // The converter application's App Paths folder is the second place to look.
  std::wstring elsewhere = temp / L"app";
  CreateDirectoryW(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(
      CopyFileW((ProgramFolder() + L"\\fake_lame_enc.dll").c_str(), (elsewhere + L"\\lame_enc.dll").c_str(), FALSE));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe",
                            0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(elsewhere.c_str()),
                 static_cast<DWORD>((elsewhere.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  RecordingCallback found;
  EXPECT_TRUE(Encode(destination, cd, pcm, {100}, found));
  EXPECT_TRUE(found.Errors().empty());
  destination->Release();
}

TEST_F(Mp3EncoderProtocol, WithoutTheVbrHeaderEntryTheFileIsComplete) {
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\fake_lame_enc_novbr.dll").c_str(), library.c_str(), FALSE));
  IConvertDestination* destination = NewMp3();
  RecordingCallback callback;
  ASSERT_TRUE(Encode(destination, PcmFormat(16, 2, 44100), std::string(9216, '\0'), {9216}, callback));
  destination->Release();
  std::vector<Call> calls = Calls();
  EXPECT_EQ("close", calls.back().name);
  EXPECT_EQ(2u * 8 + 4, ReadFileBytes(temp / L"out.mp3").size());
}
