// The outside MP3 encoder library (lame_enc.dll): its configuration record and its entry points, loaded for
// one stream at a time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// The library's published configuration record, 331 bytes, byte-packed.
struct LameConfig {
  uint32_t config;          // 256: the LAME variant of the record
  uint32_t structVersion;   // 1
  uint32_t structSize;      // 331
  uint32_t sampleRate;
  uint32_t resampleRate;
  int32_t mode;             // 0 stereo, 1 joint stereo, 3 mono
  uint32_t bitrate;
  uint32_t maxBitrate;
  int32_t preset;           // -1: none
  uint32_t mpegVersion;
  uint32_t psychoModel;
  uint32_t emphasis;
  uint32_t privateBit;
  uint32_t crc;
  uint32_t copyrightBit;
  uint32_t originalBit;
  uint32_t writeVbrHeader;
  uint32_t enableVbr;
  int32_t vbrQuality;       // 0 best .. 9
  uint32_t abrBitsPerSecond;
  int32_t vbrMethod;        // -1 none, 1 VBR, 2 fast VBR, 4 ABR
  uint32_t noBitReservoir;
  uint32_t strictIso;
  uint16_t quality;         // low byte the quality, high byte its complement
  uint8_t reserved[237];
};
#pragma pack(pop)
static_assert(sizeof(LameConfig) == 331, "the library's record is 331 bytes");
static_assert(offsetof(LameConfig, sampleRate) == 12 && offsetof(LameConfig, mode) == 20 &&
                  offsetof(LameConfig, preset) == 32 && offsetof(LameConfig, privateBit) == 48 &&
                  offsetof(LameConfig, writeVbrHeader) == 64 && offsetof(LameConfig, vbrQuality) == 72 &&
                  offsetof(LameConfig, abrBitsPerSecond) == 76 && offsetof(LameConfig, vbrMethod) == 80 &&
                  offsetof(LameConfig, strictIso) == 88 && offsetof(LameConfig, quality) == 92,
              "configuration record offsets");

class LameLibrary {
public:
  using Stream = void*;
  using InitStream = unsigned long(__cdecl*)(LameConfig*, DWORD* chunkSamples, DWORD* bufferSize, Stream* stream);
  using EncodeChunk = unsigned long(__cdecl*)(Stream, DWORD samples, const short* data, BYTE* output, DWORD* bytes);
  using DeinitStream = unsigned long(__cdecl*)(Stream, BYTE* output, DWORD* bytes);
  using CloseStream = unsigned long(__cdecl*)(Stream);
  using WriteVbrHeader = unsigned long(__cdecl*)(const char* path);

  LameLibrary() = default;
  LameLibrary(const LameLibrary&) = delete;
  LameLibrary& operator=(const LameLibrary&) = delete;
  ~LameLibrary() { Unload(); }

  // By plain name through the library search, then from the converter application's App Paths folder.
  // False (nothing loaded) when the library or one of its required entry points is missing.
  bool Load();
  void Unload();
  bool IsLoaded() const { return module != nullptr; }

  InitStream initStream = nullptr;
  EncodeChunk encodeChunk = nullptr;
  DeinitStream deinitStream = nullptr;
  CloseStream closeStream = nullptr;
  WriteVbrHeader writeVbrHeader = nullptr;  // optional

private:
  HMODULE module = nullptr;
};

// The library keeps "the last closed stream" for its VBR header in one process-wide variable: closing a
// stream and writing its header must not interleave with another stream's.
void LockLameClosing();
void UnlockLameClosing();
