// CD images: what is saved loads back unchanged, files another tool wrote are read as the burner expects, and bad
// files or failed writes give the dialog's messages without losing data. Images are left in TAVREL_CDIMAGE_OUT for
// check-cdimage.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "CdImageFile.h"

namespace {

std::wstring OutFolder() {
  const wchar_t* folder = _wgetenv(L"TAVREL_CDIMAGE_OUT");
  std::wstring result = folder ? folder : L".\\cdimage-out";
  CreateDirectoryW(result.c_str(), nullptr);
  return result;
}

// A folder of its own per test, so leftovers of one test are seen by none other.
std::wstring TestFolder() {
  std::wstring name = OutFolder() + L"\\";
  for (const char* c = testing::UnitTest::GetInstance()->current_test_info()->name(); *c; ++c) name += wchar_t(*c);
  CreateDirectoryW(name.c_str(), nullptr);
  return name;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

const CdImage kUnchanged = {CdImage::kFormatMp3Cd, L"untouched", {L"C:\\keep.mp3"}};

void ExpectLoadFails(const std::wstring& path, CdImageError code, const wchar_t* message) {
  CCdImageFile file;
  CdImage image = kUnchanged;
  EXPECT_FALSE(file.Load(path, image));
  EXPECT_EQ(code, file.LastError());
  EXPECT_EQ(std::wstring(message), file.LastErrorText());
  EXPECT_EQ(kUnchanged.files, image.files);
  EXPECT_EQ(kUnchanged.label, image.label);
}

}  // namespace

TEST(CdImageFile, NonLatinListRoundTripsExactlyAndMissingFilesAreKept) {
  std::wstring folder = TestFolder();
  std::wstring present = folder + L"\\Чайковский — 交響曲 𝄞.wav";
  WriteBytes(present, "RIFF");
  CdImage saved;
  saved.format = CdImage::kFormatWmaCd;
  saved.label = L"Ünï <&\"'> 日本 𝄞";
  saved.files = {present, L"C:\\Music\\Björk & \"Friends\" <live>.mp3", L"D:\\نغمة\\שיר.wma", present};
  std::wstring path = folder + L"\\Любимое.fgx";

  CCdImageFile file;
  ASSERT_TRUE(file.Save(path, saved)) << file.LastErrorDetail().c_str();
  CdImage loaded;
  ASSERT_TRUE(file.Load(path, loaded)) << file.LastErrorDetail().c_str();
  EXPECT_EQ(CdImage::kFormatWmaCd, loaded.format);
  EXPECT_EQ(saved.label, loaded.label);
  EXPECT_EQ(saved.files, loaded.files);
  EXPECT_EQ((std::vector<size_t>{1, 2}), CCdImageFile::MissingFiles(loaded));

  // UTF-8 without a declaration, the notices first, then the elements the format names.
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(0u, bytes.find("<!--")) << bytes;
  EXPECT_NE(std::string::npos, bytes.find("<cdimage version=\"1\">"));
  EXPECT_NE(std::string::npos, bytes.find("<format id=\"wmacd\"/>"));
  EXPECT_NE(std::string::npos, bytes.find("<track idx=\"3\" file=\"" + Utf8(present) + "\"/>"));
  EXPECT_EQ(2u, FilesIn(folder).size());  // the image and the present file: no temporary left

  for (int format : {CdImage::kFormatRedBook, CdImage::kFormatMp3Cd, CdImage::kFormatWmaCd}) {
    CdImage one{format, L"", {}};
    ASSERT_TRUE(file.Save(path, one));
    ASSERT_TRUE(file.Load(path, loaded));
    EXPECT_EQ(format, loaded.format);
    EXPECT_TRUE(loaded.files.empty());
  }
}

TEST(CdImageFile, ReadsFilesWrittenByOtherTools) {
  std::wstring folder = TestFolder();
  CCdImageFile file;
  CdImage image;

  // UTF-8 with BOM and declaration, indented, attributes reordered, idx ignored, unknown parts passed over.
  std::string utf8 =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<cdimage>\r\n"
      "  <extra/>\r\n  <volume label=\"A label far longer than thirty-two characters\"/>\r\n"
      "  <format id=\"mp3cd\"/>\r\n  <format id=\"wmacd\"/>\r\n  <tracklist>\r\n"
      "    <!-- a comment -->\r\n    <track file=\"C:\\\xD0\x9C\xD1\x83\xD0\xB7.mp3\" idx=\"7\"/>\r\n"
      "    <track idx=\"1\"/>\r\n    <track file=\"\"/>\r\n    <song file=\"C:\\b.ogg\"/>\r\n"
      "  </tracklist>\r\n</cdimage>\r\n";
  WriteBytes(folder + L"\\utf8.fgx", utf8);
  ASSERT_TRUE(file.Load(folder + L"\\utf8.fgx", image)) << file.LastErrorDetail().c_str();
  EXPECT_EQ(CdImage::kFormatMp3Cd, image.format);
  EXPECT_EQ(L"A label far longer than thirty-t", image.label);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\Муз.mp3", L"C:\\b.ogg"}), image.files);

  // UTF-16 with BOM: the parser is given the bytes, not text decoded beforehand.
  std::wstring wide =
      L"\xFEFF<cdimage version=\"1\"><format id=\"wmacd\"/><volume label=\"日本\"/>"
      L"<tracklist><track idx=\"0\" file=\"E:\\日本.wav\"/></tracklist></cdimage>";
  WriteBytes(folder + L"\\utf16.fgx", std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
  ASSERT_TRUE(file.Load(folder + L"\\utf16.fgx", image)) << file.LastErrorDetail().c_str();
  EXPECT_EQ(CdImage::kFormatWmaCd, image.format);
  EXPECT_EQ(L"日本", image.label);
  EXPECT_EQ(std::vector<std::wstring>{L"E:\\日本.wav"}, image.files);

  // Missing parts and values of the wrong kind fall back to the defaults.
  for (const char* text : {"<cdimage/>", "<cdimage><format id=\"2\"/><volume/><tracklist/></cdimage>",
                           "<cdimage><format/><volume label=\"\"/><tracklist>text</tracklist></cdimage>"}) {
    WriteBytes(folder + L"\\sparse.fgx", text);
    image = kUnchanged;
    ASSERT_TRUE(file.Load(folder + L"\\sparse.fgx", image)) << text;
    EXPECT_EQ(CdImage::kFormatRedBook, image.format) << text;
    EXPECT_EQ(L"", image.label) << text;
    EXPECT_TRUE(image.files.empty()) << text;
  }
}

TEST(CdImageFile, BadFilesGiveTheDialogsMessagesAndLeaveTheListAlone) {
  std::wstring folder = TestFolder();
  ExpectLoadFails(folder + L"\\absent.fgx", CdImageError::NotFound, L"The CD image file does not exist.");
  ExpectLoadFails(folder + L"\\no folder\\absent.fgx", CdImageError::NotFound, L"The CD image file does not exist.");
  ExpectLoadFails(folder, CdImageError::InvalidFormat,
                  L"The selected CD image cannot be loaded (probably invalid format).");

  const std::string bad[] = {
      "",
      "just some text",
      std::string("RIFF\0\0\0\0WAVEfmt \x10\0\0\0", 20),
      "<cdimage><tracklist><track file=\"C:\\a.mp3\"/>",  // cut short
      "<playlist><tracklist><track file=\"C:\\a.mp3\"/></tracklist></playlist>",
      "<cdimage><track file=\"a & b\"/></cdimage>",  // unescaped ampersand
  };
  for (const std::string& bytes : bad) {
    WriteBytes(folder + L"\\bad.fgx", bytes);
    SCOPED_TRACE(bytes);
    ExpectLoadFails(folder + L"\\bad.fgx", CdImageError::InvalidFormat,
                    L"The selected CD image cannot be loaded (probably invalid format).");
  }
}

TEST(CdImageFile, TenThousandEntriesRoundTrip) {
  std::wstring path = TestFolder() + L"\\big.fgx";
  CdImage saved;
  for (int i = 0; i < 10000; ++i) saved.files.push_back(L"C:\\Музыка\\Disc " + std::to_wstring(i) + L"\\track.mp3");
  CCdImageFile file;
  ASSERT_TRUE(file.Save(path, saved)) << file.LastErrorDetail().c_str();
  CdImage loaded;
  ASSERT_TRUE(file.Load(path, loaded)) << file.LastErrorDetail().c_str();
  EXPECT_EQ(saved.files, loaded.files);
}

TEST(CdImageFile, FailedSaveKeepsTheOldImageAndLeavesNoTemporaryFile) {
  std::wstring folder = TestFolder();
  std::wstring path = folder + L"\\kept.fgx";
  CCdImageFile file;
  ASSERT_TRUE(file.Save(path, kUnchanged));
  std::string before = ReadBytes(path);

  CdImage next{CdImage::kFormatRedBook, L"new", {L"C:\\new.mp3"}};
  CdImage unstorable{CdImage::kFormatRedBook, std::wstring(L"bell\a"), {}};
  CdImage loneSurrogate{CdImage::kFormatRedBook, L"", {std::wstring(L"C:\\a") + wchar_t(0xD834) + L".mp3"}};
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(file.Save(path, next));
  EXPECT_EQ(L"The CD image cannot be saved.", file.LastErrorText());
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  for (const CdImage& image : {unstorable, loneSurrogate}) {
    EXPECT_FALSE(file.Save(path, image));
    EXPECT_EQ(CdImageError::SaveFailed, file.LastError());
    EXPECT_EQ(L"The CD image cannot be saved.", file.LastErrorText());
  }
  EXPECT_EQ(before, ReadBytes(path));

  // The rename onto a folder fails after the temporary file was written: it must go again.
  std::wstring blocked = folder + L"\\blocked.fgx";
  CreateDirectoryW(blocked.c_str(), nullptr);
  EXPECT_FALSE(file.Save(blocked, next));
  EXPECT_EQ(L"The CD image cannot be saved.", file.LastErrorText());
  EXPECT_EQ(std::vector<std::wstring>{L"kept.fgx"}, FilesIn(folder));

  EXPECT_FALSE(file.Save(folder + L"\\no such folder\\x.fgx", next));
  EXPECT_EQ(L"The CD image cannot be saved.", file.LastErrorText());
}

TEST(CdImageFile, NamesWithoutFolderLieInTheImagesFolder) {
  EXPECT_EQ(L"C:\\Images\\WorkingCDImage.fgx", CCdImageFile::PathForName(L"C:\\Images", L"WorkingCDImage"));
  EXPECT_EQ(L"C:\\Images\\Мой диск.fgx", CCdImageFile::PathForName(L"C:\\Images\\", L"Мой диск"));
  EXPECT_EQ(L"C:\\Images\\old.FGX", CCdImageFile::PathForName(L"C:\\Images", L"old.FGX"));
  EXPECT_EQ(L"D:\\elsewhere\\a.fgx", CCdImageFile::PathForName(L"C:\\Images", L"D:\\elsewhere\\a.fgx"));
}
