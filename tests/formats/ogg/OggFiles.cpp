// Test helpers for Ogg files: a page and packet reader, and an encoding driver.
#include "OggFiles.h"

#include <gtest/gtest.h>

#include "WavFiles.h"

namespace {
uint64_t Little(const std::string& bytes, size_t at, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}
}  // namespace

OggStream ParseOgg(const std::string& bytes) {
  OggStream stream;
  std::string packet;
  size_t at = 0;
  while (at < bytes.size()) {
    if (at + 27 > bytes.size() || bytes.compare(at, 4, "OggS") != 0 || bytes[at + 4] != 0) return stream;
    size_t segments = static_cast<unsigned char>(bytes[at + 26]);
    if (at + 27 + segments > bytes.size()) return stream;
    size_t bodySize = 0;
    for (size_t i = 0; i < segments; ++i) bodySize += static_cast<unsigned char>(bytes[at + 27 + i]);
    size_t pageSize = 27 + segments + bodySize;
    if (at + pageSize > bytes.size()) return stream;

    OggPage info;
    info.flags = static_cast<uint8_t>(bytes[at + 5]);
    info.granule = static_cast<int64_t>(Little(bytes, at + 6, 8));
    info.serial = static_cast<uint32_t>(Little(bytes, at + 14, 4));
    info.sequence = static_cast<uint32_t>(Little(bytes, at + 18, 4));
    size_t body = at + 27 + segments;
    for (size_t i = 0; i < segments; ++i) {
      size_t lacing = static_cast<unsigned char>(bytes[at + 27 + i]);
      packet.append(bytes, body, lacing);
      body += lacing;
      info.endsWithPacket = lacing < 255;
      if (lacing < 255) {
        stream.packets.push_back(std::move(packet));
        packet.clear();
        ++info.packetsEnded;
      }
    }
    stream.pages.push_back(info);
    at += pageSize;
  }
  stream.valid = !stream.pages.empty() && packet.empty();
  return stream;
}

IConvertDestination* NewOggDestination() { return NewDestinationFor(L"Ogg Vorbis"); }

std::wstring SettingsText(IConvertDestination* destination) {
  wchar_t text[256] = L"";
  EXPECT_TRUE(destination->GetSettingsText(text, 256));
  return text;
}

bool EncodeOgg(IConvertDestination* destination, const std::wstring& path, const WAVEFORMATEX& format,
               const std::string& pcm, RecordingCallback& log, const std::vector<size_t>& writeSizes) {
  destination->SetCallback(&log);
  destination->SetFileName(path.c_str());
  if (!destination->SetFormat(&format) || !destination->Open()) {
    destination->SetCallback(nullptr);
    return false;
  }
  bool written = true;
  size_t at = 0;
  for (size_t turn = 0; written && at < pcm.size(); ++turn) {
    size_t size = std::min(writeSizes[turn % writeSizes.size()], pcm.size() - at);
    written = destination->Write(static_cast<UINT32>(size), pcm.data() + at);
    at += size;
  }
  bool closed = destination->Close();
  destination->SetCallback(nullptr);
  return written && closed;
}
