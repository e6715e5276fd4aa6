// Text handling shared by the playlist formats: whole-file reading and writing, line splitting, code pages,
// and the resolution of an entry into a full path.
#pragma once

#include <windows.h>

#include <string>

#include "Utf8Text.h"

// The whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string* bytes);
// Replaces the file; false when it cannot be created or fully written.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// Decides how a playlist file's bytes are encoded and leaves text in a form the line parsers read: byte-order
// marks removed, UTF-16 (little- or big-endian, marked) turned into UTF-8. Returns the code page of the result:
// CP_UTF8 for marked text, for unmarked text that is valid UTF-8 with non-ASCII characters, and always when
// alwaysUtf8 is set; CP_ACP (the system code page) otherwise.
UINT TakePlaylistEncoding(std::string* text, bool alwaysUtf8);
// Playlists named ".m3u8" (any case) are UTF-8 whatever their bytes, when read and when written.
bool IsUtf8PlaylistPath(const std::wstring& path);

// Calls line(begin, length) for every line; CR LF, LF and a lone CR all end a line.
template <class LineHandler>
void ForEachLine(const std::string& text, LineHandler&& line) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    line(text.data() + start, end - start);
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

// The full path an entry stands for, relative entries joined to folder; empty when the entry is dropped
// (blank, or a URL).
std::wstring ResolvePlaylistEntry(std::wstring entry, const std::wstring& folder);
// folder + relative path; "." elements vanish and ".." removes the level before it, never the root.
std::wstring JoinPlaylistPath(const std::wstring& folder, const std::wstring& relative);
