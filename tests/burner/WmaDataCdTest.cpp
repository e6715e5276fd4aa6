// The Windows Media data CD, on the double of the platform's Windows Media writer: each list entry becomes a
// TRACKnnn.wma of the image holding what the writer made of it, and a failing writer records nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "BurnJob.h"
#include "BurnTestSupport.h"
#include "FakeWMSdk.h"
#include "ImageDiscMaster.h"
#include "TestSupport.h"
#include "WavFiles.h"

namespace {

const WAVEFORMATEX kCdFormat = PcmFormat(16, 2, 44100);

std::string Sound(size_t bytes, unsigned seed) {
  std::string pcm(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) pcm[i] = static_cast<char>((i * 13 + seed * 101) % 251);
  return pcm;
}

// A joliet name as the supplementary directory stores it: UTF-16 big-endian.
std::string JolietName(const std::wstring& name) {
  std::string bytes;
  for (wchar_t c : name) bytes += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  return bytes;
}

class WindowsMediaDataCd : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"WMA9", nullptr, nullptr);
    WritePString(L"Settings", L"TempPath", temp.Path().c_str());
    WritePInt(L"Settings", L"UseCDCache", 0);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(fake.sdk.writersAlive, 0);
    EXPECT_TRUE(TempFiles().empty()) << "converted files left behind";
    WritePString(L"Settings", L"TempPath", nullptr);
    WritePString(L"Settings", L"UseCDCache", nullptr);
    WritePString(L"WMA9", nullptr, nullptr);
    CoUninitialize();
  }

  std::vector<std::wstring> TempFiles() const {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((temp / L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
  }

  // What the writer makes of the WAV when the engine converts it alone, and the PCM it was handed.
  std::string Converted(const std::wstring& wav, std::vector<BYTE>& pcm) {
    const std::wstring path = files / L"alone.wma";
    ConvertAlone(wav, L"Windows Media", path);
    const std::string bytes = ReadFileBytes(path);
    std::wstring description;
    EXPECT_TRUE(ReadFakeOutput(path, description, pcm));
    DeleteFileW(path.c_str());
    return bytes;
  }

  TempFolder temp, files;
  FakeWMSdkScope fake{FakeWMSdk::TypicalCodecs()};
};

}  // namespace

TEST_F(WindowsMediaDataCd, EachEntryBecomesTheWritersFileOnTheImage) {
  const std::string first = Sound(176400 * 2, 1), second = Sound(176400 + 4412, 2);
  ASSERT_TRUE(WriteFileBytes(files / L"first.wav", PcmWave(kCdFormat, first)));
  ASSERT_TRUE(WriteFileBytes(files / L"second.wav", PcmWave(kCdFormat, second)));
  BurnJob job;
  job.format = kBurnWindowsMedia;
  job.volumeLabel = L"WMA Disc";
  ASSERT_EQ(job.AddFile(files / L"first.wav"), S_OK);
  ASSERT_EQ(job.AddFile(files / L"second.wav"), S_OK);

  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  RecordingCallback callback;
  ASSERT_EQ(BurnThrough(master, job, callback), BurnOutcome::Completed);
  EXPECT_TRUE(callback.Errors().empty()) << callback.Errors().front();
  EXPECT_EQ(callback.currentFile, L"Completed");
  const std::string image = ReadFileBytes(files / L"disc.iso");
  ASSERT_FALSE(image.empty());

  const std::string* sounds[] = {&first, &second};
  for (int n = 0; n < 2; ++n) {
    SCOPED_TRACE(n + 1);
    std::vector<BYTE> pcm;
    const std::string wma = Converted(files / (n ? L"second.wav" : L"first.wav"), pcm);
    // The writer's file carries the PCM it was given, so each track is the right entry.
    EXPECT_TRUE(std::string(pcm.begin(), pcm.end()) == *sounds[n]);
    const size_t at = image.find(wma);
    ASSERT_NE(at, std::string::npos) << "the converted file is not in the image";
    EXPECT_EQ(at % 2048, 0u) << "a file starts on a sector";
    const std::wstring name = L"TRACK00" + std::to_wstring(n + 1) + L".wma";
    EXPECT_NE(image.find(JolietName(name)), std::string::npos) << "no Joliet name " << testing::PrintToString(name);
  }
  EXPECT_NE(image.find(JolietName(L"WMA Disc")), std::string::npos) << "volume label";
}

TEST_F(WindowsMediaDataCd, AWriterThatFailsRecordsNothing) {
  ASSERT_TRUE(WriteFileBytes(files / L"a.wav", PcmWave(kCdFormat, Sound(176400, 3))));
  ASSERT_TRUE(WriteFileBytes(files / L"b.wav", PcmWave(kCdFormat, Sound(176400, 4))));
  fake.sdk.failures = {{"WriteSample", E_FAIL}};
  BurnJob job;
  job.format = kBurnWindowsMedia;
  ASSERT_EQ(job.AddFile(files / L"a.wav"), S_OK);
  ASSERT_EQ(job.AddFile(files / L"b.wav"), S_OK);
  CImageDiscMaster master(files / L"disc.bin", files / L"disc.cue");
  RecordingCallback callback;
  EXPECT_EQ(BurnThrough(master, job, callback), BurnOutcome::Failed);
  const std::vector<std::wstring> errors = callback.Errors();
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const std::wstring& line) {
    return line.find(L"Sample cannot be processed (error 80004005)") != std::wstring::npos;
  }));
  EXPECT_EQ(callback.currentFile, L"Failed - please see details");
  EXPECT_EQ(master.ImagesWritten(), 0);
  EXPECT_FALSE(FileExists(files / L"disc.iso"));
}
