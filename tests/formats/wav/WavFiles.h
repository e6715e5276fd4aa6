// Building WAV files byte by byte for tests, and taking our own output apart again.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tavcore.h"

WAVEFORMATEX PcmFormat(WORD bits, WORD channels, DWORD rate);
// A deterministic signal (two tones and a little noise) of `frames` sample frames.
std::string PcmSignal(const WAVEFORMATEX& format, size_t frames);

std::string Chunk(const char* id, const std::string& payload, bool pad = true);
std::string FormatChunkPayload(const WAVEFORMATEX& format, size_t bytes = 16);
// RIFF/WAVE around the given sub-chunks; riffSize overrides the size field when not -1.
std::string RiffWave(const std::string& chunks, int64_t riffSize = -1);
std::string PcmWave(const WAVEFORMATEX& format, const std::string& samples);

struct ParsedWave {
  std::string format;  // the "fmt " payload
  std::string data;
  std::vector<std::string> chunkIds;
  bool valid = false;
};
ParsedWave ParseWave(const std::string& bytes);
inline const WAVEFORMATEX* FormatOf(const ParsedWave& wave) {
  return reinterpret_cast<const WAVEFORMATEX*>(wave.format.data());
}

// A sink that keeps every block and can refuse after a number of calls.
class CollectingSink : public IPlayCallback {
 public:
  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override {
    blocks.push_back(size);
    bytes.append(static_cast<const char*>(data), size);
    return refuseAfter < 0 || static_cast<int>(blocks.size()) < refuseAfter;
  }
  std::string bytes;
  std::vector<UINT32> blocks;
  int refuseAfter = -1;
};

// Objects from the factory for a format-table row (the test fails on error); sourceClass overrides the row's.
IConvertSource* NewSourceFor(const wchar_t* rowName, const GUID* sourceClass = nullptr);
IConvertDestination* NewDestinationFor(const wchar_t* rowName);
IConvertSource* NewWavSource();
IConvertDestination* NewWavDestination();

// Opens `path` as a WAV source and reads it whole; the callback receives the messages.
struct DecodeResult {
  bool opened = false;
  bool read = false;
  WAVEFORMATEX format = {};
  UINT32 dataSize = 0;
  std::string pcm;
  RecordingCallback log;
};
DecodeResult Decode(const std::wstring& path, int startMs = -1);
// The same with any source; the source is released.
DecodeResult DecodeWith(IConvertSource* source, const std::wstring& path, int startMs = -1);

// A header that a source must refuse, with the one error line it must give.
struct DamagedFile {
  const char* what;
  std::string bytes;
  const wchar_t* message;
};
// Opens each damaged file (written to `badPath`) with the same source: refused with exactly its message and
// left closed, and the source opens `goodPath` afterwards. A missing file gives `missingMessage`.
void ExpectDamagedFilesRefused(IConvertSource* source, const std::vector<DamagedFile>& files,
                               const std::wstring& badPath, const std::wstring& goodPath, const std::wstring& missingPath,
                               const wchar_t* missingMessage);

// Runs PCM through a WAV destination: SetFormat, Open, Write in blocks of `block` bytes, Close.
bool Encode(IConvertDestination* destination, const std::wstring& path, const WAVEFORMATEX& format,
            const std::string& pcm, RecordingCallback& log, size_t block = 4096);
