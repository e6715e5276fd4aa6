// The PureVoice QCP source against the library stand-in beside this program: decoded samples, start frames,
// reads that end or fail, refused opens, and paths the ANSI code page cannot carry.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "QcpFiles.h"
#include "formats/qcp/QCPConvSource.h"

namespace {

class QcpSource : public testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableW(L"TAVREL_FAKE_QSCL_LOG", (temp / L"calls.log").c_str()); }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVREL_FAKE_QSCL_LOG", nullptr);
    SetEnvironmentVariableW(L"TAVREL_FAKE_QSCL_FAIL", nullptr);
  }

  std::vector<std::string> Calls() const {
    std::istringstream text(ReadFileBytes(temp / L"calls.log"));
    std::vector<std::string> calls;
    for (std::string line; std::getline(text, line);) calls.push_back(line);
    return calls;
  }
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    EXPECT_TRUE(WriteFileBytes(temp / name, bytes));
    return temp / name;
  }

  TempFolder temp;
};

std::vector<std::wstring> Errors(const DecodeResult& result) { return result.log.Errors(); }

TEST_F(QcpSource, DeliversTheServedSamplesBitForBit) {
  // Frame sizes that fill the block evenly, leave a remainder, and take the whole block.
  const struct {
    DWORD samplesPerFrame, frames, framesPerRead;
  } cases[] = {{160, 1, 204}, {160, 700, 204}, {7, 10000, 4681}, {32768, 3, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.samplesPerFrame);
    const std::vector<short> samples = TestSamples(size_t{c.samplesPerFrame} * c.frames, 1);
    DeleteFileW((temp / L"calls.log").c_str());
    DecodeResult result = DecodeQcp(Write(L"voice.qcp", QcpBytes(c.samplesPerFrame, c.frames, samples)));
    ASSERT_TRUE(result.opened);
    EXPECT_TRUE(result.read);
    EXPECT_TRUE(Errors(result).empty());
    const WAVEFORMATEX mono8k16 = {WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    EXPECT_EQ(std::memcmp(&result.format, &mono8k16, sizeof(mono8k16)), 0);
    EXPECT_EQ(result.dataSize, 2 * c.samplesPerFrame * c.frames);
    EXPECT_TRUE(result.samples == samples);
    const std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1], "read " + std::to_string(c.framesPerRead));
    EXPECT_EQ(calls.back(), "destroyed");
    EXPECT_TRUE(result.libraryUnloaded);
  }
}

TEST_F(QcpSource, StartTimeSeeksTheFrameThatHoldsIt) {
  const std::vector<short> samples = TestSamples(160 * 100, 2);
  const std::wstring path = Write(L"voice.qcp", QcpBytes(160, 100, samples));
  // 20 ms frames; a start in the middle of a frame begins with that frame.
  const struct {
    int startMs;
    size_t frame;
  } cases[] = {{19, 0}, {20, 1}, {1010, 50}, {1999, 99}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.startMs);
    DeleteFileW((temp / L"calls.log").c_str());
    DecodeResult result = DecodeQcp(path, c.startMs);
    EXPECT_TRUE(result.read);
    EXPECT_EQ(Calls().at(1), "seek " + std::to_string(c.frame));
    EXPECT_TRUE(result.samples == std::vector<short>(samples.begin() + c.frame * 160, samples.end()));
  }
  // Ten minutes at 8000 samples per second pass 32 bits before the division.
  DeleteFileW((temp / L"calls.log").c_str());
  EXPECT_TRUE(DecodeQcp(Write(L"long.qcp", QcpBytes(160, 40000, samples)), 600000).read);
  EXPECT_EQ(Calls().at(1), "seek 30000");
  // A start past the end delivers nothing and succeeds.
  DecodeResult past = DecodeQcp(path, 2000);
  EXPECT_TRUE(past.read);
  EXPECT_TRUE(past.samples.empty());
  EXPECT_TRUE(Errors(past).empty());
}

TEST_F(QcpSource, ReadsThatEndOrFail) {
  const std::vector<short> samples = TestSamples(160 * 300, 3);
  const std::vector<short> firstBlock(samples.begin(), samples.begin() + 204 * 160);
  const struct {
    const char* name;
    std::string bytes;
    bool read;
    const wchar_t* error;
    std::vector<short> delivered;
  } cases[] = {
      {"no frames at all", QcpBytes(160, 300, {}), true, nullptr, {}},
      {"negative count", QcpBytes(160, 300, samples, Serve::FailReads, -7, 1), false, L"QCP Read error -7\n",
       firstBlock},
      {"count beyond the block", QcpBytes(160, 300, samples, Serve::FailReads, 32769, 1), false,
       L"QCP block buffer too small\n", firstBlock},
      {"count of a whole block", QcpBytes(32768, 2, TestSamples(65536, 3)), true, nullptr, TestSamples(65536, 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeResult result = DecodeQcp(Write(L"voice.qcp", c.bytes));
    ASSERT_TRUE(result.opened);
    EXPECT_EQ(result.read, c.read);
    EXPECT_EQ(Errors(result), c.error ? std::vector<std::wstring>{c.error} : std::vector<std::wstring>{});
    EXPECT_TRUE(result.samples == c.delivered);
  }
  // A refusing sink ends the reading at once, without a message.
  DeleteFileW((temp / L"calls.log").c_str());
  DecodeResult refused = DecodeQcp(Write(L"voice.qcp", QcpBytes(160, 300, samples)), -1, 0);
  EXPECT_FALSE(refused.read);
  EXPECT_TRUE(Errors(refused).empty());
  EXPECT_EQ(refused.blocks, 1u);
  EXPECT_EQ(Calls().size(), 3u);  // open, one read, destroyed
}

TEST_F(QcpSource, FailedOpensCloseAndUnloadTheLibrary) {
  const std::wstring good = Write(L"good.qcp", QcpBytes(160, 2, TestSamples(320, 4)));
  const struct {
    const char* name;
    std::wstring path;
    const wchar_t* fail;
    const wchar_t* error;
  } cases[] = {
      {"refused open", Write(L"refused.qcp", QcpBytes(160, 2, {}, Serve::RefuseOpen, 0x1234)), nullptr,
       L"Can't open QCP file (error 1234)\n"},
      {"missing file", temp / L"missing.qcp", nullptr, L"Can't open QCP file (error 2)\n"},
      {"no file object", good, L"create", L"Can't find ID_QsclFile\n"},
      {"no error interface", good, L"error", L"Can't find IQsclError\n"},
      {"stream information", Write(L"info.qcp", QcpBytes(160, 2, {}, Serve::FailStreamInfo, 0x2A)), nullptr,
       L"QCP stream information cannot be read (error 2A)\n"},
      {"frames of no samples", Write(L"zero.qcp", QcpBytes(0, 2, {})), nullptr,
       L"QCP frame size is not supported (0 samples)\n"},
      {"frames larger than a block", Write(L"huge.qcp", QcpBytes(32769, 2, {})), nullptr,
       L"QCP frame size is not supported (32769 samples)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetEnvironmentVariableW(L"TAVREL_FAKE_QSCL_FAIL", c.fail);
    DeleteFileW((temp / L"calls.log").c_str());
    DecodeResult result = DecodeQcp(c.path);
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(Errors(result), std::vector<std::wstring>{c.error});
    EXPECT_TRUE(result.libraryUnloaded);
    // Every object the library made is gone again.
    const std::vector<std::string> calls = Calls();
    if (!calls.empty()) {
      EXPECT_EQ(calls.back(), "destroyed");
    }
  }
  SetEnvironmentVariableW(L"TAVREL_FAKE_QSCL_FAIL", nullptr);

  // A failed Open leaves the object closed and reusable.
  IConvertSource* source = CQCPConvSource::Create();
  RecordingCallback log;
  source->SetCallback(&log);
  source->SetFileName(cases[0].path.c_str());
  EXPECT_FALSE(source->Open());
  source->SetFileName(good.c_str());
  EXPECT_TRUE(source->Open());
  GUID id;
  EXPECT_TRUE(source->GetClassId(&id) && IsEqualGUID(id, CLSID_CQCPConvSource));
  source->Release();
  EXPECT_EQ(GetModuleHandleW(L"Qscl.dll"), nullptr);
}

TEST_F(QcpSource, PathsOutsideTheAnsiCodePageReachTheirOwnFile) {
  ASSERT_EQ(GetACP(), 1252u) << "the names below are chosen for the Western code page";
  // "lodz" is what a best-fit conversion makes of the first name: it must not be opened in its place.
  const std::wstring decoy = Write(L"lodz.qcp", QcpBytes(160, 4, TestSamples(640, 5)));
  const struct {
    std::wstring name;
    bool byShortName;
  } cases[] = {{L"\u0142odz.qcp", true}, {L"\u65E5\u672C\u8A9E.qcp", true}, {L"caf\u00E9.qcp", false}};
  int seed = 6;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.byShortName) + std::to_string(seed));
    const std::vector<short> samples = TestSamples(640, seed++);
    DeleteFileW((temp / L"calls.log").c_str());
    DecodeResult result = DecodeQcp(Write(c.name, QcpBytes(160, 4, samples)));
    ASSERT_TRUE(result.opened);
    EXPECT_TRUE(result.read);
    EXPECT_TRUE(result.samples == samples);
    EXPECT_EQ(Calls().at(0).find('~') != std::string::npos, c.byShortName) << Calls().at(0);
  }
  // Without the file there is no short name either: a clear message, and the library is not asked.
  DeleteFileW(decoy.c_str());
  DeleteFileW((temp / L"calls.log").c_str());
  const std::wstring missing = temp / L"\u0142odz-missing.qcp";
  DecodeResult result = DecodeQcp(missing);
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(Errors(result),
            std::vector<std::wstring>{L"QCP file name has characters outside the system code page and no short name: " +
                                      missing + L"\n"});
  EXPECT_TRUE(Calls().empty() || Calls().back() == "destroyed");
}

}  // namespace
