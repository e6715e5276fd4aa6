// Playlist text: files, code pages and entry resolution.
#include "PlaylistText.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

#include "PathText.h"
#include "Utf8Text.h"
#include "UniqueHandles.h"

namespace {
bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsUrl(const std::wstring& entry) {
  return StartsWith(entry, L"http://") || StartsWith(entry, L"ftp://") || StartsWith(entry, L"file://");
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }
}  // namespace

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bytes->clear();
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return false;
    if (got == 0) return true;
    bytes->append(chunk.data(), got);
  }
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(file.Get(), bytes.data() + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

namespace {
// UTF-16 text (without its mark) as UTF-8; an odd last byte is dropped, unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
  std::wstring wide(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < wide.size(); ++i) {
    unsigned char first = static_cast<unsigned char>(bytes[2 * i]),
                  second = static_cast<unsigned char>(bytes[2 * i + 1]);
    wide[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return EncodeText(wide, CP_UTF8, nullptr);
}

bool HasNonAscii(const std::string& bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}
}  // namespace

UINT TakePlaylistEncoding(std::string* text, bool alwaysUtf8) {
  if (text->compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text->erase(0, 3);
    return CP_UTF8;
  }
  if (text->compare(0, 2, "\xFF\xFE") == 0 || text->compare(0, 2, "\xFE\xFF") == 0) {
    bool bigEndian = (*text)[0] == '\xFE';
    *text = Utf16ToUtf8(text->substr(2), bigEndian);
    return CP_UTF8;
  }
  if (alwaysUtf8) return CP_UTF8;
  // Unmarked text that is valid UTF-8 is taken as UTF-8: text in a single-byte code page with non-ASCII letters
  // practically never forms valid multi-byte sequences.
  return HasNonAscii(*text) && IsValidUtf8(*text) ? CP_UTF8 : CP_ACP;
}

bool IsUtf8PlaylistPath(const std::wstring& path) {
  return path.size() >= 5 && _wcsicmp(path.c_str() + path.size() - 5, L".m3u8") == 0;
}


std::wstring JoinPlaylistPath(const std::wstring& folder, const std::wstring& relative) {
  std::wstring combined = folder;
  if (!combined.empty() && combined.back() != L'\\' && combined.back() != L'/') combined += L'\\';
  combined += relative;

  size_t root = PathRootLength(combined);
  std::vector<std::wstring> elements;
  size_t start = root;
  while (start <= combined.size()) {
    size_t end = combined.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = combined.size();
    std::wstring element = combined.substr(start, end - start);
    if (element == L"..") {
      if (!elements.empty() && elements.back() != L"..")
        elements.pop_back();
      else if (root == 0)
        elements.push_back(element);  // a relative folder keeps what it cannot resolve
    } else if (!element.empty() && element != L".") {
      elements.push_back(element);
    }
    start = end + 1;
  }

  std::wstring path = combined.substr(0, root);
  for (size_t i = 0; i < elements.size(); ++i) {
    if (i > 0) path += L'\\';
    path += elements[i];
  }
  return path;
}

std::wstring ResolvePlaylistEntry(std::wstring entry, const std::wstring& folder) {
  bool url = IsUrl(entry);
  if (!url)
    for (wchar_t& c : entry)
      if (c == L'/') c = L'\\';
  size_t end = entry.size();
  while (end > 0 && IsBlank(entry[end - 1])) --end;
  entry.resize(end);
  if (entry.empty() || url) return {};

  bool absolute =
      !StartsWith(entry, L"..") && ((entry.size() >= 3 && entry[1] == L':' && entry[2] == L'\\') || entry[0] == L'\\');
  if (absolute) return entry;
  return JoinPlaylistPath(folder, entry);
}
