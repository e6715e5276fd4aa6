// Path-text operations and the folder-chain creation of destinations.
#include "PathText.h"

#include <windows.h>

#include <algorithm>

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

size_t SkipComponent(const std::wstring& path, size_t pos) {
  while (pos < path.size() && !IsSeparator(path[pos])) ++pos;
  return pos < path.size() ? pos + 1 : pos;
}
}  // namespace

size_t PathRootLength(const std::wstring& path) {
  size_t pos = 0;
  if (path.compare(0, 4, L"\\\\?\\") == 0) {
    pos = 4;
    if (path.compare(4, 4, L"UNC\\") == 0) return SkipComponent(path, SkipComponent(path, 8));
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return SkipComponent(path, SkipComponent(path, 2));  // \\server\share\ .
  }
  if (path.size() >= pos + 2 && path[pos + 1] == L':') {
    pos += 2;
    if (pos < path.size() && IsSeparator(path[pos])) ++pos;
    return pos;
  }
  if (pos < path.size() && IsSeparator(path[pos])) ++pos;
  return pos;
}

std::wstring PathFolder(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  return path.substr(0, slash);
}

std::wstring PathFileName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CreateFolderChain(const std::wstring& folder) {
  if (folder.empty()) return false;
  if (IsDirectory(folder)) return true;
  for (size_t pos = PathRootLength(folder); pos < folder.size(); ++pos) {
    if (!IsSeparator(folder[pos])) continue;
    std::wstring prefix = folder.substr(0, pos);
    if (!prefix.empty() && !IsSeparator(prefix.back()) && !IsDirectory(prefix))
      CreateDirectoryW(prefix.c_str(), nullptr);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  return IsDirectory(folder);
}

bool CopyTruncated(wchar_t* buf, int cch, const std::wstring& text) {
  if (!buf || cch <= 0) return false;
  size_t count = std::min(text.size(), static_cast<size_t>(cch) - 1);
  text.copy(buf, count);
  buf[count] = L'\0';
  return true;
}
