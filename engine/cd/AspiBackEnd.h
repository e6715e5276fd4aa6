// The SCSI layer's transport: ASPI requests to a port (a system ASPI library loaded by name, "WNASPI32.DLL" else
// "WNASPINT.DLL", or the pass-through back end), drives enumerated through it, and commands sent with event
// notification and a wait of at most 4000 ms.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "AspiPort.h"
#include "PassThroughPort.h"
#include "tavcore_cd.h"

class AspiBackEnd {
 public:
  static constexpr int kMaxDrives = 8;
  static constexpr DWORD kWaitMs = 4000;

  // Loads the library; false when neither name loads or it lacks its two required entry points (lastError then
  // holds -2 or -3).
  bool Load();
  // Scans the drive letters for pass-through drives; false when none answered.
  bool UsePassThrough();
  // The pass-through drives, null with a library.
  const PassThroughPort* PassThrough() const { return passThrough; }
  bool Ready() const { return port != nullptr; }

  // The CD-ROM units of every adapter, at most eight, with their INQUIRY texts.
  std::vector<cdrip::CDDeviceInfo> Enumerate();
  // The unit's device type (5 = CD-ROM); -1 when the port does not know it.
  int DeviceType(BYTE adapter, BYTE target, BYTE lun);
  // One command; 1 when done, 4 when it failed or did not finish in time (status and sense kept).
  int Execute(BYTE adapter, BYTE target, BYTE lun, const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD length,
              bool dataIn);

  int lastError = 0;    // negative codes of the layer
  BYTE lastStatus = 0;  // the status byte of the last failed command
  BYTE lastSense[14] = {};

 private:
  std::unique_ptr<AspiPort> port;
  const PassThroughPort* passThrough = nullptr;
};
