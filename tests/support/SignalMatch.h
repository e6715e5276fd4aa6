// Comparing a recording with the known signal its device was fed. Wine's capture drops a whole packet (tens of
// milliseconds) now and then when its source runs faster than real time, so a recording must be exact copies of
// stretches of the signal, in order, with no gap longer than such packets: a lost, repeated or shifted buffer
// of the program breaks that.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

struct SignalMatch {
  size_t start = 0;  // where in the signal the recording begins
  size_t end = 0;    // where in the signal the recording's last sample is followed
  std::string fault;
};

// Samples are compared whole (a 32-bit sample holds a stereo frame). The first sample must lie within
// firstWithin samples of the signal's start. Packets dropped in a run of one value (a silence) shorten it
// unseen, so the next stretch may start anywhere up to the run's end and a packet beyond.
template <class Sample>
SignalMatch MatchSignal(const std::vector<Sample>& recorded, const std::vector<Sample>& signal, size_t firstWithin,
                        size_t longestGap) {
  constexpr size_t kProbe = 32;
  SignalMatch match;
  size_t at = 0;
  size_t r = 0;
  while (r < recorded.size() && at < signal.size()) {
    if (r > 0 && recorded[r] == signal[at]) {
      ++r, ++at;
      continue;
    }
    if (recorded.size() - r < kProbe) break;
    size_t runEnd = at;
    while (r > 0 && runEnd < signal.size() && signal[runEnd] == signal[at]) ++runEnd;
    const size_t from = r == 0 ? 0 : at,
                 to = std::min(signal.size(), r == 0 ? firstWithin + kProbe : runEnd + longestGap + kProbe);
    const auto found =
        std::search(signal.begin() + from, signal.begin() + to, recorded.begin() + r, recorded.begin() + r + kProbe);
    if (found == signal.begin() + to) {
      match.fault =
          "recorded sample " + std::to_string(r) + " continues no stretch of the signal after " + std::to_string(at);
      return match;
    }
    at = static_cast<size_t>(found - signal.begin());
    if (r == 0) match.start = at;
    ++r, ++at;
  }
  if (r < recorded.size()) match.fault = "the recording goes on past the signal";
  match.end = at;
  return match;
}

// The 16-bit stereo frames of PCM bytes, one value each.
inline std::vector<unsigned> Frames(const std::string& pcm) {
  std::vector<unsigned> frames(pcm.size() / 4);
  std::copy_n(pcm.data(), frames.size() * 4, reinterpret_cast<char*>(frames.data()));
  return frames;
}
