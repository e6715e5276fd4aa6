// CTempFile: a spool file of the recorder, open for reading and writing; the capture thread appends to its
// copy while the encoder thread reads its own copy of the same file.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueHandles.h"

class CTempFile {
 public:
  CTempFile() = default;
  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;
  ~CTempFile() { Close(); }

  // A new empty file at path, or at path + ".1.tmp", ".2.tmp", ... when that exists; E_FAIL when none can be made.
  HRESULT Create(const std::wstring& path);
  // An existing file, from its start.
  bool Open(const std::wstring& path);
  bool Append(const void* data, DWORD size);
  bool Flush();
  // Reads up to size bytes at the current position; false on a read error.
  bool Read(void* data, DWORD size, DWORD* got);
  bool Seek(LONGLONG position);
  LONGLONG Position() const;
  LONGLONG Size() const;
  bool WriteAt(LONGLONG position, const void* data, DWORD size);
  void Close() { file.Reset(); }
  void CloseAndDelete();

  const std::wstring& Path() const { return path; }
  bool IsOpen() const { return static_cast<bool>(file); }

 private:
  std::wstring path;
  UniqueFile file;
};
