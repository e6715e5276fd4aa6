// A disc image in the virtual drive: its CUE sheet laid out, its BIN files open, sectors read by block address.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CueSheet.h"

class VirtualDisc {
 public:
  static constexpr DWORD kSectorBytes = 2352;

  // Loads the sheet and opens its files (named relative to the sheet's folder); false with the reason.
  bool Load(const std::wstring& cuePath, std::wstring* error);
  const DiscLayout& Layout() const { return layout; }
  // count raw sectors from block address lba into buffer; false when the range passes the lead-out or a file
  // cannot be read.
  bool ReadSectors(DWORD lba, DWORD count, BYTE* buffer) const;

 private:
  struct FileCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
  };
  std::vector<std::unique_ptr<void, FileCloser>> files;
  DiscLayout layout;
};
