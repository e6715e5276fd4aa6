// The pass-through back end of the SCSI layer: CD drives found by drive letter and asked INQUIRY on their device
// handles, presented as ASPI host adapters, commands sent with IOCTL_SCSI_PASS_THROUGH_DIRECT.
#pragma once

#include <windows.h>

#include <vector>

#include "AspiPort.h"

// The system calls the back end makes, behind one seam so tests can put a drive behind a letter.
class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  virtual UINT DriveType(wchar_t letter) = 0;
  virtual HANDLE Open(const wchar_t* path, DWORD access, DWORD share) = 0;  // INVALID_HANDLE_VALUE on failure
  virtual BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) = 0;
  virtual void Close(HANDLE device) = 0;
};

// The process's device I/O: the system's, unless a test put its own in place (null restores the system's).
DeviceIo& CurrentDeviceIo();
void SetDeviceIo(DeviceIo* io);

// One SCSI command through IOCTL_SCSI_PASS_THROUGH_DIRECT; true when the call succeeded and the target reported
// GOOD. scsiStatus and sense (14 bytes) are filled either way when not null.
bool PassThroughCommand(HANDLE device, const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD length, bool dataIn,
                        ULONG timeoutSeconds, BYTE* scsiStatus = nullptr, BYTE* sense = nullptr);

// "\\.\X:" of a drive letter.
void DevicePath(wchar_t letter, wchar_t (&path)[8]);

struct PassThroughDrive {
  wchar_t letter;
  BYTE adapter, path, target, lun;
  BYTE inquiry[36];
  HANDLE device;  // opened on the first command, closed with the port
};

class PassThroughPort : public AspiPort {
 public:
  ~PassThroughPort() override;
  // Asks every CD-ROM letter from C: to Z:; true when at least one drive answered.
  bool Scan();
  DWORD SupportInfo() override;
  DWORD Send(void* request) override;
  const std::vector<PassThroughDrive>& Drives() const { return drives; }

 private:
  PassThroughDrive* Find(BYTE adapter, BYTE target, BYTE lun);
  std::vector<PassThroughDrive> drives;
  int adapterCount = 0;
};
