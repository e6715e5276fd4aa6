// PLS playlists: INI-style sections and key=value lines, of which only the File keys count.
#include "PLSPlaylist.h"

#include <cstring>

HRESULT CPLSPlaylist::Save(const wchar_t*) { return E_NOTIMPL; }

void CPLSPlaylist::Parse(const std::string& text, const std::wstring& folder, UINT codePage) {
  ForEachLine(text, [&](const char* line, size_t length) {
    size_t start = 0;
    while (start < length && (line[start] == ' ' || line[start] == '\t')) ++start;
    if (start == length || line[start] == '[') return;
    const char* key = line + start;
    const char* equals = static_cast<const char*>(memchr(key, '=', length - start));
    // Lines without "=" are malformed and skipped. The number after "File" is ignored on purpose:
    // entries keep the order of their lines.
    if (!equals || equals - key < 4 || memcmp(key, "File", 4) != 0) return;
    const char* value = equals + 1;
    AddEntry(value, static_cast<size_t>(line + length - value), codePage, folder);
  });
}
