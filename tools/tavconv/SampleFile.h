// The embedded default input: a short generated stereo recording, so the converter can be tried at once.
#pragma once

#include <string>

// Writes `seconds` of 44.1 kHz 16-bit stereo audio (a chord between half a second of silence at each end).
bool WriteSampleWave(const std::wstring& path, int seconds);
