// The console's live progress line: file n of N, the current files' percent, overall percent, speed as
// x-realtime and time left, redrawn in place a few times a second while the output is a terminal. Other lines
// are printed through it, so that they never mix with the progress line.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ProgressLine {
 public:
  // One running conversion's share; updated by its job thread.
  struct Job {
    std::atomic<long long> range{0};
    std::atomic<long long> position{0};
    std::atomic<double> seconds{0.0};  // audio length of the whole file
    std::atomic<bool> active{false};
  };

  // live: draw the line (the output is a terminal); without it the class only serialises printing.
  ProgressLine(size_t files, unsigned jobs, bool live);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  Job& JobSlot(unsigned index) { return *slots[index]; }
  // A file started / ended in a slot; its audio counts towards the speed.
  void Started(unsigned slot);
  void Finished(unsigned slot);
  // Prints whole lines, erasing and later redrawing the progress line.
  void Print(FILE* stream, const std::wstring& text);

  static std::wstring Text(size_t started, size_t files, const std::vector<double>& currentFractions, double overall,
                           double speed, double secondsLeft);

 private:
  void Draw();
  void Erase();

  size_t files;
  std::vector<std::unique_ptr<Job>> slots;
  bool live;
  std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;
  size_t started = 0, finished = 0;
  double finishedSeconds = 0.0;  // audio of the files done
  size_t drawnLength = 0;
  ULONGLONG startTick;
  std::thread drawer;
};
