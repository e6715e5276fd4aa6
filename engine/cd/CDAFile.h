// Reads a ".cda" file: the small RIFF file of form "CDDA" that the platform shows for each audio track of a disc,
// whose 24-byte "fmt " chunk identifies the track.
#pragma once

#include <windows.h>

#include "tavcore_cd.h"

class CCDAFile {
 public:
  // S_OK with the track's record; E_INVALIDARG for an empty path; E_FAIL when the file cannot be opened, is not a
  // "CDDA" RIFF file or has no "fmt " chunk of exactly 24 bytes.
  HRESULT Read(const wchar_t* path);
  const cdrip::CDTrackInfo& Info() const { return info; }

 private:
  cdrip::CDTrackInfo info = {};
};
