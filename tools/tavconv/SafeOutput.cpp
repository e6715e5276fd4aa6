// Temporary output names and the clean-up of those a killed converter left behind.
#include "SafeOutput.h"

#include <windows.h>

#include <atomic>
#include <cwctype>
#include <mutex>
#include <set>

#include "UniqueHandles.h"

namespace {
const wchar_t kPrefix[] = L"~tavconv";
constexpr size_t kPrefixLength = sizeof(kPrefix) / sizeof(kPrefix[0]) - 1;

// The process number in a name made by TemporaryOutputName, or 0 when the name is not one of ours.
DWORD ProcessOfTemporaryName(const std::wstring& name) {
  if (name.compare(0, kPrefixLength, kPrefix) != 0) return 0;
  size_t at = kPrefixLength;
  unsigned long long process = 0;
  while (at < name.size() && iswdigit(name[at]) && process <= 0xFFFFFFFFull)
    process = process * 10 + (name[at++] - L'0');
  if (at == kPrefixLength || at >= name.size() || name[at] != L'-' || process > 0xFFFFFFFFull) return 0;
  size_t digits = ++at;
  while (at < name.size() && iswdigit(name[at])) ++at;
  if (at == digits || (at < name.size() && name[at] != L'.')) return 0;
  return static_cast<DWORD>(process);
}

bool ProcessIsRunning(DWORD process) {
  UniqueHandle handle(OpenProcess(SYNCHRONIZE, FALSE, process));
  if (!handle) return GetLastError() == ERROR_ACCESS_DENIED;  // someone else's running process
  return WaitForSingleObject(handle.Get(), 0) == WAIT_TIMEOUT;
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  UniqueFile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && GetFileInformationByHandle(file.Get(), &info);
}
}  // namespace

std::wstring TemporaryOutputName(const std::wstring& finalPath) {
  static std::atomic<unsigned> sequence{0};
  size_t slash = finalPath.find_last_of(L"\\/");
  size_t dot = finalPath.rfind(L'.');
  std::wstring extension =
      dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? finalPath.substr(dot) : L"";
  std::wstring name = kPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++sequence) + extension;
  std::wstring path = slash == std::wstring::npos ? name : finalPath.substr(0, slash + 1) + name;
  return path.size() < MAX_PATH ? path : std::wstring();
}

void RemoveAbandonedOutputs(const std::wstring& folder) {
  static std::mutex lock;
  static std::set<std::wstring> seen;
  {
    std::wstring key = folder;
    for (wchar_t& c : key) c = static_cast<wchar_t>(towlower(c));
    std::lock_guard<std::mutex> guard(lock);
    if (!seen.insert(key).second) return;
  }
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((folder + L"\\" + kPrefix + L"*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    DWORD process = ProcessOfTemporaryName(data.cFileName);
    if (process == 0 || process == GetCurrentProcessId() || ProcessIsRunning(process)) continue;
    DeleteFileW((folder + L"\\" + data.cFileName).c_str());
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

bool SameExistingFile(const std::wstring& first, const std::wstring& second) {
  BY_HANDLE_FILE_INFORMATION a, b;
  return FileIdentity(first, a) && FileIdentity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
