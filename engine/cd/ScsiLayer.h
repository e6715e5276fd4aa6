// The SCSI command layer of the audio CD code: one back end per process (pass-through on the drives' device
// handles, else an ASPI library), 16 drive handles under one lock, TOC and audio reads. Calls return 1 when
// done and 4 when they failed; ScsiLastError then tells why (negative codes below) and resets.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "tavcore_cd.h"

namespace scsi {

constexpr int kDone = 1;
constexpr int kFailed = 4;

constexpr int kErrorCommandFailed = -4;
constexpr int kErrorBufferTooSmall = -6;
constexpr int kErrorBadHandle = -7;
constexpr int kErrorNoFreeHandle = -8;
constexpr int kErrorNoAdapters = -16;
constexpr int kErrorNoDrive = -17;

constexpr int kOptionReadSpeed = 32;
constexpr int kOptionTocAddressing = 36;  // 0: block addresses, 1: MSF

constexpr DWORD kTocBytes = 804;
constexpr DWORD kFrameBytes = 2352;
constexpr DWORD kFramesPerRequest = 27;

#pragma pack(push, 1)
struct OpenRequest {
  BYTE size;        // 12
  BYTE version;     // 1
  BYTE adapter, target, lun;
  BYTE readMethod;  // 0: detect on the first read
  UINT32 value;     // set to 2, 1 and 3 by the disc object; they change nothing
  BYTE extra[2];
};
#pragma pack(pop)
static_assert(sizeof(OpenRequest) == 12, "open request layout");

// One reading pass's request, allocated once and reused block after block.
struct CDReadRequest {
  UINT32 startSector;
  UINT32 frameCount;   // 27, fewer for the last block
  UINT32 bufferBytes;  // 63504
  UINT32 bytesRead;    // frameCount * 2352 after a good read
  UINT32 status;       // 1 after a good read
  UINT32 dataOffset;   // 0
  BYTE data[kFramesPerRequest * kFrameBytes];
};
static_assert(sizeof(CDReadRequest) == 63528 && offsetof(CDReadRequest, data) == 24, "read request layout");

}  // namespace scsi

// Chooses the back end and sets up the handle table; once per device list.
void ScsiInit();
// Frees the table, closes the pass-through drives, unloads an ASPI library.
void ScsiShutdown();
// The CD-ROM units found, at most eight.
int ScsiEnumerate(std::vector<cdrip::CDDeviceInfo>* list);
// A handle from 1 to 16, 0 when the request is malformed, the unit is no CD-ROM or every handle is taken.
int ScsiOpen(const scsi::OpenRequest* request);
int ScsiClose(int handle);
int ScsiSetOption(int handle, int option, int value);
// READ TOC in the handle's address form into 804 bytes.
int ScsiReadTOC(int handle, BYTE* buffer);
int ScsiReadAudio(int handle, scsi::CDReadRequest* request);
int ScsiLastError();
int ScsiLastStatus();
// The drive letter (0 = A:) of a pass-through drive; -1 with an ASPI library or when none matches.
int ScsiPassThroughDriveNumber(BYTE adapter, BYTE target, BYTE lun);
