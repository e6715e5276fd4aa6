// Faults the virtual drive can be told to show, so that the engine's handling of bad drives and discs can be
// tried: a list of words separated by ';' or ',' from TAVREL_CD_FAULTS or the "Faults" setting.
//   nodisc                 the drive is empty
//   unreadable=FIRST-LAST  reads touching these sectors fail with a medium error (may repeat)
//   slow=MS                READ TOC and reads take MS milliseconds (longer than a caller waits, if wanted)
//   refuse-readcd          READ CD is an unknown command, as on drives that only read in 2352-byte mode
//   blank-reads            reads report success and return nothing
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct DriveFaults {
  bool noDisc = false;
  bool refuseReadCd = false;
  bool blankReads = false;
  DWORD slowMs = 0;
  std::vector<std::pair<DWORD, DWORD>> unreadable;  // first and last sector, inclusive

  // Unknown words are ignored, so that an older drive runs with a newer test's list.
  static DriveFaults Parse(const std::wstring& text);
  bool Unreadable(DWORD lba, DWORD count) const;
};
