// Taking our Ogg output apart (pages and packets) and running PCM through an Ogg destination in tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tavcore.h"

struct OggPage {
  uint8_t flags = 0;  // 1 continued packet, 2 beginning of stream, 4 end of stream
  int64_t granule = 0;
  uint32_t serial = 0;
  uint32_t sequence = 0;
  size_t packetsEnded = 0;  // packets that end on this page
  bool endsWithPacket = false;
};

struct OggStream {
  std::vector<OggPage> pages;
  std::vector<std::string> packets;  // complete packets, in order
  bool valid = false;                // every byte belongs to a well-formed page (checksums are ogginfo's job)
};
OggStream ParseOgg(const std::string& bytes);

IConvertDestination* NewOggDestination();
std::wstring SettingsText(IConvertDestination* destination);

// SetFormat, Open, then the PCM in writes of the given sizes (cycled), Close. False when any step fails.
bool EncodeOgg(IConvertDestination* destination, const std::wstring& path, const WAVEFORMATEX& format,
               const std::string& pcm, RecordingCallback& log, const std::vector<size_t>& writeSizes = {4096});
