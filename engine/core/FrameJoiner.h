// Writes into a destination may end inside a sample frame: the start of such a frame waits here for the rest,
// so encoders see whole frames only and channels never change places.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

class CFrameJoiner {
 public:
  void Reset(size_t bytesPerFrame) {
    frameBytes = bytesPerFrame;
    held.clear();
  }

  // Calls encode(frames, count) with whole frames in order: a held frame completed from `data` first, then the
  // whole frames of `data`; keeps what is left. False as soon as encode is.
  template <class Encode>
  bool Take(const unsigned char* data, size_t size, Encode&& encode) {
    if (!held.empty()) {
      size_t needed = std::min(frameBytes - held.size(), size);
      held.insert(held.end(), data, data + needed);
      data += needed;
      size -= needed;
      if (held.size() < frameBytes) return true;
      std::vector<unsigned char> frame;
      frame.swap(held);
      if (!encode(frame.data(), size_t{1})) return false;
    }
    const size_t frames = size / frameBytes;
    held.assign(data + frames * frameBytes, data + size);
    return frames == 0 || encode(data, frames);
  }

 private:
  size_t frameBytes = 0;
  std::vector<unsigned char> held;
};
