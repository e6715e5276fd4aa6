// The 17 rows of the format table, in their fixed order (front ends store row indexes).
#pragma once

#include "tavcore.h"

struct FormatRow {
  const wchar_t* extensions;  // double-NUL-terminated list
  size_t extensionsLength;    // characters including every NUL
  UINT32 descriptionId;
  UINT32 flags;
  const wchar_t* name;
  const GUID* sourceClass;
  const GUID* destinationClass;
};

const FormatRow& FormatRowAt(UINT32 index);
// Copies a row with its description loaded from the current resources.
void CopyFormatRow(UINT32 index, CONVFORMAT* out);
