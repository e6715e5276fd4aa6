// READ TOC answers: a 4-byte header (data length, first and last track) and 8-byte descriptors (control in the low
// nibble of byte 1, track number in byte 2, the address in bytes 4-7), the lead-out last.
#include "TocParser.h"

namespace {
constexpr size_t kHeader = 4, kDescriptor = 8;
constexpr BYTE kDataTrack = 0x04;

UINT32 BigEndian32(const BYTE* bytes) {
  return static_cast<UINT32>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// The number of descriptors the answer really holds, or 0 when its header does not fit the buffer.
size_t DescriptorCount(const BYTE* answer, size_t size) {
  if (!answer || size < kHeader) return 0;
  const size_t length = static_cast<size_t>(answer[0]) << 8 | answer[1];  // excludes the length field itself
  if (length < 2 || length + 2 > size || (length - 2) % kDescriptor != 0) return 0;
  return (length - 2) / kDescriptor;
}

bool Refuse(std::wstring* reason, const wchar_t* text) {
  if (reason) *reason = text;
  return false;
}
}  // namespace

bool ParseToc(const BYTE* blocks, size_t blocksSize, const BYTE* msf, size_t msfSize, ParsedToc* out,
              std::wstring* reason) {
  const size_t blockDescriptors = DescriptorCount(blocks, blocksSize);
  const size_t msfDescriptors = DescriptorCount(msf, msfSize);
  if (!blockDescriptors || !msfDescriptors)
    return Refuse(reason, L"The TOC answer is too short or its length is wrong");
  const UINT32 count = msf[3];  // tracks are taken to start at 1
  if (count == 0 || count > 99) return Refuse(reason, L"The TOC lists no tracks or more than 99");
  if (msfDescriptors < count + 1 || blockDescriptors < count + 1)
    return Refuse(reason, L"The TOC lacks descriptors of its tracks or of the lead-out");

  ParsedToc parsed;
  parsed.toc.count = count;
  for (UINT32 i = 0; i <= count; ++i) {
    const BYTE* timed = msf + kHeader + i * kDescriptor;
    const BYTE* addressed = blocks + kHeader + i * kDescriptor;
    if (timed[2] != addressed[2] || (timed[1] & 0x0F) != (addressed[1] & 0x0F))
      return Refuse(reason, L"The two forms of the TOC disagree");
    if (timed[6] > 59 || timed[7] > 74) return Refuse(reason, L"The TOC holds an impossible time");
    parsed.toc.offsets[i] = (timed[5] * 60u + timed[6]) * 75u + timed[7];
  }
  const UINT32 leadOut = BigEndian32(blocks + kHeader + count * kDescriptor + 4);
  for (UINT32 i = 0; i < count; ++i) {
    const BYTE* addressed = blocks + kHeader + i * kDescriptor;
    const UINT32 start = BigEndian32(addressed + 4);
    const UINT32 next = BigEndian32(addressed + kDescriptor + 4);
    // Block addresses count up to the lead-out; anything else would give negative or overflowing lengths.
    if (start >= next || next > leadOut)
      return Refuse(reason, L"A track of the TOC starts beyond the next one or the lead-out");
    if (addressed[1] & kDataTrack) continue;
    const BYTE* timed = msf + kHeader + i * kDescriptor;
    cdrip::CDTrackInfo track = {};
    track.version = 1;
    track.track = addressed[2];
    track.startSector = start;
    track.lengthSectors = next - start;
    track.startMSF = cdrip::PackMSF(timed[5], timed[6], timed[7]);
    track.lengthMSF = cdrip::PackFrames(track.lengthSectors);
    parsed.serial += track.startMSF;
    parsed.audioTracks.push_back(track);
  }
  for (cdrip::CDTrackInfo& track : parsed.audioTracks) track.serial = parsed.serial;
  *out = parsed;
  return true;
}
