#include "TempFile.h"

#include <cwchar>

namespace {
// Both threads keep the file open, and the encoder deletes a file it has finished while it may still be open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}  // namespace

HRESULT CTempFile::Create(const std::wstring& wanted) {
  Close();
  path = wanted;
  for (int suffix = 1; GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++suffix) {
    wchar_t tail[32];
    swprintf(tail, 32, L".%d.tmp", suffix);
    path = wanted + tail;
  }
  file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? S_OK : E_FAIL;
}

bool CTempFile::Open(const std::wstring& existing) {
  Close();
  path = existing;
  file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

bool CTempFile::Append(const void* data, DWORD size) {
  LARGE_INTEGER end = {};
  if (!file || !SetFilePointerEx(file.Get(), end, nullptr, FILE_END)) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), data, size, &written, nullptr) && written == size;
}

bool CTempFile::Flush() { return file && FlushFileBuffers(file.Get()); }

bool CTempFile::Read(void* data, DWORD size, DWORD* got) {
  *got = 0;
  return file && ReadFile(file.Get(), data, size, got, nullptr);
}

bool CTempFile::Seek(LONGLONG position) {
  LARGE_INTEGER at;
  at.QuadPart = position;
  return file && SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN);
}

LONGLONG CTempFile::Position() const {
  LARGE_INTEGER zero = {}, at = {};
  return file && SetFilePointerEx(file.Get(), zero, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

LONGLONG CTempFile::Size() const {
  LARGE_INTEGER size = {};
  return file && GetFileSizeEx(file.Get(), &size) ? size.QuadPart : -1;
}

bool CTempFile::WriteAt(LONGLONG position, const void* data, DWORD size) {
  const LONGLONG back = Position();
  DWORD written = 0;
  const bool ok = Seek(position) && WriteFile(file.Get(), data, size, &written, nullptr) && written == size;
  Seek(back);
  return ok;
}

void CTempFile::CloseAndDelete() {
  Close();
  if (!path.empty()) DeleteFileW(path.c_str());
}
