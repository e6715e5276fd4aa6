// The records of a spool file (little-endian): a 20-byte header, then the audio of a block, or the path of the
// next spool file in a change-file record.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

constexpr UINT32 kSpoolMagic = 0xAABBCCDD;
// A block the encoder has handed to the output: a recovery after a crash leaves it out.
constexpr UINT32 kSpoolMagicEncoded = 0xAABBCCDE;
constexpr WORD kSpoolAudio = 0;
constexpr WORD kSpoolChangeFile = 1;
constexpr size_t kSpoolPathChars = 260;

#pragma pack(push, 1)
struct SpoolHeader {
  UINT32 magic;
  UINT32 sequence;      // from 1, one higher for each block
  UINT32 length;        // bytes of audio behind the header
  UINT32 audible;       // the length, less the trailing silence in the block where a silence began
  WORD kind;
  WORD reserved;
};
struct SpoolChangeFile {
  SpoolHeader header;  // of the block just written to the next file, with the change-file kind
  wchar_t path[kSpoolPathChars];
};
#pragma pack(pop)
static_assert(sizeof(SpoolHeader) == 20);
static_assert(offsetof(SpoolHeader, sequence) == 4 && offsetof(SpoolHeader, length) == 8 &&
              offsetof(SpoolHeader, audible) == 12 && offsetof(SpoolHeader, kind) == 16);
static_assert(sizeof(SpoolChangeFile) == 540);

// The name of the spool file whose first block has this sequence number (0 for the first file).
inline std::wstring SpoolFileName(const std::wstring& base, UINT32 firstSequence) {
  wchar_t tail[32];
  swprintf(tail, 32, L".vxc-%06u", firstSequence);
  return base + tail;
}
