// Progress over a whole batch of files, weighted by the files' sizes, and the time left.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CBatchProgress {
 public:
  // `sizes` in bytes, one per file; `nowMs` is when the batch starts.
  void Start(const std::vector<ULONGLONG>& sizes, ULONGLONG nowMs);
  // The file at `index` begins; the files before it count as done, whatever became of them.
  void BeginFile(size_t index);
  // How far the current file is, from the job's byte counts; a range of 0 counts as not started.
  void SetFilePosition(LONGLONG position, LONGLONG range);
  // 0 to 1.
  double Fraction() const;
  // Estimated from the time taken so far; -1 while too little is done to tell.
  LONGLONG MillisecondsLeft(ULONGLONG nowMs) const;

 private:
  std::vector<double> weights;  // shares of the whole, adding up to 1
  double doneBefore = 0;        // share of the files before the current one
  double currentShare = 0;
  double currentFraction = 0;
  ULONGLONG startMs = 0;
};

// "about 40 s left", "about 3 min left", "about 1 h 5 min left".
std::wstring TimeLeftText(LONGLONG milliseconds);
