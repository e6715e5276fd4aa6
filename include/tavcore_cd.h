// The audio CD records the engine shares with its callers; all of them little-endian with fixed layouts.
#pragma once

#include <windows.h>

#include <cstddef>

namespace cdrip {

// One audio track as a ".cda" file describes it (its "fmt " chunk) and as the disc object lists it.
struct CDTrackInfo {
  UINT16 version;        // 1
  UINT16 track;          // track number as in the TOC
  UINT32 serial;         // the disc serial
  UINT32 startSector;    // first logical block address
  UINT32 lengthSectors;  // up to the next TOC entry
  UINT32 startMSF;       // absolute start, M << 16 | S << 8 | F
  UINT32 lengthMSF;      // length in frames, packed the same way
};
static_assert(sizeof(CDTrackInfo) == 24 && offsetof(CDTrackInfo, serial) == 4 &&
                  offsetof(CDTrackInfo, startSector) == 8 && offsetof(CDTrackInfo, lengthSectors) == 12 &&
                  offsetof(CDTrackInfo, startMSF) == 16 && offsetof(CDTrackInfo, lengthMSF) == 20,
              "CDTrackInfo layout");

}  // namespace cdrip
