// Wide-path files with 64-bit positions.
#include "FileStream.h"

bool CFileStream::OpenForReading(const wchar_t* path) {
  file.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  lastError = file ? ERROR_SUCCESS : GetLastError();
  return IsOpen();
}

bool CFileStream::Create(const wchar_t* path) {
  file.Reset(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  lastError = file ? ERROR_SUCCESS : GetLastError();
  return IsOpen();
}

long long CFileStream::Read(void* data, DWORD size) {
  long long total = 0;
  auto* bytes = static_cast<BYTE*>(data);
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), bytes, size, &got, nullptr)) {
      lastError = GetLastError();
      return -1;
    }
    if (got == 0) break;
    total += got;
    bytes += got;
    size -= got;
  }
  return total;
}

bool CFileStream::Write(const void* data, DWORD size) {
  auto* bytes = static_cast<const BYTE*>(data);
  while (size > 0) {
    DWORD put = 0;
    if (!WriteFile(file.Get(), bytes, size, &put, nullptr)) {
      lastError = GetLastError();
      return false;
    }
    if (put == 0) {
      lastError = ERROR_DISK_FULL;
      return false;
    }
    bytes += put;
    size -= put;
  }
  return true;
}

bool CFileStream::Seek(unsigned long long position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (SetFilePointerEx(file.Get(), to, nullptr, FILE_BEGIN)) return true;
  lastError = GetLastError();
  return false;
}

bool CFileStream::Skip(unsigned long long bytes) { return Seek(Position() + bytes); }

unsigned long long CFileStream::Position() const {
  LARGE_INTEGER zero = {}, at = {};
  return SetFilePointerEx(file.Get(), zero, &at, FILE_CURRENT) ? static_cast<unsigned long long>(at.QuadPart) : 0;
}

unsigned long long CFileStream::Size() const {
  LARGE_INTEGER size = {};
  return GetFileSizeEx(file.Get(), &size) ? static_cast<unsigned long long>(size.QuadPart) : 0;
}

bool CFileStream::Flush() {
  if (FlushFileBuffers(file.Get())) return true;
  lastError = GetLastError();
  return false;
}
