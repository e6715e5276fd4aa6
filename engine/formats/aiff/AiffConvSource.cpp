// The AIFF source: chunk search, COMM and SSND parsing, big- or little-endian samples to PCM.
#include "AiffConvSource.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "AiffLayout.h"
#include "EngineResources.h"

namespace {
constexpr UINT32 kReadChunk = 65536;
const wchar_t kNotAudioRecording[] = L"File doesn't contain an AIFF/AIFC standard audio recording";
const wchar_t kNoAudio[] = L"Audio file does not contain audio";
constexpr size_t kCommonSize = 18;
constexpr size_t kAifcCommonSize = 22;  // plus the compression type

struct AcceptedType {
  const char* type;
  bool littleEndian;
};
// "ima4" is ADPCM and "fl32"/"fl64" are floats: read as integers they would be noise, so they stay out.
const AcceptedType kAcceptedTypes[] = {{"NONE", false}, {"SONE", false}, {"sowt", true}};
}  // namespace

CAIFFConvSource::~CAIFFConvSource() { Close(); }

bool CAIFFConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CAIFFConvSource;
  return true;
}

bool CAIFFConvSource::ReadAt(unsigned long long at, void* buffer, DWORD size) {
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(at);
  DWORD read = 0;
  return SetFilePointerEx(file.Get(), target, nullptr, FILE_BEGIN) &&
         ReadFile(file.Get(), buffer, size, &read, nullptr) && read == size;
}

// Chunks are padded to even lengths; a chunk that runs past `end` or the file ends the search.
bool CAIFFConvSource::FindChunk(const char* id, unsigned long long start, unsigned long long end, ChunkHeader* found) {
  for (unsigned long long at = start; at + 8 <= end;) {
    BYTE header[8];
    if (!ReadAt(at, header, sizeof(header))) return false;
    const UINT32 size = ReadBigEndian32(header + 4);
    if (std::memcmp(header, id, 4) == 0) {
      *found = {at + 8, size};
      return true;
    }
    at += 8ull + size + (size & 1);
  }
  return false;
}

bool CAIFFConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  common = CommonData{};
  std::strcpy(common.compressionType, "NONE");
  littleEndian = false;
  file.Reset(
      CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return Fail(L"Source file cannot be opened for reading");
  fileSize = static_cast<unsigned long long>(size.QuadPart);

  ChunkHeader form = {};
  char formType[4];
  if (!FindChunk("FORM", 0, fileSize, &form) || form.size < 4 || !ReadAt(form.dataPosition, formType, 4))
    return Fail(L"AIFF/AIFC header was not found");
  const bool isAifc = std::memcmp(formType, "AIFC", 4) == 0;
  if (!isAifc && std::memcmp(formType, "AIFF", 4) != 0) return Fail(kNotAudioRecording);
  const unsigned long long formEnd = std::min(form.dataPosition + form.size, fileSize);

  ChunkHeader comm = {};
  if (!FindChunk("COMM", form.dataPosition + 4, formEnd, &comm))
    return Fail(FormatText(kMessageCapacity, L"Chunk %hs was not found", "COMM"));
  if (!ReadCommon(comm, isAifc)) return false;

  ChunkHeader ssnd = {};
  if (!FindChunk("SSND", form.dataPosition + 4, formEnd, &ssnd))
    return Fail(FormatText(kMessageCapacity, L"Chunk %hs was not found", "SSND"));
  return SetUpData(ssnd);
}

bool CAIFFConvSource::ReadCommon(const ChunkHeader& chunk, bool isAifc) {
  BYTE data[kAifcCommonSize + 256] = {};
  const size_t needed = isAifc ? kAifcCommonSize : kCommonSize;
  const DWORD available = static_cast<DWORD>(std::min<unsigned long long>(
      {chunk.size, sizeof(data), fileSize > chunk.dataPosition ? fileSize - chunk.dataPosition : 0}));
  if (available < needed || !ReadAt(chunk.dataPosition, data, available)) return Fail(kNotAudioRecording);
  common.channels = static_cast<INT16>(ReadBigEndian16(data));
  common.frames = ReadBigEndian32(data + 2);
  common.sampleSize = static_cast<INT16>(ReadBigEndian16(data + 6));
  common.rate = ReadExtendedRate(data + 8);
  if (common.frames == 0) return Fail(kNoAudio);
  if (isAifc) {
    std::memcpy(common.compressionType, data + kCommonSize, 4);
    common.compressionType[4] = '\0';
    // The name is a Pascal string; a count past the chunk keeps what the chunk holds.
    if (available > kAifcCommonSize) {
      size_t length = std::min<size_t>(data[kAifcCommonSize], available - kAifcCommonSize - 1);
      std::memcpy(common.compressionName, data + kAifcCommonSize + 1, length);
      common.compressionName[length] = '\0';
    }
  }
  auto accepted = std::find_if(std::begin(kAcceptedTypes), std::end(kAcceptedTypes), [&](const AcceptedType& t) {
    return std::memcmp(t.type, common.compressionType, 4) == 0;
  });
  if (accepted == std::end(kAcceptedTypes)) {
    return Fail(FormatText(kMessageCapacity, L"Compression type %hs (%hs) is not supported",
                           common.compressionName[0] ? common.compressionName : "???", common.compressionType));
  }
  littleEndian = accepted->littleEndian;
  // Rates below 1 Hz or beyond 32 bits and empty frames cannot be PCM.
  if (common.channels <= 0 || common.sampleSize < 1 || common.sampleSize > 32 || !(common.rate >= 1.0) ||
      common.rate >= 4294967296.0)
    return Fail(kNotAudioRecording);
  return true;
}

bool CAIFFConvSource::SetUpData(const ChunkHeader& ssnd) {
  BYTE header[8];
  if (ssnd.size < 8 || !ReadAt(ssnd.dataPosition, header, sizeof(header))) return Fail(kNoAudio);
  ssndOffset = ReadBigEndian32(header);
  ssndBlockSize = ReadBigEndian32(header + 4);

  // Samples narrower than a byte multiple sit left-justified in whole bytes: PCM of the container width.
  const unsigned bytesPerSample = (static_cast<unsigned>(common.sampleSize) + 7) / 8;
  const unsigned long long blockAlign = static_cast<unsigned long long>(common.channels) * bytesPerSample;
  const unsigned long long rate = static_cast<unsigned long long>(common.rate);
  if (blockAlign > 0xFFFF || blockAlign * rate > 0xFFFFFFFFull) return Fail(kNotAudioRecording);

  format = WAVEFORMATEX{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(common.channels);
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.nBlockAlign = static_cast<WORD>(blockAlign);
  format.nAvgBytesPerSec = static_cast<DWORD>(blockAlign * rate);
  format.wBitsPerSample = static_cast<WORD>(bytesPerSample * 8);

  // What the header promises, cut to what the chunk and the file hold, in whole frames.
  dataPosition = ssnd.dataPosition + 8 + ssndOffset;
  const unsigned long long chunkEnd = std::min(ssnd.dataPosition + ssnd.size, fileSize);
  unsigned long long bytes = dataPosition < chunkEnd ? chunkEnd - dataPosition : 0;
  bytes = std::min(bytes, static_cast<unsigned long long>(common.frames) * blockAlign);
  bytes = std::min(bytes, 0xFFFFFFFFull);
  bytes -= bytes % blockAlign;
  if (bytes == 0) return Fail(kNoAudio);
  dataSize = static_cast<UINT32>(bytes);
  return true;
}

bool CAIFFConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!sink) return false;
  UINT32 left = dataSize;
  unsigned long long at = dataPosition;
  if (startTimeMs > 0) {
    UINT32 offset = MulDivRounded(format.nAvgBytesPerSec, static_cast<UINT32>(startTimeMs), 1000);
    offset = std::min(offset - offset % format.nBlockAlign, left);
    at += offset;
    left -= offset;
  }
  const unsigned bytesPerSample = format.wBitsPerSample / 8;
  const UINT32 chunk = kReadChunk - kReadChunk % format.nBlockAlign;
  std::vector<BYTE> buffer(chunk);
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(at);
  if (!SetFilePointerEx(file.Get(), target, nullptr, FILE_BEGIN)) return true;
  while (left > 0) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), std::min(chunk, left), &read, nullptr)) break;
    read -= read % format.nBlockAlign;  // a frame cut short would shift every channel after it
    if (read == 0) break;               // the file got shorter: everything it held was delivered
    left -= read;
    ConvertSamples(buffer.data(), read, bytesPerSample, littleEndian);
    if (!sink->OnData(buffer.data(), read)) return false;
  }
  return true;
}

bool CAIFFConvSource::Close() {
  CDefConvertSource::Close();
  file.Reset();
  return true;
}
