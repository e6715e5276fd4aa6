// Temporary output names and the clean-up of those a killed converter left behind.
#include "SafeOutput.h"

#include <windows.h>

#include <atomic>
#include <cwctype>
#include <mutex>
#include <set>

#include "FileIdentity.h"
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

std::wstring TemporaryPlaylistName(const std::wstring& finalPath) {
  std::wstring path = TemporaryOutputName(finalPath);
  // The temporary name's only dot is the one before the extension.
  size_t dot = path.rfind(L'.');
  size_t slash = path.find_last_of(L"\\/");
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
    for (size_t at = dot; at < path.size(); ++at) path[at] = static_cast<wchar_t>(towlower(path[at]));
  return path;
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
  FileIdentity a, b;
  return IdentityOf(first, &a) && IdentityOf(second, &b) && a == b;
}
