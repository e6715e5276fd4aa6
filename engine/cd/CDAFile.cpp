// The ".cda" reader: the RIFF chunks are walked by the file's own length, so a damaged size cannot lead past it.
#include "CDAFile.h"

#include <cstring>

#include "FileStream.h"

namespace {
DWORD ReadUint32(const BYTE* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
}
}  // namespace

HRESULT CCDAFile::Read(const wchar_t* path) {
  if (!path || !*path) return E_INVALIDARG;
  CFileStream file;
  if (!file.OpenForReading(path)) return E_FAIL;
  BYTE header[12];
  if (!file.ReadExactly(header, sizeof(header)) || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "CDDA", 4) != 0)
    return E_FAIL;
  const unsigned long long size = file.Size();
  for (unsigned long long position = 12; position + 8 <= size;) {
    BYTE chunk[8];
    if (!file.Seek(position) || !file.ReadExactly(chunk, sizeof(chunk))) return E_FAIL;
    const DWORD length = ReadUint32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length != sizeof(cdrip::CDTrackInfo)) return E_FAIL;
      cdrip::CDTrackInfo read;
      if (!file.ReadExactly(&read, sizeof(read))) return E_FAIL;
      info = read;
      return S_OK;
    }
    position += 8ull + length + (length & 1);
  }
  return E_FAIL;
}
