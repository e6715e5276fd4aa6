// What this build can really read and write on this machine, found out by trying: a tiny sample of the format
// is opened with the engine's reader, and a destination of the format opens a file.
#pragma once

#include <windows.h>

#include <string>

enum class Ability { kYes, kNo, kUnchecked };

struct FormatAbility {
  Ability ability = Ability::kNo;
  std::wstring reason;  // the engine's first error line when it cannot, or why nothing was checked
};

// Reading files of a format-table row.
FormatAbility ProbeReading(UINT32 row);
// Writing files of a format-table row.
FormatAbility ProbeWriting(UINT32 row);
// The names of the rows that can be written here, separated by ", ".
std::wstring WritableFormatNames();
