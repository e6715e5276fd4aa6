// Overall progress of the window mode: file sizes as weights, so one long file does not stall the bar.
#include "BatchProgress.h"

#include <algorithm>

#include "ProgressWindow.h"
#include "resource.h"

void CBatchProgress::Start(const std::vector<ULONGLONG>& sizes, ULONGLONG nowMs) {
  // A file of no bytes (missing, or empty) still takes a turn: one byte keeps every weight above zero.
  double total = 0;
  for (ULONGLONG size : sizes) total += static_cast<double>(std::max<ULONGLONG>(size, 1));
  weights.clear();
  for (ULONGLONG size : sizes) weights.push_back(static_cast<double>(std::max<ULONGLONG>(size, 1)) / total);
  doneBefore = currentShare = currentFraction = 0;
  startMs = nowMs;
}

void CBatchProgress::BeginFile(size_t index) {
  doneBefore = 0;
  for (size_t before = 0; before < index && before < weights.size(); ++before) doneBefore += weights[before];
  currentShare = index < weights.size() ? weights[index] : 0;
  currentFraction = 0;
}

void CBatchProgress::SetFilePosition(LONGLONG position, LONGLONG range) {
  currentFraction = range > 0 ? std::clamp(static_cast<double>(position) / static_cast<double>(range), 0.0, 1.0) : 0;
}

double CBatchProgress::Fraction() const { return std::clamp(doneBefore + currentShare * currentFraction, 0.0, 1.0); }

LONGLONG CBatchProgress::MillisecondsLeft(ULONGLONG nowMs) const {
  const double fraction = Fraction();
  const ULONGLONG elapsed = nowMs > startMs ? nowMs - startMs : 0;
  // The first seconds are dominated by start-up costs: an estimate from them jumps about.
  if (elapsed < 2000 || fraction < 0.01) return -1;
  return static_cast<LONGLONG>(static_cast<double>(elapsed) * (1.0 - fraction) / fraction + 0.5);
}

std::wstring TimeLeftText(LONGLONG milliseconds) {
  const LONGLONG seconds = (std::max<LONGLONG>(milliseconds, 0) + 999) / 1000;
  if (seconds < 60) return ProgramText(IDS_SECONDS_LEFT, std::to_wstring(std::max<LONGLONG>(seconds, 1)));
  const LONGLONG minutes = (seconds + 30) / 60;
  if (minutes < 60) return ProgramText(IDS_MINUTES_LEFT, std::to_wstring(minutes));
  return ProgramText(IDS_HOURS_LEFT, std::to_wstring(minutes / 60), std::to_wstring(minutes % 60));
}
