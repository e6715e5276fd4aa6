// ID3v2.4 to ID3v2.3: the frame layer is rewritten; frame contents are kept except for their text encoding.
#include "Id3v24Conversion.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 10;

unsigned Syncsafe(const std::string& bytes, size_t at) {
  unsigned value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 7) | (static_cast<unsigned char>(bytes[at + i]) & 0x7F);
  return value;
}

void PutBigEndian(std::string& out, unsigned value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void PutSyncsafe(std::string& out, unsigned value) {
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((value >> shift) & 0x7F);
}

std::string Resynchronise(const std::string& data) {
  std::string out;
  out.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    out += data[i];
    if (static_cast<unsigned char>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsFrameId(const std::string& id) {
  for (char ch : id)
    if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))) return false;
  return true;
}

// Text of one encoding as UTF-16LE (no BOM, no terminator).
std::string ToUtf16(unsigned char encoding, const std::string& text) {
  if (encoding == 3) {
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  }
  std::string swapped = text;  // UTF-16BE
  for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  if (swapped.size() % 2) swapped.pop_back();
  return swapped;
}

// Splits encoded text at its terminators (one byte for UTF-8, two aligned bytes for UTF-16BE).
size_t TerminatorAt(unsigned char encoding, const std::string& text, size_t from) {
  if (encoding == 3) return text.find('\0', from);
  for (size_t i = from; i + 1 < text.size(); i += 2)
    if (text[i] == '\0' && text[i + 1] == '\0') return i;
  return std::string::npos;
}

// Re-encodes count terminated strings (the last may run to the end) starting at `at`; the rest is copied.
std::string ReencodeStrings(unsigned char encoding, const std::string& data, size_t at, int count) {
  std::string out = data.substr(0, at);
  out[0] = '\x01';
  size_t step = encoding == 3 ? 1 : 2;
  for (int i = 0; i < count && at <= data.size(); ++i) {
    size_t end = i + 1 < count ? TerminatorAt(encoding, data, at) : std::string::npos;
    std::string piece = data.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (i + 1 == count) {
      // The last string: values separated by terminators become one "/"-separated value.
      std::string joined;
      for (size_t start = 0;;) {
        size_t stop = TerminatorAt(encoding, piece, start);
        std::string value = piece.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
        if (!value.empty()) joined += (joined.empty() ? "" : (encoding == 3 ? "/" : std::string("\0/", 2))) + value;
        if (stop == std::string::npos) break;
        start = stop + step;
      }
      piece = joined;
    }
    out += "\xFF\xFE" + ToUtf16(encoding, piece);
    if (i + 1 < count) out += std::string(2, '\0');
    at = end == std::string::npos ? data.size() + 1 : end + step;
  }
  return out;
}

std::string ConvertText(const std::string& id, std::string data) {
  if (data.empty()) return data;
  unsigned char encoding = static_cast<unsigned char>(data[0]);
  if (encoding != 2 && encoding != 3) return data;
  if (id == "TXXX") return ReencodeStrings(encoding, data, 1, 2);
  if (id[0] == 'T') return ReencodeStrings(encoding, data, 1, 1);
  if ((id == "COMM" || id == "USLT") && data.size() >= 4) return ReencodeStrings(encoding, data, 4, 2);
  if (id == "WXXX") {
    size_t end = TerminatorAt(encoding, data, 1);
    if (end == std::string::npos) return std::string();
    std::string out = ReencodeStrings(encoding, data.substr(0, end), 1, 1);
    return out + std::string(2, '\0') + data.substr(end + (encoding == 3 ? 1 : 2));
  }
  return std::string();  // other frames with these encodings are not understood by the library
}

}  // namespace

std::string ConvertId3v24To23(const std::string& tag) {
  if (tag.size() < kHeaderSize || tag.compare(0, 3, "ID3") != 0 || tag[3] != 4) return {};
  unsigned char flags = static_cast<unsigned char>(tag[5]);
  size_t end = std::min(tag.size(), kHeaderSize + Syncsafe(tag, 6));
  size_t at = kHeaderSize;
  if ((flags & 0x40) && end >= at + 4) at += Syncsafe(tag, at);
  std::string frames;
  while (at + kHeaderSize <= end) {
    std::string id = tag.substr(at, 4);
    if (!IsFrameId(id)) break;
    size_t size = Syncsafe(tag, at + 4);
    unsigned char format = static_cast<unsigned char>(tag[at + 9]);
    if (size > end - at - kHeaderSize) break;
    std::string data = tag.substr(at + kHeaderSize, size);
    at += kHeaderSize + size;
    if (format & 0x04) continue;  // encrypted
    if ((flags & 0x80) || (format & 0x02)) data = Resynchronise(data);
    if (format & 0x40) data.erase(0, 1);  // group identifier
    unsigned decompressed = 0;
    if (format & 0x01) {
      if (data.size() < 4) continue;
      decompressed = Syncsafe(data, 0);
      data.erase(0, 4);
    }
    if (format & 0x08) {
      if (!decompressed || decompressed > (16u << 20)) continue;
      std::string inflated(decompressed, '\0');
      uLongf length = decompressed;
      if (uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
                     static_cast<uLong>(data.size())) != Z_OK)
        continue;
      inflated.resize(length);
      data = inflated;
    }
    if (id == "TDRC") {
      // Only the year of a recording time has a place in ID3v2.3.
      id = "TYER";
      std::string text = data.size() > 1 ? data.substr(1) : std::string();
      if (data.empty() || (data[0] != 0 && data[0] != 3)) continue;
      data = std::string(1, '\0') + text.substr(0, 4);
    } else if (id == "TDOR") {
      id = "TORY";
      if (data.empty() || (data[0] != 0 && data[0] != 3)) continue;
      data = std::string(1, '\0') + data.substr(1, 4);
    }
    data = ConvertText(id, data);
    if (data.empty()) continue;
    frames += id;
    PutBigEndian(frames, static_cast<unsigned>(data.size()));
    frames += std::string(2, '\0');
    frames += data;
  }
  std::string out = "ID3";
  out += '\x03';
  out += '\0';
  out += '\0';
  PutSyncsafe(out, static_cast<unsigned>(frames.size()));
  return out + frames;
}
