// Silence in 16-bit stereo PCM: a frame is silent when both of its samples lie within the threshold.
#pragma once

#include <windows.h>

// The largest magnitude a silent sample may have at this percentage of full scale (rounded to the nearest).
int SilenceLimit(int percent);
// Bytes of the whole silent frames at the start of the data.
UINT32 LeadingSilence(const BYTE* data, UINT32 size, int limit);
// Bytes after the last frame that is not silent; all of size when every frame is silent.
UINT32 TrailingSilence(const BYTE* data, UINT32 size, int limit);
