// M3U playlists: one entry per line, "#" comments, a header naming the program when written.
#include "M3UPlaylist.h"

namespace {
const wchar_t kProductName[] = L"Tavrel";
const wchar_t kVersionText[] = L"v8.0";
const wchar_t kHomePage[] = L"https://www.quennet.com/tavrel/";
}  // namespace

void CM3UPlaylist::Parse(const std::string& text, const std::wstring& folder, UINT codePage) {
  // A whole line is one entry, however long: cutting it into pieces would invent paths.
  ForEachLine(text, [&](const char* line, size_t length) {
    if (length > 0 && line[0] != '#') AddEntry(line, length, codePage, folder);
  });
}

HRESULT CM3UPlaylist::Save(const wchar_t* path) {
  return GuardedHResult([&]() -> HRESULT {
    if (!path) return E_INVALIDARG;
    std::wstring folder = PathFolder(path);
    std::wstring text = FormatText(1024, L"# Created by %ls %ls\r\n# Get this program at: %ls\r\n", kProductName,
                                   kVersionText, kHomePage);
    for (const std::wstring& item : items) {
      bool inFolder = !folder.empty() && item.size() > folder.size() && item.compare(0, folder.size(), folder) == 0 &&
                      item[folder.size()] == L'\\';
      text += inFolder ? L"." + item.substr(folder.size()) : item;
      text += L"\r\n";
    }
    // Names the system code page cannot hold would turn into "?": such a playlist is written as UTF-8
    // with a byte-order mark instead, which Load reads back. An ".m3u8" playlist is UTF-8 by its name alone.
    bool lossy = false;
    std::string bytes;
    if (IsUtf8PlaylistPath(path)) {
      bytes = EncodeText(text, CP_UTF8, nullptr);
    } else {
      bytes = EncodeText(text, CP_ACP, &lossy);
      if (lossy) bytes = "\xEF\xBB\xBF" + EncodeText(text, CP_UTF8, nullptr);
    }
    if (!WriteWholeFile(path, bytes)) return E_FAIL;
    Rewind();
    return S_OK;
  });
}
