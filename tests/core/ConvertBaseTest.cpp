// The source and destination base classes: state checks, name handling, messages, folder chains, overwrite.
#include <gtest/gtest.h>

#include <string>

#include "DefConvertDestination.h"
#include "DefConvertSource.h"
#include "EngineResources.h"
#include "TestSupport.h"

namespace {
class TestSource : public CDefConvertSource {
public:
  explicit TestSource(bool* destroyed = nullptr) : destroyed(destroyed) {}
  ~TestSource() override {
    if (destroyed) *destroyed = true;
  }
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override {
    *out = CLSID_CWavConvSource;
    return true;
  }
  void Prepare(UINT32 bytesPerSecond, UINT32 size) {
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nAvgBytesPerSec = bytesPerSecond;
    dataSize = size;
  }
  void Log(const std::wstring& text) { LogError(L"%s", text.c_str()); }

private:
  bool* destroyed;
};

class TestDestination : public CDefConvertDestination {
public:
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override {
    *out = CLSID_CWavConvDest;
    return true;
  }
  bool STDMETHODCALLTYPE ShowSettings(HWND, IConvertDestination**) override { return false; }
};

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}
}  // namespace

TEST(ConvertSourceBase, FileNameLimitsAndCopies) {
  TestSource source;
  EXPECT_FALSE(source.SetFileName(nullptr));
  std::wstring longest = L"C:\\" + std::wstring(256, L'a');  // 259 characters
  ASSERT_TRUE(source.SetFileName(longest.c_str()));
  EXPECT_FALSE(source.SetFileName((longest + L"b").c_str()));

  wchar_t buffer[300];
  EXPECT_FALSE(source.GetFileName(buffer, 259)) << "cch equal to the length leaves no room for the terminator";
  ASSERT_TRUE(source.GetFileName(buffer, 260));
  EXPECT_EQ(longest, buffer) << "a refused name keeps the previous one";
  EXPECT_FALSE(source.GetFileName(nullptr, 300));
}

TEST(ConvertSourceBase, TitleAndFolder) {
  TestSource source;
  wchar_t buffer[64] = L"unchanged";
  EXPECT_FALSE(source.GetFileTitle(buffer, 64)) << "no name set";
  EXPECT_FALSE(source.GetFolder(buffer, 64));

  struct Case {
    const wchar_t* path;
    const wchar_t* title;
    const wchar_t* folder;  // null: GetFolder fails
  } cases[] = {
      {L"C:\\music\\album\\song.wav", L"song.wav", L"C:\\music\\album"},
      {L"song.wav", L"song.wav", nullptr},
      {L"D:/mixed/slashes.mp3", L"slashes.mp3", L"D:/mixed"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(source.SetFileName(c.path));
    ASSERT_TRUE(source.GetFileTitle(buffer, 64));
    EXPECT_STREQ(c.title, buffer) << c.path;
    EXPECT_EQ(c.folder != nullptr, source.GetFolder(buffer, 64)) << c.path;
    if (c.folder) {
      EXPECT_STREQ(c.folder, buffer) << c.path;
    }
  }

  ASSERT_TRUE(source.SetFileName(L"C:\\music\\a-long-title.wav"));
  ASSERT_TRUE(source.GetFileTitle(buffer, 7));
  EXPECT_STREQ(L"a-long", buffer) << "the title is cut to the buffer";
  ASSERT_TRUE(source.GetFolder(buffer, 12));
  EXPECT_STREQ(L"C:\\music", buffer) << "the folder of the cut text";
}

TEST(ConvertSourceBase, OpenStateChecksAndMessages) {
  RecordingCallback log;
  TestSource source;
  source.SetCallback(&log);
  WAVEFORMATEX format;
  UINT32 bytes = 0;
  EXPECT_FALSE(source.ReadAll(nullptr));
  EXPECT_FALSE(source.GetFormat(&format));
  EXPECT_FALSE(source.GetDataSize(&bytes, -1, -1));
  ASSERT_EQ(1u, log.lines.size());
  EXPECT_EQ(L"Source object is not opened\n", log.lines[0].text);
  EXPECT_EQ(L"e", log.lines[0].style);

  ASSERT_TRUE(source.Open());
  EXPECT_FALSE(source.Open());
  EXPECT_EQ(L"Source file or track is already opened\n", log.lines.back().text);
  EXPECT_TRUE(source.ReadAll(nullptr));
  EXPECT_FALSE(source.GetFormat(nullptr));
  EXPECT_TRUE(source.GetFormat(&format));
  ASSERT_TRUE(source.Close());
  EXPECT_TRUE(source.Open()) << "a closed source can be opened again";

  source.SetCallback(nullptr);
  source.Close();
  EXPECT_FALSE(source.ReadAll(nullptr)) << "without a callback the message is dropped, the result stays";
}

TEST(ConvertSourceBase, DataSizeRanges) {
  TestSource source;
  source.Prepare(176400, 1764000);  // ten seconds of CD audio
  ASSERT_TRUE(source.Open());
  struct Case {
    int startMs, endMs;
    UINT32 expected;
  } cases[] = {
      {-1, -1, 1764000}, {0, -1, 1764000},       {1000, -1, 1587600}, {-1, 2000, 352800},
      {1000, 2000, 176400}, {20000, -1, 0},      {-1, 60000, 1764000}, {5000, 3000, 0},
      {-1, 1, 176} /* 176.4 rounds down */,      {-1, 3, 529} /* 529.2 */, {-5, -7, 1764000},
  };
  for (const Case& c : cases) {
    UINT32 bytes = 12345;
    ASSERT_TRUE(source.GetDataSize(&bytes, c.startMs, c.endMs));
    EXPECT_EQ(c.expected, bytes) << c.startMs << ".." << c.endMs;
  }
  EXPECT_FALSE(source.GetDataSize(nullptr, -1, -1));
  EXPECT_EQ(2u, MulDivRounded(3, 1, 2)) << "halves round up";
  EXPECT_EQ(0xFFFFFFFEu, MulDivRounded(0xFFFFFFFEu, 1000, 1000)) << "the product is 64-bit";
}

TEST(ConvertSourceBase, QueryInterfaceAndLifetime) {
  bool destroyed = false;
  IConvertSource* source = new TestSource(&destroyed);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID_IConvertDestination, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID_IClassFactory, &out));
  ASSERT_EQ(S_OK, source->QueryInterface(IID_IConvertSource, &out));
  EXPECT_EQ(static_cast<void*>(source), out);
  ASSERT_EQ(S_OK, source->QueryInterface(IID_IUnknown, &out));
  EXPECT_EQ(3u, RefCount(source));
  EXPECT_EQ(2u, source->Release());
  EXPECT_EQ(1u, source->Release());
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(0u, source->Release());
  EXPECT_TRUE(destroyed);
}

TEST(ConvertSourceBase, LogLinesAreCutToTheBuffer) {
  RecordingCallback log;
  TestSource source;
  source.SetCallback(&log);
  source.Log(std::wstring(3000, L'x'));
  ASSERT_EQ(1u, log.lines.size());
  EXPECT_EQ(std::wstring(1023, L'x') + L"\n", log.lines[0].text);
}

TEST(ConvertDestinationBase, OpenCreatesTheWholeFolderChain) {
  TempFolder temp;
  RecordingCallback log;
  TestDestination destination;
  destination.SetCallback(&log);
  std::wstring output = temp / L"one\\two/three\\out.wav";
  ASSERT_TRUE(destination.SetFileName(output.c_str()));
  ASSERT_TRUE(destination.Open());
  DWORD attributes = GetFileAttributesW((temp / L"one\\two\\three").c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(log.lines.empty());
}

TEST(ConvertDestinationBase, FolderThatCannotBeCreated) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileBytes(temp / L"plain.txt", "a file, not a folder"));
  RecordingCallback log;
  TestDestination destination;
  destination.SetCallback(&log);
  std::wstring folder = temp / L"plain.txt\\sub";
  ASSERT_TRUE(destination.SetFileName((folder + L"\\out.wav").c_str()));
  EXPECT_FALSE(destination.Open());
  ASSERT_EQ(1u, log.lines.size());
  EXPECT_EQ(L"Directory cannot be created: " + folder + L"\n", log.lines[0].text);
  EXPECT_EQ(L"e", log.lines[0].style);
}

TEST(ConvertDestinationBase, ExistingOutputFile) {
  TempFolder temp;
  std::wstring output = temp / L"out.wav";
  ASSERT_TRUE(WriteFileBytes(output, "keep me"));

  RecordingCallback refuse;
  TestDestination first;
  first.SetCallback(&refuse);
  first.SetFileName(output.c_str());
  EXPECT_FALSE(first.Open());
  EXPECT_EQ(std::vector<std::wstring>{output}, refuse.overwriteQuestions);
  EXPECT_EQ(std::vector<std::wstring>{L"Output file already exists\n"}, refuse.Errors());
  EXPECT_EQ("keep me", ReadFileBytes(output));

  TestDestination silent;  // no callback: nobody can agree to the replacement
  silent.SetFileName(output.c_str());
  EXPECT_FALSE(silent.Open());
  EXPECT_EQ("keep me", ReadFileBytes(output));

  RecordingCallback agree;
  agree.answerOverwrite = TRUE;
  TestDestination second;
  second.SetCallback(&agree);
  second.SetFileName(output.c_str());
  EXPECT_TRUE(second.Open());
  EXPECT_FALSE(FileExists(output));

  ASSERT_TRUE(CreateDirectoryW((temp / L"folder.wav").c_str(), nullptr));
  TestDestination third;
  third.SetCallback(&agree);
  third.SetFileName((temp / L"folder.wav").c_str());
  EXPECT_FALSE(third.Open());
  EXPECT_EQ(L"Output file cannot be replaced\n", agree.lines.back().text);
}

TEST(ConvertDestinationBase, SourceReferenceAndDefaults) {
  bool destroyed = false;
  IConvertSource* source = new TestSource(&destroyed);
  {
    TestDestination destination;
    ASSERT_TRUE(destination.SetSource(source));
    EXPECT_EQ(2u, RefCount(source));
    EXPECT_FALSE(destination.SetSource(nullptr));
    EXPECT_EQ(1u, RefCount(source)) << "SetSource(null) releases the held source";
    ASSERT_TRUE(destination.SetSource(source));
  }
  EXPECT_EQ(1u, RefCount(source)) << "the destructor releases the source";
  source->Release();
  EXPECT_TRUE(destroyed);

  TestDestination destination;
  wchar_t text[16] = L"";
  ASSERT_TRUE(destination.GetSettingsText(text, 16));
  EXPECT_STREQ(L"None", text);
  wchar_t error[64] = L"untouched";
  EXPECT_FALSE(destination.SetOption(L"quality", L"5", error));
  EXPECT_STREQ(L"untouched", error);
  EXPECT_FALSE(destination.SetFormat(nullptr));
  UINT32 estimate = 7;
  EXPECT_FALSE(destination.EstimateSize(1000, nullptr, &estimate));
  EXPECT_FALSE(destination.GetFileName(text, 16)) << "no name set";
  EXPECT_FALSE(destination.SetFileName(std::wstring(260, L'a').c_str())) << "would not fit the name buffer";
  ASSERT_TRUE(destination.SetFileName(L"C:\\out\\file.wav"));
  ASSERT_TRUE(destination.GetFileName(text, 8));
  EXPECT_STREQ(L"C:\\out\\", text);
}

TEST(EngineText, FormattingUsesThePlatformConventions) {
  EXPECT_EQ(L"wide narrow 3039", FormatText(64, L"%s %hs %lX", L"wide", "narrow", 0x3039ul));
  EXPECT_EQ(L"abc", FormatText(4, L"%s", L"abcdef")) << "cut to the capacity";
  EXPECT_EQ(L"Directory cannot be created: %s", LoadEngineString(3045));
  EXPECT_EQ(L"", LoadEngineString(2));
}
