// Small path-text operations shared by sources, destinations and the store.
#pragma once

#include <string>

// Position after the root of a path ("C:\", "\\server\share\", "\\?\C:\", "\"), 0 for a relative path.
size_t PathRootLength(const std::wstring& path);
// The path without its last element ("" when it has no folder part).
std::wstring PathFolder(const std::wstring& path);
// The last element of a path.
std::wstring PathFileName(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Creates every missing folder of the chain; true when the whole folder is a directory afterwards.
bool CreateFolderChain(const std::wstring& folder);
// Copies text into a caller's buffer of cch characters, cut to fit; false when there is no room at all.
bool CopyTruncated(wchar_t* buf, int cch, const std::wstring& text);
