// Entry resolution and path joining, and a bounded mutation run over M3U and PLS text.
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
void CheckParsed(Playlist& playlist, const std::string& text) {
  playlist.Parse(text, L"C:\\Music");
  for (const std::wstring& item : playlist.Items()) {
    ASSERT_FALSE(item.empty());
    ASSERT_EQ(std::wstring::npos, item.find_first_of(L"\r\n"));
    ASSERT_NE(0u, item.rfind(L"http://", 0));
  }
  wchar_t buffer[MAX_PATH];
  playlist.Rewind();
  size_t count = 0;
  while (playlist.GetNext(buffer) == S_OK) ++count;
  ASSERT_EQ(playlist.Items().size(), count);
}
}  // namespace

TEST(PlaylistParsers, SurviveMutatedText) {
  const std::string m3u = "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:10,A\r\na/b.mp3\r\n..\\c.mp3\nD:\\x.mp3\rhttp://h/s\r\n";
  const std::string pls = "[playlist]\r\nFile2=b.mp3\r\nTitle2=B\r\nFile1=..\\a.mp3\r\nLength1=3\r\nVersion=2\r\n";
  std::mt19937 random(20240611);
  for (int i = 0; i < 2500; ++i) {
    std::string m3uText = Mutate(m3u, random);
    std::string plsText = Mutate(pls, random);
    CM3UPlaylist* m3uList = new CM3UPlaylist();
    CPLSPlaylist* plsList = new CPLSPlaylist();
    CheckParsed(*m3uList, m3uText);
    CheckParsed(*plsList, plsText);
    m3uList->Destroy();
    plsList->Destroy();
    if (HasFatalFailure()) return;
  }
}
