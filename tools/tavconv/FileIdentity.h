// What tells files and folders apart whatever path or link reaches them.
#pragma once

#include <windows.h>

#include <string>
#include <tuple>

struct FileIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
  bool operator<(const FileIdentity& other) const {
    return std::tie(volume, indexHigh, indexLow) < std::tie(other.volume, other.indexHigh, other.indexLow);
  }
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
};

// False when the file or folder cannot be opened to ask. Opening follows links, so a link gives its target's
// identity.
bool IdentityOf(const std::wstring& path, FileIdentity* identity);
