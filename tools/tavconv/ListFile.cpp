// List files: whatever encoding the writer chose, non-Latin paths survive.
#include "ListFile.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace {
std::wstring Decode(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  UINT codePage = CP_ACP;
  size_t skip = 0;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    codePage = CP_UTF8;
    skip = 3;
  }
  if (bytes.size() == skip) return {};
  int count = MultiByteToWideChar(codePage, 0, bytes.data() + skip, static_cast<int>(bytes.size() - skip), nullptr, 0);
  std::wstring text(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data() + skip, static_cast<int>(bytes.size() - skip), text.data(), count);
  return text;
}
}  // namespace

bool ReadListFile(const std::wstring& path, std::vector<std::wstring>& paths, std::wstring& error) {
  std::ifstream file(path.c_str(), std::ios::binary);
  if (!file) {
    error = L"Conversion list file cannot be opened.";
    return false;
  }
  std::wstring text = Decode(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == L'\r' || line.back() == L' ' || line.back() == L'\t')) line.pop_back();
    if (!line.empty()) paths.push_back(line);
    start = end + 1;
  }
  if (paths.empty()) {
    error = L"Conversion list file is empty.";
    return false;
  }
  return true;
}
