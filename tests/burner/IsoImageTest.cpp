// Data-disc images: the names both trees give, refusals that must leave nothing behind, and images that
// check-iso.sh then reads with Linux tools (the folder named by TAVREL_ISO_OUT, with a manifest of what to expect).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "IsoImageWriter.h"

namespace {

std::wstring OutFolder() {
  const wchar_t* folder = _wgetenv(L"TAVREL_ISO_OUT");
  std::wstring result = folder ? folder : L".\\iso-out";
  CreateDirectoryW(result.c_str(), nullptr);
  CreateDirectoryW((result + L"\\src").c_str(), nullptr);
  return result;
}

std::wstring Source(const std::wstring& name) { return OutFolder() + L"\\src\\" + name; }

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed * 7 + (i >> 11)) & 0xFF);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD done = 0;
  ASSERT_TRUE(bytes.empty() || WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr));
  CloseHandle(h);
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

const std::wstring kLongName =
    L"A very long title of a live recording that goes on and on well past the limit (Remastered).mp3";

// The mixed disc: each file's source name, disc path and the Joliet path it must get.
struct DiscFile {
  std::wstring source;
  std::wstring disc;
  std::wstring joliet;
  size_t size;
};
const std::vector<DiscFile> kDisc = {
    {L"a.bin", L"Track 01.mp3", L"Track 01.mp3", 5000},
    {L"b.bin", L"Album/Sub/Sector.wma", L"Album/Sub/Sector.wma", 2048},
    {L"c.bin", L"Album/Ünïcödé 漢字.mp3", L"Album/Ünïcödé 漢字.mp3", 70001},
    {L"d.bin", L"Album/Пример.wma", L"Album/Пример.wma", 1},
    {L"e.bin", L"album\\" + kLongName, L"Album/" + kLongName.substr(0, 60) + L".mp3", 3000},
    {L"f.bin", L"Album/" + kLongName.substr(0, 70) + L" other.mp3",
     L"Album/" + kLongName.substr(0, 56) + L" (2).mp3", 4097},
    {L"g.bin", L"Empty.mp3", L"Empty.mp3", 0},
    {L"h.bin", L"What? A*B: c;d.mp3", L"What_ A_B_ c_d.mp3", 10},
    {L"i.bin", L"TRACK 01.MP3", L"TRACK 01 (2).MP3", 20},
};

TEST(IsoImage, WritesMixedDisc) {
  CIsoImageWriter writer(L"Tavrel Test");
  for (size_t i = 0; i < kDisc.size(); ++i) {
    WriteBytes(Source(kDisc[i].source), Pattern(kDisc[i].size, unsigned(i)));
    writer.AddFile(Source(kDisc[i].source), kDisc[i].disc);
  }
  std::wstring image = OutFolder() + L"\\mixed.iso";
  ASSERT_TRUE(writer.Write(image, CIsoImageWriter::kCapacity650MB)) << Utf8(writer.LastErrorText());
  EXPECT_FALSE(Exists(image + L".partial"));

  // The manifest for check-iso.sh: Joliet path, primary path, source name.
  std::ofstream manifest((OutFolder() + L"\\mixed.manifest").c_str(), std::ios::binary);
  const auto& placed = writer.Placements();
  ASSERT_EQ(kDisc.size(), placed.size());
  std::set<std::string> isoPaths;
  const std::regex isoName("[A-Z0-9_]{1,8}\\.[A-Z0-9_]{0,3};1");
  const std::regex isoFolder("[A-Z0-9_]{1,8}");
  for (size_t i = 0; i < kDisc.size(); ++i) {
    EXPECT_EQ(Utf8(kDisc[i].joliet), Utf8(placed[i].jolietPath));
    EXPECT_TRUE(isoPaths.insert(placed[i].isoPath).second) << placed[i].isoPath;
    std::string path = placed[i].isoPath;
    for (size_t slash; (slash = path.find('/')) != std::string::npos; path = path.substr(slash + 1))
      EXPECT_TRUE(std::regex_match(path.substr(0, slash), isoFolder)) << placed[i].isoPath;
    EXPECT_TRUE(std::regex_match(path, isoName)) << placed[i].isoPath;
    manifest << Utf8(placed[i].jolietPath) << '\t' << placed[i].isoPath << '\t' << Utf8(kDisc[i].source) << '\n';
  }

  // The descriptors where readers look first, and a size that matches the volume's.
  std::string bytes = ReadBytes(image);
  ASSERT_GE(bytes.size(), 19u * 2048);
  EXPECT_EQ(0u, bytes.size() % 2048);
  EXPECT_EQ(std::string("\x01" "CD001\x01", 7), bytes.substr(16 * 2048, 7));
  EXPECT_EQ(std::string("\x02" "CD001\x01", 7), bytes.substr(17 * 2048, 7));
  EXPECT_EQ("%/E", bytes.substr(17 * 2048 + 88, 3));
  EXPECT_EQ(std::string("\xff" "CD001\x01", 7), bytes.substr(18 * 2048, 7));
  auto le32 = [&](size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
  };
  EXPECT_EQ(bytes.size() / 2048, le32(16 * 2048 + 80));
  uint64_t computed = 0;
  ASSERT_TRUE(writer.ComputeImageSize(computed));
  EXPECT_EQ(bytes.size(), computed);
}

TEST(IsoImage, NamesForBothTrees) {
  struct Case {
    std::wstring name;
    bool folder;
    std::wstring joliet;
    std::string iso;
  };
  const std::wstring long70(70, L'x');
  const std::wstring emoji = L"\U0001F3B5";  // a surrogate pair must not be split when cutting
  const std::vector<Case> cases = {
      {L"Track 01.mp3", false, L"Track 01.mp3", "TRACK_01.MP3"},
      {L"readme", false, L"readme", "README."},
      {L"a.b.c.flac", false, L"a.b.c.flac", "A_B_C.FLA"},
      {L"bad\\/:*?\"<>|;.mp3", false, L"bad__________.mp3", "BAD_____.MP3"},
      {L"ends with dot. ", false, L"ends with dot", "ENDS_WIT._"},
      {L"...", false, L"_", "__."},
      {long70 + L".mp3", false, long70.substr(0, 60) + L".mp3", "XXXXXXXX.MP3"},
      {std::wstring(63, L'y') + emoji + L"z", false, std::wstring(63, L'y'), "YYYYYYYY."},
      {long70, true, long70.substr(0, 64), "XXXXXXXX"},
      {L"My.Folder", true, L"My.Folder", "MY_FOLDE"},
      {L"Ünï", true, L"Ünï", "_N_"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8(c.joliet), Utf8(CIsoImageWriter::JolietName(c.name, c.folder))) << Utf8(c.name);
    EXPECT_EQ(c.iso, CIsoImageWriter::IsoName(c.name, c.folder)) << Utf8(c.name);
  }
}

TEST(IsoImage, MakesNamesUniquePerFolder) {
  WriteBytes(Source(L"u.bin"), "u");
  CIsoImageWriter writer(L"U");
  // Three that shorten to one primary name, a file named like a folder, folders merged across case.
  const std::vector<std::wstring> disc = {L"Music/Song number one.mp3", L"Music/Song number two.mp3",
                                          L"music/SONG NUMBER ONE.mp3", L"Music",
                                          L"MUSIC/Song number two.mp3"};
  for (const auto& d : disc) writer.AddFile(Source(L"u.bin"), d);
  uint64_t size = 0;
  ASSERT_TRUE(writer.ComputeImageSize(size)) << Utf8(writer.LastErrorText());
  const std::vector<std::wstring> joliet = {L"Music/Song number one.mp3", L"Music/Song number two.mp3",
                                            L"Music/SONG NUMBER ONE (2).mp3", L"Music (2)",
                                            L"Music/Song number two (2).mp3"};
  const std::vector<std::string> iso = {"MUSIC/SONG_NUM.MP3;1", "MUSIC/SONG_NU1.MP3;1", "MUSIC/SONG_NU2.MP3;1",
                                        "MUSIC1.;1", "MUSIC/SONG_NU3.MP3;1"};
  ASSERT_EQ(disc.size(), writer.Placements().size());
  for (size_t i = 0; i < disc.size(); ++i) {
    EXPECT_EQ(Utf8(joliet[i]), Utf8(writer.Placements()[i].jolietPath));
    EXPECT_EQ(iso[i], writer.Placements()[i].isoPath);
  }
}

// Each refusal: the error, no image and no temporary file, and an older image at that path untouched.
TEST(IsoImage, FailuresLeaveNoImage) {
  WriteBytes(Source(L"big.bin"), Pattern(300000, 1));
  WriteBytes(Source(L"locked.bin"), Pattern(5000, 2));
  struct Case {
    const char* what;
    std::vector<std::wstring> sources;
    std::wstring disc;
    uint64_t capacity;
    IsoError expected;
  };
  const std::vector<Case> cases = {
      {"over capacity", {L"big.bin"}, L"big.mp3", 100 * 2048, IsoError::ExceedsCapacity},
      {"missing source", {L"big.bin", L"missing.bin"}, L"x.mp3", CIsoImageWriter::kCapacity700MB,
       IsoError::SourceUnreadable},
      {"source locked while writing", {L"big.bin", L"locked.bin"}, L"x.mp3", CIsoImageWriter::kCapacity700MB,
       IsoError::SourceUnreadable},
      {"too deep", {L"big.bin"}, L"1/2/3/4/5/6/7/8/x.mp3", CIsoImageWriter::kCapacity700MB, IsoError::PathTooDeep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring image = OutFolder() + L"\\refused.iso";
    DeleteFileW(image.c_str());
    std::wstring older = OutFolder() + L"\\older.iso";
    WriteBytes(older, "older image");
    for (const std::wstring& target : {image, older}) {
      CIsoImageWriter writer(L"REFUSED");
      for (size_t i = 0; i < c.sources.size(); ++i) writer.AddFile(Source(c.sources[i]), std::to_wstring(i) + c.disc);
      // Locked by another program: its size can be read, its data cannot.
      HANDLE lock = CreateFileW(Source(L"locked.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, lock);
      bool written = writer.Write(target, c.capacity);
      CloseHandle(lock);
      EXPECT_FALSE(written);
      EXPECT_EQ(c.expected, writer.LastError());
      EXPECT_FALSE(writer.LastErrorText().empty());
      EXPECT_FALSE(Exists(target + L".partial"));
    }
    EXPECT_FALSE(Exists(image));
    EXPECT_EQ("older image", ReadBytes(older));
  }
}

}  // namespace
