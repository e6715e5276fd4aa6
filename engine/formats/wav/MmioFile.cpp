// mmio on wide file names: mmioOpenW does not take every Unicode name on every platform, the file API does.
#include "MmioFile.h"

HMMIO OpenMmioFile(const wchar_t* path, bool create) {
  if (!path) return nullptr;
  HANDLE file = create ? CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  MMIOINFO info = {};
  info.fccIOProc = FOURCC_DOS;
  // Kernel handles are 32-bit values even in 64-bit processes.
  info.adwInfo[0] = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(file));
  HMMIO mmio = mmioOpenW(nullptr, &info, create ? MMIO_READWRITE | MMIO_ALLOCBUF : MMIO_READ);
  if (!mmio) CloseHandle(file);
  return mmio;
}
