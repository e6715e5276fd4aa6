// Test helpers for WAV files.
#include "WavFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "PcmFormat.h"

namespace {
constexpr double kTwoPi = 6.283185307179586;

void PutUint32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}
uint32_t GetUint32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}
}  // namespace

WAVEFORMATEX PcmFormat(WORD bits, WORD channels, DWORD rate) { return MakePcmFormat(bits, channels, rate); }

std::string PcmSignal(const WAVEFORMATEX& format, size_t frames) {
  std::string out;
  const int bytesPerSample = format.wBitsPerSample / 8;
  uint32_t noise = 12345;
  for (size_t frame = 0; frame < frames; ++frame) {
    for (int channel = 0; channel < format.nChannels; ++channel) {
      double t = static_cast<double>(frame) / format.nSamplesPerSec;
      noise = noise * 1103515245u + 12345u;
      double value = 0.45 * std::sin(kTwoPi * (440 + 220 * channel) * t) + 0.2 * std::sin(kTwoPi * 97 * t) +
                     0.02 * ((noise >> 16) / 32768.0 - 1.0);
      int64_t full = static_cast<int64_t>(value * static_cast<double>((1LL << (format.wBitsPerSample - 1)) - 1));
      if (bytesPerSample == 1) full += 128;
      for (int b = 0; b < bytesPerSample; ++b) out.push_back(static_cast<char>(full >> (8 * b)));
    }
  }
  return out;
}

std::string Chunk(const char* id, const std::string& payload, bool pad) {
  std::string out(id, 4);
  PutUint32(out, static_cast<uint32_t>(payload.size()));
  out += payload;
  if (pad && payload.size() % 2) out.push_back('\0');
  return out;
}

std::string FormatChunkPayload(const WAVEFORMATEX& format, size_t bytes) {
  std::string payload(reinterpret_cast<const char*>(&format), sizeof(format));
  payload.resize(bytes, '\0');
  return payload;
}

std::string RiffWave(const std::string& chunks, int64_t riffSize) {
  std::string out = "RIFF";
  PutUint32(out, riffSize >= 0 ? static_cast<uint32_t>(riffSize) : static_cast<uint32_t>(4 + chunks.size()));
  return out + "WAVE" + chunks;
}

std::string PcmWave(const WAVEFORMATEX& format, const std::string& samples) {
  return RiffWave(Chunk("fmt ", FormatChunkPayload(format)) + Chunk("data", samples));
}

ParsedWave ParseWave(const std::string& bytes) {
  ParsedWave wave;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return wave;
  if (GetUint32(bytes, 4) + 8ull != bytes.size()) return wave;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    std::string id = bytes.substr(at, 4);
    uint32_t size = GetUint32(bytes, at + 4);
    if (at + 8 + size > bytes.size()) return wave;
    wave.chunkIds.push_back(id);
    if (id == "fmt ") wave.format = bytes.substr(at + 8, size);
    if (id == "data") wave.data = bytes.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  wave.valid = at == bytes.size() && wave.format.size() >= 16;
  return wave;
}

IConvertSource* NewSourceFor(const wchar_t* rowName, const GUID* sourceClass) {
  CONVFORMAT row;
  EXPECT_EQ(S_OK, ConvGetFormatByName(&row, rowName));
  if (sourceClass) row.sourceClass = sourceClass;
  IConvertSource* source = nullptr;
  EXPECT_EQ(S_OK, ConvCreateSource(&row, &source));
  return source;
}

IConvertDestination* NewDestinationFor(const wchar_t* rowName) {
  CONVFORMAT row;
  EXPECT_EQ(S_OK, ConvGetFormatByName(&row, rowName));
  IConvertDestination* destination = nullptr;
  EXPECT_EQ(S_OK, ConvCreateDest(&row, &destination));
  return destination;
}

IConvertSource* NewWavSource() { return NewSourceFor(L"Wave"); }
IConvertDestination* NewWavDestination() { return NewDestinationFor(L"Wave"); }

DecodeResult Decode(const std::wstring& path, int startMs) { return DecodeWith(NewWavSource(), path, startMs); }

DecodeResult DecodeWith(IConvertSource* source, const std::wstring& path, int startMs) {
  DecodeResult result;
  if (!source) return result;
  source->SetCallback(&result.log);
  source->SetFileName(path.c_str());
  source->SetStartTime(startMs);
  result.opened = source->Open();
  if (result.opened) {
    source->GetFormat(&result.format);
    source->GetDataSize(&result.dataSize, -1, -1);
    CollectingSink sink;
    result.read = source->ReadAll(&sink);
    result.pcm = std::move(sink.bytes);
    source->Close();
  }
  source->SetCallback(nullptr);
  source->Release();
  return result;
}

bool Encode(IConvertDestination* destination, const std::wstring& path, const WAVEFORMATEX& format,
            const std::string& pcm, RecordingCallback& log, size_t block) {
  destination->SetCallback(&log);
  destination->SetFileName(path.c_str());
  if (!destination->SetFormat(&format) || !destination->Open()) return false;
  bool written = true;
  for (size_t at = 0; written && at < pcm.size(); at += block) {
    size_t size = std::min(block, pcm.size() - at);
    written = destination->Write(static_cast<UINT32>(size), pcm.data() + at);
  }
  destination->Close();
  destination->SetCallback(nullptr);
  return written;
}

void ExpectDamagedFilesRefused(IConvertSource* source, const std::vector<DamagedFile>& files,
                               const std::wstring& badPath, const std::wstring& goodPath,
                               const std::wstring& missingPath, const wchar_t* missingMessage) {
  for (const DamagedFile& file : files) {
    RecordingCallback log;
    source->SetCallback(&log);
    ASSERT_TRUE(WriteFileBytes(badPath, file.bytes));
    source->SetFileName(badPath.c_str());
    EXPECT_FALSE(source->Open()) << file.what;
    EXPECT_EQ(std::vector<std::wstring>{file.message}, log.Errors()) << file.what;
    WAVEFORMATEX format;
    EXPECT_FALSE(source->GetFormat(&format)) << file.what << ": a failed Open leaves the source closed";
    source->SetFileName(goodPath.c_str());
    EXPECT_TRUE(source->Open()) << file.what << ": the same object opens a good file afterwards";
    source->Close();
  }
  RecordingCallback log;
  source->SetCallback(&log);
  source->SetFileName(missingPath.c_str());
  EXPECT_FALSE(source->Open());
  EXPECT_EQ(std::vector<std::wstring>{missingMessage}, log.Errors());
  source->SetCallback(nullptr);
}
