// The ASPI for Win32 interface: request blocks, commands and status codes, as the ASPI libraries ("WNASPI32.DLL")
// define them. The engine's SCSI layer speaks it to a system library or to its own pass-through back end, and the
// virtual CD drive answers it.
#pragma once

#include <windows.h>

#include <cstddef>

namespace aspi {

constexpr BYTE kHostAdapterInquiry = 0x00;  // SC_HA_INQUIRY
constexpr BYTE kGetDeviceType = 0x01;       // SC_GET_DEV_TYPE
constexpr BYTE kExecuteCommand = 0x02;      // SC_EXEC_SCSI_CMD
constexpr BYTE kAbortRequest = 0x03;        // SC_ABORT_SRB

constexpr BYTE kPending = 0x00;     // SS_PENDING
constexpr BYTE kDone = 0x01;        // SS_COMP
constexpr BYTE kAborted = 0x02;     // SS_ABORTED
constexpr BYTE kFailed = 0x04;      // SS_ERR
constexpr BYTE kBadAdapter = 0x81;  // SS_INVALID_HA
constexpr BYTE kNoDevice = 0x82;    // SS_NO_DEVICE
constexpr BYTE kBadRequest = 0x80;  // SS_INVALID_SRB
constexpr BYTE kNoAspi = 0xE3;      // SS_NO_ASPI
constexpr BYTE kNoAdapters = 0xE8;  // SS_NO_ADAPTERS

constexpr BYTE kDataIn = 0x08;       // SRB_DIR_IN
constexpr BYTE kDataOut = 0x10;      // SRB_DIR_OUT
constexpr BYTE kEventNotify = 0x40;  // SRB_EVENT_NOTIFY

constexpr BYTE kCheckCondition = 0x02;  // target status
constexpr BYTE kCdRomDevice = 5;
constexpr size_t kSenseLength = 14;

#pragma pack(push, 1)
struct Header {
  BYTE command;
  BYTE status;
  BYTE adapter;
  BYTE flags;
  DWORD reserved;
};

struct HostAdapterInquiry {
  Header header;
  BYTE adapterCount;
  BYTE adapterScsiId;
  char managerId[16];
  char adapterId[16];
  BYTE unique[16];  // bytes 2-3 alignment, 3 maximum targets, 4-7 maximum transfer length
  WORD reserved;
};

struct GetDeviceType {
  Header header;
  BYTE target;
  BYTE lun;
  BYTE deviceType;
  BYTE reserved;
};

struct ExecuteCommand {
  Header header;
  BYTE target;
  BYTE lun;
  WORD reserved1;
  DWORD bufferLength;
  BYTE* buffer;
  BYTE senseLength;
  BYTE cdbLength;
  BYTE adapterStatus;
  BYTE targetStatus;
  void* postProc;  // the event to signal with kEventNotify
  void* reserved2;
  BYTE reserved3[16];
  BYTE cdb[16];
  BYTE sense[kSenseLength + 2];
};

struct AbortRequest {
  Header header;
  void* request;  // the ExecuteCommand block to abort
};
#pragma pack(pop)

static_assert(sizeof(Header) == 8 && sizeof(GetDeviceType) == 12 && sizeof(HostAdapterInquiry) == 60,
              "ASPI request layouts");
static_assert(offsetof(ExecuteCommand, buffer) == 16 && offsetof(ExecuteCommand, postProc) == 28 &&
                  offsetof(ExecuteCommand, cdb) == 60 && offsetof(ExecuteCommand, sense) == 76,
              "ASPI command request layout");

using SupportInfoFunction = DWORD(__cdecl*)();
using SendCommandFunction = DWORD(__cdecl*)(void* request);
using VersionFunction = DWORD(__cdecl*)();

}  // namespace aspi
