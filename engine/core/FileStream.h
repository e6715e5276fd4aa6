// A file on a wide path with 64-bit positions: the multimedia file I/O of the platform keeps positions in
// 32-bit signed values, which breaks RIFF files beyond 2 GB.
#pragma once

#include <windows.h>

#include "UniqueHandles.h"

class CFileStream {
 public:
  bool OpenForReading(const wchar_t* path);
  // Creates or replaces the file, for reading and writing.
  bool Create(const wchar_t* path);
  void Close() { file.Reset(); }
  bool IsOpen() const { return static_cast<bool>(file); }

  // Bytes read (fewer at the end of the file), or -1 on an error.
  long long Read(void* data, DWORD size);
  bool ReadExactly(void* data, DWORD size) { return Read(data, size) == static_cast<long long>(size); }
  // False on a short write, such as on a full disk; LastError() then tells why.
  bool Write(const void* data, DWORD size);
  bool Seek(unsigned long long position);
  bool Skip(unsigned long long bytes);
  unsigned long long Position() const;
  unsigned long long Size() const;
  // Flushes what the system holds for the file: a full disk can show only here.
  bool Flush();
  DWORD LastError() const { return lastError; }

 private:
  UniqueFile file;
  DWORD lastError = ERROR_SUCCESS;
};
