// The switches of settings section "ShellExt": which menu items the extension offers and which handlers it
// registers. A switch that is not stored keeps the default of its use.
#pragma once

#include <windows.h>

#include "tavcore.h"

namespace ShellSwitches {

constexpr int kMenuCount = 7;
// In the order of the menu table: Windows Media, Wave, MP3, AIFF, Ogg Vorbis, burn, rip.
constexpr const wchar_t* kMenuNames[kMenuCount] = {L"ConvertWindowsMedia", L"ConvertWave", L"ConvertMP3",
                                                   L"ConvertAIFF",         L"ConvertOgg",  L"BurnAudioCD",
                                                   L"CopyHardDisk"};
constexpr int kMenuDefaults[kMenuCount] = {1, 0, 0, 0, 0, 1, 1};
constexpr int kRegistrationDefaults[kMenuCount] = {1, 0, 1, 0, 0, 1, 1};

// The stored value of a switch over its default; nonzero means on.
inline bool Read(const wchar_t* name, int fallback) {
  int value = fallback;
  ReadPInt(L"ShellExt", name, &value);
  return value != 0;
}

}  // namespace ShellSwitches
