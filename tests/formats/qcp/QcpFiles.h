// Files for the PureVoice library stand-in, and decoding a file through the engine's factory row.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

enum class Serve { Frames = 0, RefuseOpen = 1, FailReads = 2, FailStreamInfo = 3 };

// A stand-in file: the samples are stored, reportedFrames is what the library tells as the frame count.
std::string QcpBytes(DWORD samplesPerFrame, DWORD reportedFrames, const std::vector<short>& samples,
                     Serve behaviour = Serve::Frames, long value = 0, DWORD goodReads = 0);
// Samples that differ from their neighbours and from those of another seed.
std::vector<short> TestSamples(size_t count, int seed);

struct DecodeResult {
  bool opened = false;
  bool read = false;
  WAVEFORMATEX format = {};
  UINT32 dataSize = 0;
  std::vector<short> samples;
  size_t blocks = 0;
  RecordingCallback log;
  bool libraryUnloaded = false;  // after Close
};

// Through ConvCreateSource for the "PureVoice QCP" row; the sink refuses the block after `acceptedBlocks`.
DecodeResult DecodeQcp(const std::wstring& path, int startMs = -1, size_t acceptedBlocks = SIZE_MAX);
