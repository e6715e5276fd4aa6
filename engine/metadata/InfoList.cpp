// InfoList: parsing bounded by the list's own size and by what the file holds; writing in UTF-8.
#include "InfoList.h"

#include <windows.h>

#include <algorithm>

#include "MetadataText.h"
#include "Utf8Text.h"

namespace {
UINT32 ReadUint32(const std::string& bytes, size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<UINT32>(b[3]) << 24;
}

void AppendUint32(std::string& bytes, UINT32 value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

std::vector<InfoEntry> ReadInfoEntries(RiffBytes& bytes, const RiffChunk& list) {
  std::vector<InfoEntry> entries;
  const size_t size = static_cast<size_t>(std::min<UINT64>(list.available, kLargestInfoList));
  std::string payload(size, '\0');
  if (size < 4 || !bytes.ReadAt(list.PayloadOffset(), payload.data(), size)) return entries;
  for (UINT64 at = 4; at + 8 <= size;) {
    const UINT32 entrySize = ReadUint32(payload, static_cast<size_t>(at) + 4);
    const size_t start = static_cast<size_t>(at) + 8;
    std::string text = payload.substr(start, static_cast<size_t>(std::min<UINT64>(entrySize, size - start)));
    text.resize(std::min(text.find('\0'), text.size()));
    entries.push_back({payload.substr(static_cast<size_t>(at), 4), std::move(text)});
    at += 8ull + entrySize + (entrySize & 1);
  }
  return entries;
}

bool BuildInfoList(const std::vector<InfoEntry>& entries, std::string* chunk) {
  std::string payload = "INFO";
  for (const InfoEntry& entry : entries) {
    if (entry.text.empty() || entry.id.size() != 4) continue;
    if (entry.text.size() > kLargestInfoList) return false;
    const size_t size = entry.text.size() + 1;
    payload += entry.id;
    AppendUint32(payload, static_cast<UINT32>(size));
    payload += entry.text;
    payload.append(size & 1 ? 2 : 1, '\0');
    if (payload.size() + 8 > kLargestInfoList) return false;
  }
  chunk->clear();
  if (payload.size() == 4) return true;
  *chunk = "LIST";
  AppendUint32(*chunk, static_cast<UINT32>(payload.size()));
  *chunk += payload;
  return true;
}

std::wstring DecodeInfoText(const std::string& bytes) {
  std::wstring text = IsValidUtf8(bytes) ? WidenUtf8(bytes) : WidenAnsi(bytes);
  text.erase(std::find_if(text.rbegin(), text.rend(), [](wchar_t ch) { return ch != L' ' && ch != L'\t'; }).base(),
             text.end());
  return text;
}
