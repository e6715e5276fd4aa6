// Lookup in the table of WAVE format tag names: UTF-16 lines "0xNNNN name " with a byte-order mark.
#include "CodecNames.h"

#include <algorithm>

#include "EngineResources.h"
#include "resource.h"

namespace {
constexpr size_t kNameLimit = 200;

// The table as text, from the current resource module (a language pack may carry its own).
std::wstring TableText() {
  for (HMODULE module : {ResourceModule(), EngineModule()}) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_CODEC_NAMES), L"TEXT");
    if (!found) continue;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* text = loaded ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
    DWORD bytes = SizeofResource(module, found);
    if (!text || bytes < sizeof(wchar_t)) continue;
    std::wstring table(text, bytes / sizeof(wchar_t));
    if (!table.empty() && table[0] == 0xFEFF) table.erase(0, 1);
    return table;
  }
  return {};
}
}  // namespace

std::wstring MissingCodecName(DWORD tag) {
  std::wstring table = TableText();
  std::wstring key = FormatText(16, L"0x%04lX ", tag & 0xFFFF);
  for (size_t line = 0; line < table.size();) {
    size_t end = table.find(L'\n', line);
    if (end == std::wstring::npos) end = table.size();
    if (table.compare(line, key.size(), key) == 0) {
      std::wstring name = table.substr(line + key.size(), end - line - key.size());
      while (!name.empty() && (name.back() == L'\r' || name.back() == L' ')) name.pop_back();
      return name.substr(0, kNameLimit);
    }
    line = end + 1;
  }
  return FormatText(16, L"%04lX", tag & 0xFFFF);
}
