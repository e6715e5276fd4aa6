// Entry resolution and path joining, how a file's encoding is told, and a bounded mutation run over M3U and PLS
// text in every encoding.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "M3UPlaylist.h"
#include "PLSPlaylist.h"
#include "PlaylistText.h"

TEST(PlaylistResolution, EntriesBecomeFullPathsOrAreDropped) {
  struct Case {
    const wchar_t* folder;
    const wchar_t* entry;
    const wchar_t* expected;  // empty: dropped
  } cases[] = {
      {L"C:\\Music", L"a/b.mp3", L"C:\\Music\\a\\b.mp3"},
      {L"C:\\Music", L"..\\c.mp3", L"C:\\c.mp3"},
      {L"C:\\Music", L"D:\\x.mp3", L"D:\\x.mp3"},
      {L"C:\\Music", L"\\root.mp3", L"\\root.mp3"},
      {L"C:\\Music", L"\\\\server\\share\\s.mp3", L"\\\\server\\share\\s.mp3"},
      {L"C:\\Music", L"./a/../b.mp3", L"C:\\Music\\b.mp3"},
      {L"C:\\Music", L"..\\..\\..\\c.mp3", L"C:\\c.mp3"},  // never above the root
      {L"C:\\Music\\Rock", L"..\\Jazz\\j.mp3", L"C:\\Music\\Jazz\\j.mp3"},
      {L"C:\\Music", L"..x.mp3", L"C:\\Music\\..x.mp3"},
      {L"C:\\Music", L"a.mp3 \t\r", L"C:\\Music\\a.mp3"},
      {L"C:\\Music", L" a.mp3", L"C:\\Music\\ a.mp3"},
      {L"C:\\", L"a.mp3", L"C:\\a.mp3"},
      {L"\\\\server\\share\\lists", L"..\\..\\a.mp3", L"\\\\server\\share\\a.mp3"},
      {L"", L"a/b.mp3", L"a\\b.mp3"},
      {L"", L"..\\a.mp3", L"..\\a.mp3"},
      // Steps up that a relative folder cannot take stay, each of them.
      {L"", L"..\\..\\a.mp3", L"..\\..\\a.mp3"},
      {L"lists", L"..\\..\\a.mp3", L"..\\a.mp3"},
      {L"a\\b", L"..\\..\\..\\..\\c.mp3", L"..\\..\\c.mp3"},
      {L"C:\\Music\\Rock\\Live", L"..\\..\\Jazz\\j.mp3", L"C:\\Music\\Jazz\\j.mp3"},
      {L"C:\\Music", L"http://host/a.mp3", L""},
      {L"C:\\Music", L"ftp://host/a.mp3", L""},
      {L"C:\\Music", L"file:///C:/a.mp3", L""},
      {L"C:\\Music", L" \t ", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "entry " << testing::PrintToString(std::wstring(c.entry)));
    EXPECT_EQ(std::wstring(c.expected), ResolvePlaylistEntry(c.entry, c.folder));
  }
}

TEST(PlaylistEncoding, MarksAndValidUtf8DecideTheCodePage) {
  struct Case {
    std::string bytes;
    bool alwaysUtf8;
    UINT codePage;
    std::string text;  // what the parsers get
  } cases[] = {
      {"", false, CP_ACP, ""},
      {"a.mp3\r\n", false, CP_ACP, "a.mp3\r\n"},
      {"a.mp3\r\n", true, CP_UTF8, "a.mp3\r\n"},
      {"\xEF\xBB\xBF\xE9", false, CP_UTF8, "\xE9"},
      {"caf\xC3\xA9", false, CP_UTF8, "caf\xC3\xA9"},
      {"\xF0\x9F\x8E\xB5 \xE6\x97\xA5 \xD0\xB0 \xC2\x80 \xF4\x8F\xBF\xBF", false, CP_UTF8,
       "\xF0\x9F\x8E\xB5 \xE6\x97\xA5 \xD0\xB0 \xC2\x80 \xF4\x8F\xBF\xBF"},
      {"caf\xE9", false, CP_ACP, "caf\xE9"},
      {"caf\xE9", true, CP_UTF8, "caf\xE9"},
      {"\xC1\xBF", false, CP_ACP, "\xC1\xBF"},          // overlong
      {"\xE0\x9F\xBF", false, CP_ACP, "\xE0\x9F\xBF"},  // overlong
      {"\xED\xBF\xBF", false, CP_ACP, "\xED\xBF\xBF"},  // surrogate
      {"\xF4\x90\x80\x80", false, CP_ACP, "\xF4\x90\x80\x80"},
      {"\xD0", false, CP_ACP, "\xD0"},  // cut at the end
      {"\xE6\x97-", false, CP_ACP, "\xE6\x97-"},
      {"\xFF\xFE", false, CP_UTF8, ""},
      {std::string("\xFF\xFE"
                   "a\0\xE9\0\r\0\n\0\x30\x04",
                   12),
       false, CP_UTF8, "a\xC3\xA9\r\n\xD0\xB0"},
      {std::string("\xFE\xFF"
                   "\0a\x65\xE5\0",
                   7),
       false, CP_UTF8, "a\xE6\x97\xA5"},  // odd last byte dropped
      {std::string("\xFF\xFE"
                   "\x3C\xD8\xB5\xDF",
                   6),
       true, CP_UTF8, "\xF0\x9F\x8E\xB5"},  // a surrogate pair
      {std::string("\xFF\xFE"
                   "\x3C\xD8\x61\0",
                   6),
       false, CP_UTF8,
       "\xEF\xBF\xBD"
       "a"},  // unpaired
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "bytes " << testing::PrintToString(c.bytes) << " always UTF-8 " << c.alwaysUtf8);
    std::string text = c.bytes;
    EXPECT_EQ(c.codePage, TakePlaylistEncoding(&text, c.alwaysUtf8));
    EXPECT_EQ(c.text, text);
  }
  for (const wchar_t* name : {L"C:\\a.m3u8", L"list.M3U8", L".m3U8"}) EXPECT_TRUE(IsUtf8PlaylistPath(name)) << name;
  for (const wchar_t* name : {L"C:\\a.m3u", L"a.m3u8.pls", L"m3u8", L"a.m3u8 "})
    EXPECT_FALSE(IsUtf8PlaylistPath(name)) << name;
}

namespace {
std::string Mutate(std::string text, std::mt19937& random) {
  static const char interesting[] = "\r\n[]=#/\\.:\xEF\xBB\xBF \t\0\xFF";
  int steps = 1 + static_cast<int>(random() % 8);
  for (int step = 0; step < steps; ++step) {
    size_t at = text.empty() ? 0 : random() % (text.size() + 1);
    char c = random() % 2 ? interesting[random() % (sizeof(interesting) - 1)] : static_cast<char>(random());
    switch (random() % 6) {
      case 0:
        if (at < text.size()) text[at] = c;
        break;
      case 1:
        text.insert(at, 1, c);
        break;
      case 2:
        if (at < text.size()) text.erase(at, 1 + random() % 16);
        break;
      case 3:
        text.insert(at, std::string(1 + random() % 700, c));  // past any 260-byte line or value
        break;
      case 4:
        text.resize(at);
        break;
      default:
        text.insert(at, text.substr(random() % (text.size() + 1), random() % 64));
        break;
    }
  }
  return text;
}

template <class Playlist>
void CheckParsed(Playlist& playlist, std::string text, bool alwaysUtf8) {
  UINT codePage = TakePlaylistEncoding(&text, alwaysUtf8);
  playlist.Parse(text, L"C:\\Music", codePage);
  for (const std::wstring& item : playlist.Items()) {
    ASSERT_FALSE(item.empty());
    ASSERT_EQ(std::wstring::npos, item.find_first_of(std::wstring(L"\r\n\0", 3)));
    ASSERT_NE(0u, item.rfind(L"http://", 0));
  }
  wchar_t buffer[MAX_PATH];
  playlist.Rewind();
  size_t count = 0;
  while (playlist.GetNext(buffer) == S_OK) ++count;
  ASSERT_EQ(playlist.Items().size(), count);
}

// The same text in UTF-16, little- or big-endian, with its mark.
std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
}
}  // namespace

TEST(PlaylistParsers, SurviveMutatedText) {
  const std::string m3u = "#EXTM3U\r\n#EXTINF:10,A\r\na/b.mp3\r\n..\\c.mp3\nD:\\x.mp3\rhttp://h/s\r\n";
  const std::string pls = "[playlist]\r\nFile2=b.mp3\r\nTitle2=B\r\nFile1=..\\a.mp3\r\nLength1=3\r\nVersion=2\r\n";
  const std::string utf8 = "\xD0\x9C\xD1\x83\xD0\xB7/\xE6\x97\xA5\xE6\x9C\xAC.mp3\r\nCaf\xC3\xA9.mp3\r\n";
  const std::string m3uSeeds[] = {"\xEF\xBB\xBF" + m3u, m3u + utf8, Utf16(m3u, false), Utf16(m3u, true)};
  const std::string plsSeeds[] = {"\xEF\xBB\xBF" + pls, pls + "File3=" + utf8, Utf16(pls, false), Utf16(pls, true)};
  std::mt19937 random(20240611);
  for (int i = 0; i < 3000; ++i) {
    std::string m3uText = Mutate(m3uSeeds[i % 4], random);
    std::string plsText = Mutate(plsSeeds[i % 4], random);
    CM3UPlaylist* m3uList = new CM3UPlaylist();
    CPLSPlaylist* plsList = new CPLSPlaylist();
    CheckParsed(*m3uList, m3uText, i % 3 == 0);
    CheckParsed(*plsList, plsText, false);
    m3uList->Destroy();
    plsList->Destroy();
    if (HasFatalFailure()) return;
  }
}
