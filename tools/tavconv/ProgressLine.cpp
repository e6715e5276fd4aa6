// Drawing the progress line with a carriage return, padded over what was there before.
#include "ProgressLine.h"

#include <algorithm>
#include <cwchar>

#include "ConsoleText.h"

namespace {
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::wstring Clock(double seconds) {
  const long long whole = static_cast<long long>(seconds + 0.5);
  wchar_t text[32];
  if (whole >= 3600)
    _snwprintf(text, 31, L"%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    _snwprintf(text, 31, L"%lld:%02lld", whole / 60, whole % 60);
  text[31] = L'\0';
  return text;
}
}  // namespace

ProgressLine::ProgressLine(size_t files, unsigned jobs, bool live)
    : files(files), live(live), startTick(GetTickCount64()) {
  for (unsigned i = 0; i < jobs; ++i) slots.push_back(std::make_unique<Job>());
  if (!live) return;
  drawer = std::thread([this] {
    std::unique_lock<std::mutex> held(lock);
    while (!stopping) {
      wake.wait_for(held, kRedraw);
      if (!stopping) Draw();
    }
  });
}

ProgressLine::~ProgressLine() {
  {
    std::lock_guard<std::mutex> held(lock);
    stopping = true;
    if (live) Erase();
  }
  wake.notify_all();
  if (drawer.joinable()) drawer.join();
}

void ProgressLine::Started(unsigned slot) {
  std::lock_guard<std::mutex> held(lock);
  Job& job = *slots[slot];
  job.range = job.position = 0;
  job.seconds = 0.0;
  job.active = true;
  ++started;
}

void ProgressLine::Finished(unsigned slot) {
  std::lock_guard<std::mutex> held(lock);
  Job& job = *slots[slot];
  job.active = false;
  finishedSeconds += job.seconds;
  ++finished;
}

void ProgressLine::Print(FILE* stream, const std::wstring& text) {
  std::lock_guard<std::mutex> held(lock);
  if (live) Erase();
  WriteText(stream, text);
}

std::wstring ProgressLine::Text(size_t started, size_t files, const std::vector<double>& currentFractions,
                                double overall, double speed, double secondsLeft) {
  // The files being converted: the first not finished, and as many after it as run at once.
  const size_t running = currentFractions.size();
  const size_t first = std::min(files, started - std::min(started, running) + 1);
  std::wstring text = running > 1 ? L"files " + std::to_wstring(first) + L"-" + std::to_wstring(first + running - 1)
                                  : L"file " + std::to_wstring(first);
  text += L" of " + std::to_wstring(files);
  wchar_t part[64];
  for (double fraction : currentFractions) {
    _snwprintf(part, 63, L" %3.0f%%", fraction * 100.0);
    part[63] = L'\0';
    text += part;
  }
  _snwprintf(part, 63, L" | overall %3.0f%%", overall * 100.0);
  part[63] = L'\0';
  text += part;
  if (speed > 0.0) {
    _snwprintf(part, 63, L" | %.1fx realtime", speed);
    part[63] = L'\0';
    text += part;
  }
  if (secondsLeft >= 0.0) text += L" | " + Clock(secondsLeft) + L" left";
  return text;
}

// With the lock held.
void ProgressLine::Draw() {
  std::vector<double> fractions;
  double sum = static_cast<double>(finished), audio = finishedSeconds;
  for (const auto& slot : slots) {
    if (!slot->active) continue;
    const long long range = slot->range, position = slot->position;
    const double fraction = range > 0 ? std::clamp(static_cast<double>(position) / range, 0.0, 1.0) : 0.0;
    fractions.push_back(fraction);
    sum += fraction;
    audio += fraction * slot->seconds;
  }
  const double overall = files ? sum / files : 1.0;
  const double elapsed = (GetTickCount64() - startTick) / 1000.0;
  const double speed = elapsed > 0.5 ? audio / elapsed : 0.0;
  const double left = overall > 0.01 && elapsed > 1.0 ? elapsed * (1.0 - overall) / overall : -1.0;
  std::wstring text = Text(started, files, fractions, overall, speed, left);
  const size_t length = text.size();
  if (length < drawnLength) text.append(drawnLength - length, L' ');
  WriteText(stdout, L"\r" + text);
  drawnLength = length;
}

// With the lock held.
void ProgressLine::Erase() {
  if (drawnLength == 0) return;
  WriteText(stdout, L"\r" + std::wstring(drawnLength, L' ') + L"\r");
  drawnLength = 0;
}
