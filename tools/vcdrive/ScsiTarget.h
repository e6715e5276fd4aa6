// The virtual drive's answers to the MMC commands the engine sends: INQUIRY, TEST UNIT READY, READ TOC, READ CD,
// MODE SELECT(6) with READ(10) in 2352-byte blocks, SET CD SPEED, PAUSE/RESUME; other commands (the vendor reads
// among them) get CHECK CONDITION with "invalid command" sense data.
#pragma once

#include <windows.h>

#include "DriveFaults.h"
#include "VirtualDisc.h"

// What the drive keeps between commands.
struct DriveState {
  DWORD blockLength = 2048;  // set by MODE SELECT; READ(10) reads audio only in 2352-byte blocks
};

class ScsiTarget {
 public:
  static constexpr BYTE kGood = 0x00;
  static constexpr BYTE kCheckCondition = 0x02;

  // disc: null while no disc is in the drive.
  explicit ScsiTarget(const VirtualDisc* disc, DriveState* state = nullptr, const DriveFaults* faults = nullptr)
      : disc(disc), state(state ? state : &ownState), faults(faults ? faults : &noFaults) {}

  // Runs one command; data goes into buffer (bufferLength bytes). Returns the target status; with CHECK CONDITION,
  // sense (14 bytes, fixed format) says why.
  BYTE Execute(const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);

 private:
  BYTE Fail(BYTE sense[14], BYTE key, BYTE asc, BYTE ascq = 0);
  BYTE ReadToc(const BYTE* cdb, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);
  BYTE ModeSelect(const BYTE* cdb, const BYTE* list, DWORD listLength, BYTE sense[14]);
  BYTE ReadSectors(DWORD lba, DWORD count, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);

  const VirtualDisc* disc;
  DriveState ownState;
  DriveState* state;
  DriveFaults noFaults;
  const DriveFaults* faults;
};
