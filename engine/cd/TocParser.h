// The table of contents of a disc from the two READ TOC answers the drive gives (block addresses and MSF): the
// whole TOC, one record per audio track, and the disc serial.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tavcore_cd.h"

struct ParsedToc {
  cdrip::CDTOC toc = {};
  std::vector<cdrip::CDTrackInfo> audioTracks;  // data tracks (control bit 0x04) get none
  UINT32 serial = 0;                            // sum of the audio tracks' packed starts, wrapping
};

// false, with the reason, for answers that cannot be a TOC: short or inconsistent lengths, more than 99 tracks,
// descriptors missing, a track starting beyond the lead-out or before the one ahead of it, the two answers
// disagreeing on the tracks.
bool ParseToc(const BYTE* blocks, size_t blocksSize, const BYTE* msf, size_t msfSize, ParsedToc* out,
              std::wstring* reason);
