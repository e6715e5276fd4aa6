// The virtual drive's answers to the MMC commands the engine sends: INQUIRY, TEST UNIT READY, READ TOC, READ CD,
// SET CD SPEED, PAUSE/RESUME; other commands get CHECK CONDITION with "invalid command" sense data.
#pragma once

#include <windows.h>

#include "VirtualDisc.h"

class ScsiTarget {
 public:
  static constexpr BYTE kGood = 0x00;
  static constexpr BYTE kCheckCondition = 0x02;

  // disc: null while no disc is in the drive.
  explicit ScsiTarget(const VirtualDisc* disc) : disc(disc) {}

  // Runs one command; data goes into buffer (bufferLength bytes). Returns the target status; with CHECK CONDITION,
  // sense (14 bytes, fixed format) says why.
  BYTE Execute(const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);

 private:
  BYTE Fail(BYTE sense[14], BYTE key, BYTE asc, BYTE ascq = 0);
  BYTE ReadToc(const BYTE* cdb, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);
  BYTE ReadCd(const BYTE* cdb, BYTE* buffer, DWORD bufferLength, BYTE sense[14]);

  const VirtualDisc* disc;
};
