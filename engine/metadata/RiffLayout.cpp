// RiffLayout: a bounded walk over the chunk headers of a RIFF/WAVE file and the plan for rewriting its INFO list.
#include "RiffLayout.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr UINT64 kLargestRiffFile = 1ull << 32;

UINT32 ReadUint32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<UINT32>(bytes[3]) << 24;
}
}  // namespace

bool MemoryRiffBytes::ReadAt(UINT64 offset, void* buffer, size_t size) {
  if (offset > bytes.size() || bytes.size() - offset < size) return false;
  std::memcpy(buffer, bytes.data() + offset, size);
  return true;
}

bool RiffChunk::Is(const char* name) const { return std::memcmp(id, name, 4) == 0; }

bool RiffLayout::Walk(RiffBytes& bytes) {
  chunks.clear();
  complete = false;
  fileSize = bytes.Size();
  unsigned char header[12];
  if (!bytes.ReadAt(0, header, sizeof(header)) || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0)
    return false;
  const UINT32 riffSize = ReadUint32(header + 4);
  const UINT64 riffEnd = (riffSize == 0 || riffSize == 0xFFFFFFFF) ? fileSize : 8ull + riffSize;
  // One byte past the RIFF chunk is its pad byte; more belongs to something else, which is never ours to touch.
  const UINT64 limit = fileSize > riffEnd + 1 ? riffEnd : fileSize;
  UINT64 position = 12;
  bool damaged = false;
  while (position < limit) {
    unsigned char chunkHeader[8];
    if (chunks.size() >= kMostRiffChunks || limit - position < 8 ||
        !bytes.ReadAt(position, chunkHeader, sizeof(chunkHeader))) {
      damaged = true;
      break;
    }
    RiffChunk chunk;
    std::memcpy(chunk.id, chunkHeader, 4);
    chunk.offset = position;
    chunk.size = ReadUint32(chunkHeader + 4);
    chunk.available = std::min<UINT64>(chunk.size, limit - position - 8);
    chunks.push_back(chunk);
    if (chunk.available < chunk.size) {
      damaged = true;
      break;
    }
    position += 8ull + chunk.size + (chunk.size & 1);
  }
  end = position;
  complete = !damaged && limit == fileSize;
  return true;
}

bool RiffLayout::Has(const char* name) const {
  return std::any_of(chunks.begin(), chunks.end(), [&](const RiffChunk& chunk) { return chunk.Is(name); });
}

std::vector<const RiffChunk*> RiffLayout::InfoLists(RiffBytes& bytes) const {
  std::vector<const RiffChunk*> lists;
  for (const RiffChunk& chunk : chunks) {
    char type[4];
    if (chunk.Is("LIST") && chunk.available >= 4 && bytes.ReadAt(chunk.PayloadOffset(), type, 4) &&
        std::memcmp(type, "INFO", 4) == 0)
      lists.push_back(&chunk);
  }
  return lists;
}

InfoWritePlan PlanInfoWrite(RiffBytes& bytes, const RiffLayout& layout, UINT64 chunkSize) {
  InfoWritePlan plan;
  if (!layout.complete || !layout.Has("fmt ") || !layout.Has("data")) return plan;
  std::vector<const RiffChunk*> lists = layout.InfoLists(bytes);
  if (lists.size() > kMostInfoLists) return plan;
  for (const RiffChunk* list : lists)
    if (list->size > kLargestInfoList) return plan;
  const RiffChunk* last = &layout.chunks.back();
  const bool lastIsInfo = !lists.empty() && lists.back() == last;
  for (const RiffChunk* list : lists)
    if (list != last) plan.junk.push_back(*list);
  if (lastIsInfo) {
    plan.writeAt = last->offset;
  } else {
    plan.writeAt = layout.end;
    // A last chunk of odd size often ends the file without its pad byte; a chunk after it needs the pad.
    if (layout.end > layout.fileSize && chunkSize > 0) plan.padAt = layout.fileSize;
  }
  if (chunkSize > 0)
    plan.newFileSize = plan.writeAt + chunkSize;
  else
    plan.newFileSize = lastIsInfo ? last->offset : layout.fileSize;
  if (plan.newFileSize > kLargestRiffFile) return plan;
  plan.possible = true;
  return plan;
}
