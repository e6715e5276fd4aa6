#include "CdTestDrive.h"

#include "TestSupport.h"

std::string ImageInDrive::Sectors(const wchar_t* bin, DWORD first, DWORD count) {
  const std::string all = ReadFileBytes(std::wstring(L"tools\\vcdrive-image\\") + bin);
  return all.substr(static_cast<size_t>(first) * 2352, static_cast<size_t>(count) * 2352);
}
