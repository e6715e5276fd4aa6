// PlaylistCreateFromFile and IPlaylist through tavcore.dll: extensions, M3U and PLS reading in every encoding,
// the cursor, Save's exact bytes, overlong text, non-Latin names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "resource.h"
#include "tavcore.h"

namespace {
const char kHeader[] = "# Created by Tavrel v8.0\r\n# Get this program at: https://www.quennet.com/tavrel/\r\n";

struct PlaylistHandle {
  ~PlaylistHandle() {
    if (object) object->Destroy();
  }
  IPlaylist* operator->() const { return object; }
  IPlaylist* object = nullptr;
};

std::vector<std::wstring> AllItems(IPlaylist* playlist) {
  std::vector<std::wstring> items;
  EXPECT_EQ(S_OK, playlist->Rewind());
  wchar_t item[MAX_PATH];
  while (playlist->GetNext(item) == S_OK) items.push_back(item);
  UINT32 count = 0;
  EXPECT_EQ(S_OK, playlist->GetCount(&count));
  EXPECT_EQ(items.size(), count);
  return items;
}

std::vector<std::wstring> LoadItems(const std::wstring& path, const std::string& bytes) {
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  PlaylistHandle playlist;
  EXPECT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &playlist.object));
  return playlist.object ? AllItems(playlist.object) : std::vector<std::wstring>{};
}

std::wstring Decode(const std::string& text, UINT codePage) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                  static_cast<int>(wide.size())));
  return wide;
}

std::wstring Utf8ToWide(const std::string& text) { return Decode(text, CP_UTF8); }

enum class Encoding { kCodePage, kUtf8, kUtf8Marked, kUtf16Le, kUtf16Be };

// The text in the encoding; false when the system code page cannot hold it.
bool Encode(const std::wstring& text, Encoding encoding, std::string* bytes) {
  bytes->clear();
  if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    bool big = encoding == Encoding::kUtf16Be;
    *bytes = big ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t unit : text) {
      char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
      *bytes += big ? high : low;
      *bytes += big ? low : high;
    }
    return true;
  }
  UINT codePage = encoding == Encoding::kCodePage ? CP_ACP : CP_UTF8;
  BOOL usedDefault = FALSE;
  int length = static_cast<int>(text.size());
  std::string encoded(text.size() * 4, '\0');
  encoded.resize(WideCharToMultiByte(codePage, 0, text.data(), length, &encoded[0], static_cast<int>(encoded.size()),
                                     nullptr, codePage == CP_UTF8 ? nullptr : &usedDefault));
  if (usedDefault) return false;
  *bytes = (encoding == Encoding::kUtf8Marked ? "\xEF\xBB\xBF" : "") + encoded;
  return true;
}
}  // namespace

TEST(PlaylistCreate, ExtensionDecidesExactly) {
  TempFolder folder;
  struct Case {
    const wchar_t* name;
    HRESULT expected;
  } cases[] = {
      {L"list.m3u", S_OK},      {L"list.pls", S_OK},    {L"list.M3U", E_FAIL},  {L"list.Pls", E_FAIL},
      {L"list.wax", E_NOTIMPL}, {L"list.m3u8", S_OK},   {L"list.M3U8", E_FAIL}, {L"list", E_FAIL},
      {L"a.m3u\\list", E_FAIL}, {L"missing.m3u", S_OK},
  };
  WriteFileBytes(folder / L"list.m3u", "a.mp3\r\n");
  WriteFileBytes(folder / L"list.m3u8", "\xD0\xB0.mp3\r\n");
  WriteFileBytes(folder / L"list.pls", "File1=a.mp3\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "name " << testing::PrintToString(std::wstring(c.name)));
    PlaylistHandle playlist;
    playlist.object = reinterpret_cast<IPlaylist*>(1);
    std::wstring path = folder / c.name;
    EXPECT_EQ(c.expected, PlaylistCreateFromFile(path.c_str(), &playlist.object));
    EXPECT_EQ(c.expected == S_OK, playlist.object != nullptr);
    if (playlist.object) {
      EXPECT_EQ(std::wstring(c.name) == L"missing.m3u" ? 0u : 1u, AllItems(playlist.object).size());
    }
  }
  IPlaylist* out = nullptr;
  EXPECT_EQ(E_INVALIDARG, PlaylistCreateFromFile(nullptr, &out));
  EXPECT_EQ(E_INVALIDARG, PlaylistCreateFromFile(L"list.m3u", nullptr));
}

TEST(PlaylistRead, M3uCommentsLineEndsAndUrls) {
  TempFolder folder;
  std::string text =
      "#EXTM3U\r\n#EXTINF:12,Title\r\na/b.mp3\r\nhttp://host/s.mp3\r\n\r\nD:\\x.mp3\n..\\c.mp3 \t\r/r.mp3";
  std::wstring parent = folder.Path().substr(0, folder.Path().find_last_of(L'\\'));
  std::vector<std::wstring> expected = {folder / L"a\\b.mp3", L"D:\\x.mp3", parent + L"\\c.mp3", L"\\r.mp3"};
  EXPECT_EQ(expected, LoadItems(folder / L"list.m3u", text));
}

TEST(PlaylistRead, PlsKeepsFileLinesInOrderAndDropsUrls) {
  TempFolder folder;
  std::string text =
      "[playlist]\r\nNumberOfEntries=5\r\nFile2=b.mp3\r\nTitle2=Bee\r\nFile1=a.mp3\r\nLength1=10\r\n"
      "File3=ftp://server/x.mp3\r\nFile4=http://server/y.mp3\r\nnot a pair\r\n  [other] \r\n"
      "File5=C:/music/z.mp3\r\nFile6=\r\nFilename=sub/w.mp3\r\nVersion=2";
  std::vector<std::wstring> expected = {folder / L"b.mp3", folder / L"a.mp3", L"C:\\music\\z.mp3",
                                        folder / L"sub\\w.mp3"};
  EXPECT_EQ(expected, LoadItems(folder / L"list.pls", text));
}

TEST(PlaylistCursor, GetNextFailsPastTheEndUntilRewindAndAddTakesResources) {
  TempFolder folder;
  PlaylistHandle playlist;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile((folder / L"new.m3u").c_str(), &playlist.object));
  wchar_t item[MAX_PATH];
  EXPECT_EQ(E_FAIL, playlist->GetNext(item));
  EXPECT_EQ(S_OK, playlist->Add(L"C:\\a.mp3"));  // an empty list's cursor still reaches the new item
  ASSERT_EQ(S_OK, playlist->GetNext(item));
  EXPECT_STREQ(L"C:\\a.mp3", item);
  EXPECT_EQ(E_FAIL, playlist->GetNext(item));
  EXPECT_EQ(E_FAIL, playlist->GetNext(item));
  EXPECT_EQ(S_OK, playlist->Add(MAKEINTRESOURCEW(IDS_FORMAT_WAVE)));
  EXPECT_EQ(E_INVALIDARG, playlist->Add(nullptr));
  EXPECT_EQ(E_INVALIDARG, playlist->Add(MAKEINTRESOURCEW(1)));  // no such string
  EXPECT_EQ(E_INVALIDARG, playlist->GetNext(nullptr));
  EXPECT_EQ(E_INVALIDARG, playlist->GetCount(nullptr));
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\a.mp3", L"Wave Audio Files (.wav)"}), AllItems(playlist.object));
}

TEST(PlaylistSave, WritesHeaderAndRelativeEntriesExactly) {
  TempFolder folder;
  std::wstring path = folder / L"list.m3u";
  PlaylistHandle playlist;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &playlist.object));
  // The folder's name followed by more letters is another folder and stays absolute.
  for (const std::wstring& item : {folder / L"a.mp3", folder.Path() + L"2\\b.mp3", folder / L"sub\\c.mp3",
                                   std::wstring(L"D:\\x.mp3"), folder.Path()})
    ASSERT_EQ(S_OK, playlist->Add(item.c_str()));
  wchar_t item[MAX_PATH];
  playlist->GetNext(item);
  ASSERT_EQ(S_OK, playlist->Save(path.c_str()));
  std::string narrowFolder(folder.Path().begin(), folder.Path().end());
  EXPECT_EQ(std::string(kHeader) + ".\\a.mp3\r\n" + narrowFolder + "2\\b.mp3\r\n.\\sub\\c.mp3\r\nD:\\x.mp3\r\n" +
                narrowFolder + "\r\n",
            ReadFileBytes(path));
  ASSERT_EQ(S_OK, playlist->GetNext(item));  // Save rewinds
  EXPECT_EQ(folder / L"a.mp3", item);

  // Reading the file back gives the same paths (the folder itself was a bare entry, so it stays as stored).
  std::vector<std::wstring> reread = AllItems(playlist.object);
  PlaylistHandle again;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &again.object));
  EXPECT_EQ(reread, AllItems(again.object));

  EXPECT_EQ(E_FAIL, playlist->Save((folder / L"no such folder\\list.m3u").c_str()));
  PlaylistHandle pls;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile((folder / L"list.pls").c_str(), &pls.object));
  EXPECT_EQ(E_NOTIMPL, pls->Save((folder / L"out.m3u").c_str()));
}

TEST(PlaylistLimits, OverlongTextIsKeptWholeAndCutOnlyWhenCopiedOut) {
  TempFolder folder;
  std::string longName(600, 'n');
  std::vector<std::wstring> m3u = LoadItems(folder / L"long.m3u", longName + ".mp3\r\nC:\\after.mp3\r\n");
  ASSERT_EQ(2u, m3u.size());
  EXPECT_EQ(L"C:\\after.mp3", m3u[1]);

  std::string longKey = "File" + std::string(1000, 'k');
  std::vector<std::wstring> pls =
      LoadItems(folder / L"long.pls", "[" + std::string(900, 's') + "]\r\n" + longKey + "=" + longName +
                                          "\r\nFile2=" + std::string(300, 'v') + "\r\nFile3=C:\\last.mp3\r\n");
  ASSERT_EQ(3u, pls.size());
  EXPECT_EQ(L"C:\\last.mp3", pls[2]);

  PlaylistHandle playlist;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile((folder / L"long.m3u").c_str(), &playlist.object));
  std::wstring longItem = L"C:\\" + std::wstring(1000, L'x');
  ASSERT_EQ(S_OK, playlist->Add(longItem.c_str()));
  std::vector<wchar_t> buffer(MAX_PATH + 40, L'#');
  ASSERT_EQ(S_OK, playlist->GetNext(buffer.data()));  // the 600-character entry read from the file
  EXPECT_EQ(MAX_PATH - 1u, wcslen(buffer.data()));
  ASSERT_EQ(S_OK, playlist->GetNext(buffer.data()));
  std::fill(buffer.begin(), buffer.end(), L'#');
  ASSERT_EQ(S_OK, playlist->GetNext(buffer.data()));
  EXPECT_EQ(longItem.substr(0, MAX_PATH - 1), std::wstring(buffer.data()));
  for (size_t i = MAX_PATH; i < buffer.size(); ++i) ASSERT_EQ(L'#', buffer[i]) << "written past 260 at " << i;
}

TEST(PlaylistText, NonLatinNamesAndUtf8ByteOrderMark) {
  TempFolder temp;
  std::wstring folder = temp / Utf8ToWide("Музыка 音楽");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::wstring path = folder + L"\\" + Utf8ToWide("Плейлист.m3u");
  // The first line is an entry: with a byte-order mark in front it must not be lost or mangled.
  std::string text =
      "\xEF\xBB\xBF"
      "первая.mp3\r\n#EXTINF:1,x\r\n日本/曲.mp3\r\n";
  std::vector<std::wstring> expected = {folder + L"\\" + Utf8ToWide("первая.mp3"),
                                        folder + L"\\" + Utf8ToWide("日本\\曲.mp3")};
  EXPECT_EQ(expected, LoadItems(path, text));

  // Saved names the system code page cannot hold come back intact, never as "?".
  PlaylistHandle playlist;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &playlist.object));
  ASSERT_EQ(S_OK, playlist->Add(Utf8ToWide("D:\\Ψ\\ΩΩ.mp3").c_str()));
  ASSERT_EQ(S_OK, playlist->Save(path.c_str()));
  EXPECT_EQ(std::string::npos, ReadFileBytes(path).find('?'));
  PlaylistHandle again;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &again.object));
  expected.push_back(Utf8ToWide("D:\\Ψ\\ΩΩ.mp3"));
  EXPECT_EQ(expected, AllItems(again.object));
}

TEST(PlaylistText, EveryEncodingAndKindGivesTheSameNames) {
  TempFolder temp;
  const std::wstring names[] = {
      Utf8ToWide("Café Müller/Ærøskøbing ß.mp3"), Utf8ToWide("Музыка/Тёмная ночь.mp3"),
      Utf8ToWide("日本の歌/曲 第一.mp3"),         Utf8ToWide("naïve 音楽 Ψ.mp3"),
      Utf8ToWide("D:\\Ελληνικά\\ü.mp3"),
  };
  const struct {
    Encoding encoding;
    const char* label;
  } encodings[] = {{Encoding::kCodePage, "code page"},
                   {Encoding::kUtf8, "UTF-8"},
                   {Encoding::kUtf8Marked, "UTF-8 marked"},
                   {Encoding::kUtf16Le, "UTF-16LE"},
                   {Encoding::kUtf16Be, "UTF-16BE"}};
  for (const wchar_t* kind : {L".m3u", L".pls", L".m3u8"}) {
    for (const auto& e : encodings) {
      if (e.encoding == Encoding::kCodePage && std::wstring(kind) == L".m3u8") continue;  // UTF-8 by its name
      for (const std::wstring& name : names) {
        SCOPED_TRACE(testing::Message() << e.label << " " << testing::PrintToString(std::wstring(kind)) << " "
                                        << testing::PrintToString(name));
        bool pls = std::wstring(kind) == L".pls";
        std::wstring text = pls ? L"[playlist]\r\nFile1=" + name + L"\r\nTitle1=" + name + L"\r\nFile2=a.mp3\r\n"
                                : L"#EXTM3U\r\n#EXTINF:1," + name + L"\r\n" + name + L"\r\na.mp3\r\n";
        std::string bytes;
        if (!Encode(text, e.encoding, &bytes)) continue;  // not in the system code page
        std::wstring entry = name;
        std::replace(entry.begin(), entry.end(), L'/', L'\\');
        std::vector<std::wstring> expected = {entry.compare(0, 3, L"D:\\") == 0 ? entry : temp / entry,
                                              temp / L"a.mp3"};
        EXPECT_EQ(expected, LoadItems(temp / (L"list" + std::wstring(kind)), bytes));
      }
    }
  }
}

TEST(PlaylistText, InvalidUtf8IsTheCodePageExceptInM3u8) {
  TempFolder temp;
  struct Case {
    const wchar_t* kind;
    std::string entry;
    UINT codePage;  // what the entry is read in
  } cases[] = {
      {L".m3u", "caf\xE9 \xFC.mp3", CP_ACP},
      {L".pls", "caf\xE9 \xFC.mp3", CP_ACP},
      {L".m3u", "\xC3\xA9t\xC3\xA9 \xE6\x97.mp3", CP_ACP},  // valid, then a cut sequence
      {L".pls", "\xC3\xA9t\xC3\xA9 \xE6\x97", CP_ACP},
      {L".m3u", "\xC3\xA9t\xC3\xA9.mp3", CP_UTF8},
      {L".m3u8", "caf\xE9.mp3", CP_UTF8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.kind)) << " "
                                    << testing::PrintToString(c.entry));
    bool pls = std::wstring(c.kind) == L".pls";
    std::string text = (pls ? "[playlist]\r\nFile1=" : "#EXTM3U\r\n") + c.entry + "\r\n";
    std::vector<std::wstring> expected = {temp / Decode(c.entry, c.codePage)};
    EXPECT_EQ(expected, LoadItems(temp / (std::wstring(L"list") + c.kind), text));
  }
}

TEST(PlaylistSave, M3u8IsUtf8WithoutMarkAndM3uStaysInTheCodePage) {
  TempFolder temp;
  const std::wstring inside = temp / Utf8ToWide("Музыка\\日本.mp3"), outside = Utf8ToWide("D:\\Café\\ü.mp3");
  std::wstring path = temp / L"list.m3u8";
  PlaylistHandle playlist;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &playlist.object));
  ASSERT_EQ(S_OK, playlist->Add(inside.c_str()));
  ASSERT_EQ(S_OK, playlist->Add(outside.c_str()));
  ASSERT_EQ(S_OK, playlist->Save(path.c_str()));
  EXPECT_EQ(std::string(kHeader) + ".\\Музыка\\日本.mp3\r\nD:\\Café\\ü.mp3\r\n", ReadFileBytes(path));
  PlaylistHandle again;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(path.c_str(), &again.object));
  EXPECT_EQ((std::vector<std::wstring>{inside, outside}), AllItems(again.object));

  // Names the code page holds keep the code page in ".m3u", and read back the same.
  std::string narrow;
  ASSERT_TRUE(Encode(outside, Encoding::kCodePage, &narrow));
  std::wstring ansiPath = temp / L"list.m3u";
  PlaylistHandle ansi;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(ansiPath.c_str(), &ansi.object));
  ASSERT_EQ(S_OK, ansi->Add(outside.c_str()));
  ASSERT_EQ(S_OK, ansi->Save(ansiPath.c_str()));
  EXPECT_EQ(std::string(kHeader) + narrow + "\r\n", ReadFileBytes(ansiPath));
  PlaylistHandle ansiAgain;
  ASSERT_EQ(S_OK, PlaylistCreateFromFile(ansiPath.c_str(), &ansiAgain.object));
  EXPECT_EQ(std::vector<std::wstring>{outside}, AllItems(ansiAgain.object));
}
