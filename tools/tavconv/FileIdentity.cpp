// File identities from the file system.
#include "FileIdentity.h"

#include "UniqueHandles.h"

bool IdentityOf(const std::wstring& path, FileIdentity* identity) {
  // Backup semantics are what lets a folder be opened at all.
  UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!file || !GetFileInformationByHandle(file.Get(), &information)) return false;
  *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
  return true;
}
