// Test helpers for AIFF files.
#include "AiffFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

std::string BigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

std::string BigEndian16(uint16_t value) { return {static_cast<char>(value >> 8), static_cast<char>(value)}; }

uint32_t GetBigEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

// Built here rather than taken from the engine, so a wrong exponent or shift in either shows.
std::string ExtendedRate(uint32_t rate) {
  if (rate == 0) return std::string(10, '\0');
  int exponent = 0;
  uint64_t mantissa = rate;
  while (!(mantissa & (1ull << 63))) {
    mantissa <<= 1;
    ++exponent;
  }
  std::string out = BigEndian16(static_cast<uint16_t>(16383 + 63 - exponent));
  return out + BigEndian32(static_cast<uint32_t>(mantissa >> 32)) + BigEndian32(static_cast<uint32_t>(mantissa));
}

std::string AiffChunk(const char* id, const std::string& payload) {
  std::string out = std::string(id, 4) + BigEndian32(static_cast<uint32_t>(payload.size())) + payload;
  if (payload.size() % 2) out.push_back('\0');
  return out;
}

std::string CommPayload(int16_t channels, uint32_t frames, int16_t bits, const std::string& rate) {
  return BigEndian16(static_cast<uint16_t>(channels)) + BigEndian32(frames) + BigEndian16(static_cast<uint16_t>(bits)) +
         rate;
}

std::string AifcCommPayload(int16_t channels, uint32_t frames, int16_t bits, const std::string& rate, const char* type,
                            const std::string& name) {
  std::string out = CommPayload(channels, frames, bits, rate) + std::string(type, 4);
  out.push_back(static_cast<char>(name.size()));
  out += name;
  if (out.size() % 2) out.push_back('\0');
  return out;
}

std::string SsndPayload(const std::string& samples, uint32_t offset) {
  return BigEndian32(offset) + BigEndian32(0) + std::string(offset, '\x55') + samples;
}

std::string Form(const char* type, const std::string& chunks) {
  return "FORM" + BigEndian32(static_cast<uint32_t>(4 + chunks.size())) + std::string(type, 4) + chunks;
}

std::string AiffFile(WORD channels, WORD bits, DWORD rate, const std::string& fileSamples) {
  const uint32_t frames = static_cast<uint32_t>(fileSamples.size() / (channels * ((bits + 7) / 8)));
  return Form("AIFF", AiffChunk("COMM", CommPayload(channels, frames, bits, ExtendedRate(rate))) +
                          AiffChunk("SSND", SsndPayload(fileSamples)));
}

std::string ToFileSamples(const std::string& pcm, WORD bits) {
  std::string out = pcm;
  const size_t width = bits / 8;
  for (size_t at = 0; at + width <= out.size(); at += width) {
    if (width == 1)
      out[at] = static_cast<char>(static_cast<unsigned char>(out[at]) - 128);
    else
      std::reverse(out.begin() + at, out.begin() + at + width);
  }
  return out;
}

IConvertSource* NewAiffSource() { return NewSourceFor(L"AIFF", &CLSID_CAIFFConvSource); }
IConvertDestination* NewAiffDestination() { return NewDestinationFor(L"AIFF"); }
DecodeResult DecodeAiff(const std::wstring& path, int startMs) { return DecodeWith(NewAiffSource(), path, startMs); }
