// Level meter computation and drawing.
#include "LevelMeter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

void CLevelMeter::Measure(const BYTE frames[kBytes], int result[kChannels][kGroups]) {
  for (int channel = 0; channel < kChannels; ++channel) {
    int sample = 0;
    for (int group = 0; group < kGroups; ++group) {
      int loudest = 0;
      for (int count = 1 << group; count > 0; --count, ++sample) {
        INT16 value;
        std::memcpy(&value, frames + sample * 4 + channel * 2, sizeof(value));
        loudest = std::max(loudest, std::abs(static_cast<int>(value)));
      }
      const int level = loudest / 2096;
      result[channel][group] = level > 7 ? kTopLevel : level;
    }
  }
}

bool CLevelMeter::Update(const BYTE frames[kBytes]) {
  int fresh[kChannels][kGroups];
  Measure(frames, fresh);
  bool changed = false;
  for (int channel = 0; channel < kChannels; ++channel) {
    for (int group = 0; group < kGroups; ++group) {
      int peak = std::max(peaks[channel][group] - 1, 0);
      if (fresh[channel][group] > peak) peak = fresh[channel][group];
      changed |= fresh[channel][group] != levels[channel][group] || peak != peaks[channel][group];
      levels[channel][group] = fresh[channel][group];
      peaks[channel][group] = peak;
    }
  }
  return changed;
}

void CLevelMeter::Reset() {
  std::memset(levels, 0, sizeof(levels));
  std::memset(peaks, 0, sizeof(peaks));
}

void CLevelMeter::Paint(HDC dc, const RECT& area) const {
  const int width = area.right - area.left, height = area.bottom - area.top;
  // Drawn off screen first: the meter repaints ten times a second and must not flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  RECT all = {0, 0, width, height};
  HBRUSH background = CreateSolidBrush(RGB(0, 0, 0));
  FillRect(memory, &all, background);
  DeleteObject(background);

  HBRUSH low = CreateSolidBrush(RGB(0, 200, 0));
  HBRUSH high = CreateSolidBrush(RGB(230, 200, 0));
  HBRUSH top = CreateSolidBrush(RGB(230, 0, 0));
  HBRUSH peakBrush = CreateSolidBrush(RGB(255, 255, 255));
  // Two rows (left channel above, right below) of 11 bars, the shortest stretch on the left; a bar's height
  // is its level scaled to the row, the peak a line above it.
  const int rowHeight = (height - 1) / kChannels;
  const int usable = rowHeight - 1;
  const int barWidth = std::max((width - 1) / kGroups, 2);
  auto heightOf = [&](int level) { return level * usable / kTopLevel; };
  for (int channel = 0; channel < kChannels; ++channel) {
    const int bottom = 1 + (channel + 1) * rowHeight - 1;
    for (int group = 0; group < kGroups; ++group) {
      const int left = 1 + group * barWidth, right = left + barWidth - 1;
      const int level = levels[channel][group];
      if (level > 0) {
        RECT bar = {left, bottom - heightOf(level), right, bottom};
        FillRect(memory, &bar, level >= kTopLevel ? top : level >= 6 ? high : low);
      }
      if (const int peak = peaks[channel][group]) {
        RECT mark = {left, bottom - heightOf(peak), right, bottom - heightOf(peak) + 1};
        FillRect(memory, &mark, peakBrush);
      }
    }
  }
  DeleteObject(low);
  DeleteObject(high);
  DeleteObject(top);
  DeleteObject(peakBrush);

  BitBlt(dc, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}
