// The SCSI command layer's ASPI back end: an ASPI library loaded by name ("WNASPI32.DLL", else "WNASPINT.DLL"),
// drives enumerated through it, and commands sent with event notification and a wait of at most 4000 ms.
#pragma once

#include <windows.h>

#include <vector>

#include "UniqueHandles.h"
#include "tavcore_cd.h"

class AspiBackEnd {
 public:
  static constexpr int kMaxDrives = 8;
  static constexpr DWORD kWaitMs = 4000;

  // Loads the library; false when neither name loads or it lacks its two required entry points (lastError then
  // holds -2 or -3).
  bool Load();
  // The CD-ROM units of every adapter, at most eight, with their INQUIRY texts.
  std::vector<cdrip::CDDeviceInfo> Enumerate();
  // One command; 1 when done, 4 when it failed (status and sense kept), other ASPI codes as they come.
  int Execute(BYTE adapter, BYTE target, BYTE lun, const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD length,
              bool dataIn);

  int lastError = 0;    // negative codes of the layer
  BYTE lastStatus = 0;  // the status byte of the last failed command
  BYTE lastSense[14] = {};

 private:
  UniqueModule library;
  DWORD(__cdecl* supportInfo)() = nullptr;
  DWORD(__cdecl* send)(void*) = nullptr;
};
