// The embedded default input of the converter application.
#include "SampleFile.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {
void Put32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}
void Put16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value));
  out.push_back(static_cast<char>(value >> 8));
}
}  // namespace

bool WriteSampleWave(const std::wstring& path, int seconds) {
  const uint32_t rate = 44100;
  const uint32_t frames = rate * static_cast<uint32_t>(seconds);
  const uint32_t silence = rate / 2;
  std::string data;
  data.reserve(frames * 4);
  const double pi = 3.141592653589793;
  for (uint32_t frame = 0; frame < frames; ++frame) {
    double t = static_cast<double>(frame) / rate;
    bool audible = frame >= silence && frame + silence < frames;
    double envelope = audible ? std::min(1.0, std::min(frame - silence, frames - silence - frame) / 2205.0) : 0.0;
    double left = envelope * (0.3 * std::sin(2 * pi * 261.63 * t) + 0.2 * std::sin(2 * pi * 329.63 * t));
    double right = envelope * (0.3 * std::sin(2 * pi * 392.00 * t) + 0.2 * std::sin(2 * pi * 523.25 * t));
    Put16(data, static_cast<uint16_t>(static_cast<int16_t>(left * 32767)));
    Put16(data, static_cast<uint16_t>(static_cast<int16_t>(right * 32767)));
  }
  std::string file = "RIFF";
  Put32(file, static_cast<uint32_t>(4 + 24 + 8 + data.size()));
  file += "WAVEfmt ";
  Put32(file, 16);
  Put16(file, 1);
  Put16(file, 2);
  Put32(file, rate);
  Put32(file, rate * 4);
  Put16(file, 4);
  Put16(file, 16);
  file += "data";
  Put32(file, static_cast<uint32_t>(data.size()));
  file += data;
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}
