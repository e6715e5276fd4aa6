// The level meter: per channel, 11 levels of ever longer stretches of the newest 2048 frames, with falling peaks.
#pragma once

#include <windows.h>

class CLevelMeter {
 public:
  static constexpr int kChannels = 2;
  static constexpr int kGroups = 11;  // 1, 2, 4, ... 1024 samples per channel
  static constexpr int kFrames = 2048;
  static constexpr int kBytes = kFrames * 4;
  static constexpr int kTopLevel = 8;
  static constexpr int kWidth = 100, kHeight = 26;  // pixels

  // The levels of 2048 stereo 16-bit frames: per group the largest magnitude / 2096, above 7 shown as 8.
  static void Measure(const BYTE frames[kBytes], int levels[kChannels][kGroups]);

  // Takes new frames: peaks fall by one and rise to a higher level. True when anything shown changed.
  bool Update(const BYTE frames[kBytes]);
  void Reset();

  int Level(int channel, int group) const { return levels[channel][group]; }
  int Peak(int channel, int group) const { return peaks[channel][group]; }

  // Paints the meter into the rectangle (meant to be kWidth x kHeight).
  void Paint(HDC dc, const RECT& area) const;

 private:
  int levels[kChannels][kGroups] = {};
  int peaks[kChannels][kGroups] = {};
};
