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

// One CD drive of the device list; all text ASCII.
#pragma pack(push, 1)
struct CDDeviceInfo {
  BYTE hostAdapter;
  BYTE target;
  BYTE lun;
  BYTE reserved;
  char description[65];  // "%s, %s v%s (%d:%d:%d)": vendor, product, revision, adapter, target, lun
  char vendor[9];        // INQUIRY bytes 8-15, space padding kept
  char product[17];      // INQUIRY bytes 16-31
  char revision[5];      // INQUIRY bytes 32-35
  BYTE rest[21];
};
#pragma pack(pop)
static_assert(sizeof(CDDeviceInfo) == 121 && offsetof(CDDeviceInfo, description) == 4 &&
                  offsetof(CDDeviceInfo, vendor) == 69 && offsetof(CDDeviceInfo, product) == 78 &&
                  offsetof(CDDeviceInfo, revision) == 95 && offsetof(CDDeviceInfo, rest) == 100,
              "CDDeviceInfo layout");

// The whole table of contents: offsets[i] is the absolute frame address (lead-in included) of track i + 1,
// offsets[count] the lead-out. Counts audio and data tracks alike.
struct CDTOC {
  UINT32 count;
  UINT32 offsets[100];
};
static_assert(sizeof(CDTOC) == 404 && offsetof(CDTOC, offsets) == 4, "CDTOC layout");

// MSF packed as M << 16 | S << 8 | F.
inline UINT32 PackMSF(UINT32 minutes, UINT32 seconds, UINT32 frames) { return minutes << 16 | seconds << 8 | frames; }
// A length in frames (75 per second) packed the same way.
inline UINT32 PackFrames(UINT32 frames) { return PackMSF(frames / 4500, frames / 75 % 60, frames % 75); }

}  // namespace cdrip
