// The virtual drive as the CD tests use it: which image is in the drive, which faults it shows (both read by the
// drive on every command), and a sink that keeps what a track delivers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tavcore.h"

// Puts an image of the test fixture ("disc.cue", "mixed.cue", "many.cue") into the drive for the test's life.
class ImageInDrive {
 public:
  explicit ImageInDrive(const wchar_t* name = L"disc.cue") { Change(name); }
  ~ImageInDrive() { SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", nullptr); }
  void Change(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    GetFullPathNameW((std::wstring(L"tools\\vcdrive-image\\") + name).c_str(), MAX_PATH, path, nullptr);
    SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", path);
  }
  static std::string Sectors(const wchar_t* bin, DWORD first, DWORD count);  // raw bytes of the image's file
};

class FaultsInDrive {
 public:
  explicit FaultsInDrive(const wchar_t* faults) { SetEnvironmentVariableW(L"TAVREL_CD_FAULTS", faults); }
  ~FaultsInDrive() { SetEnvironmentVariableW(L"TAVREL_CD_FAULTS", nullptr); }
};

class KeepingSink : public IPlayCallback {
 public:
  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override {
    sizes.push_back(size);
    bytes.append(static_cast<const char*>(data), size);
    return sizes.size() < stopAfter;
  }
  std::vector<UINT32> sizes;
  std::string bytes;
  size_t stopAfter = SIZE_MAX;
};
