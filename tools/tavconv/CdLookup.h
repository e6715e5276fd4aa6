// CDDB on the console: a disc looked up, the user asked to choose among several matches, and the result copied
// into the disc objects of the tracks being ripped.
#pragma once

#include <string>

#include "tavcore.h"

// Looks the disc up and applies the chosen match, telling the user what happens (lines start with indent).
// True when the disc now has CDDB data.
bool LookUpDisc(cdrip::IAudioCD* cd, const std::wstring& indent);
// The descriptive data and the track titles of `from`, written into `to` (a disc object of the same disc).
void CopyDiscData(cdrip::IAudioCD* from, cdrip::IAudioCD* to);
