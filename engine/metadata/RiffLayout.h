// RiffLayout: the chunks of a RIFF/WAVE file as found on disk, and where a new LIST/INFO chunk may go.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Random access to the bytes of a file: the file itself, or bytes in memory.
class RiffBytes {
 public:
  virtual ~RiffBytes() = default;
  virtual UINT64 Size() const = 0;
  // Exactly `size` bytes at `offset`; false when fewer can be read.
  virtual bool ReadAt(UINT64 offset, void* buffer, size_t size) = 0;
};

class MemoryRiffBytes final : public RiffBytes {
 public:
  explicit MemoryRiffBytes(const std::string& bytes) : bytes(bytes) {}
  UINT64 Size() const override { return bytes.size(); }
  bool ReadAt(UINT64 offset, void* buffer, size_t size) override;

 private:
  const std::string& bytes;
};

struct RiffChunk {
  char id[4] = {};
  UINT64 offset = 0;     // of the 8-byte header
  UINT32 size = 0;       // as the header says
  UINT64 available = 0;  // payload bytes the file holds (less than size only in a damaged file)

  bool Is(const char* name) const;
  UINT64 PayloadOffset() const { return offset + 8; }
};

struct RiffLayout {
  std::vector<RiffChunk> chunks;
  UINT64 fileSize = 0;
  // Where the chunk after the last one would start (past the last chunk's pad byte, even when the file lacks it).
  UINT64 end = 0;
  bool complete = false;  // every chunk lies whole within the file, nothing unaccounted for follows

  // Reads the chunk headers after "RIFF"/"WAVE"; false when the file does not start that way. A RIFF size of 0
  // or 0xFFFFFFFF (a file written to a pipe) counts as "up to the end of the file". Damage ends the walk; what
  // was found before it is kept and `complete` stays false.
  bool Walk(RiffBytes& bytes);

  bool Has(const char* name) const;
  // The LIST chunks of list type "INFO", in file order.
  std::vector<const RiffChunk*> InfoLists(RiffBytes& bytes) const;
};

// Chunks the walk looks at before it gives up: more is no sound file.
constexpr size_t kMostRiffChunks = 65536;
// An INFO list larger than this is not read whole, and a file holding one is not rewritten (nothing in it is
// lost); neither is a file with more INFO lists than the count below.
constexpr UINT32 kLargestInfoList = 1u << 20;
constexpr size_t kMostInfoLists = 16;

// How to put a new LIST/INFO chunk into a file without moving the audio: a last INFO list is overwritten
// (the file is cut or grown to fit), earlier ones become JUNK, otherwise the chunk is appended.
struct InfoWritePlan {
  bool possible = false;
  std::vector<RiffChunk> junk;  // INFO lists to be turned into JUNK chunks of the same size
  UINT64 padAt = 0;             // where a missing pad byte of the last chunk goes; 0 when none
  UINT64 writeAt = 0;           // where the new chunk goes
  UINT64 newFileSize = 0;       // the file is cut or grown to this size
};

// Refused (possible false) unless the layout is a complete RIFF/WAVE file with "fmt " and "data", its INFO
// lists are few and small enough to rewrite, and the result stays within 4 GB. `chunkSize` 0 removes INFO lists only.
InfoWritePlan PlanInfoWrite(RiffBytes& bytes, const RiffLayout& layout, UINT64 chunkSize);
