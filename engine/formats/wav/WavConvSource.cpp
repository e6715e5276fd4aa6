// The WAV source: RIFF parsing with 64-bit file positions, ACM decoding of compressed data.
#include "WavConvSource.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

#include "CWavMetadata.h"
#include "CodecNames.h"
#include "EngineResources.h"
#include "PcmFormat.h"
#include "WaveFormatRules.h"

namespace {
constexpr UINT32 kReadChunk = 65536;
constexpr DWORD kLargestFormatChunk = 0x10000;
constexpr DWORD kStreamedSize = 0xFFFFFFFF;
const wchar_t kInvalid[] = L"File format is invalid or corrupted";
const wchar_t kMissingCodecHelp[] =
    L"For information on how to install a missing codec, see: https://www.quennet.com/tavrel/help/missing-codec";

DWORD ReadUint32(const BYTE* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

// The subtype of a WAVE_FORMAT_EXTENSIBLE record that means IEEE floating point.
constexpr GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// Byte offset of a start time in PCM of this format, in whole frames.
UINT32 StartBytes(const WAVEFORMATEX& pcm, int startMs) {
  UINT32 offset = MulDivRounded(pcm.nAvgBytesPerSec, static_cast<UINT32>(startMs), 1000);
  return offset - offset % pcm.nBlockAlign;
}
}  // namespace

CWavConvSource::~CWavConvSource() { Close(); }

bool CWavConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CWavConvSource;
  return true;
}

bool CWavConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  fileFormat.clear();
  dataLeft = factFrames = 0;
  blockFrames = 0;
  floatBytes = 0;
  if (!file.OpenForReading(fileName)) return Fail(L"Source file cannot be opened");

  bool haveFormat = false;
  if (!ParseChunks(&haveFormat)) return false;
  if (!haveFormat || dataLeft == 0) return Fail(L"Length of audio data is zero");
  if (!file.Seek(dataOffset)) return Fail(kInvalid);

  const WAVEFORMATEX* header = AsFormat(fileFormat);
  if (header->wFormatTag == WAVE_FORMAT_PCM) {
    format = *header;
    format.cbSize = 0;
    fileFormat.clear();
    // A trailing partial frame is not audio.
    dataLeft -= dataLeft % format.nBlockAlign;
    if (dataLeft == 0) return Fail(L"Length of audio data is zero");
    dataSize = dataLeft;
    return true;
  }
  if (header->wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return OpenFloat();
  return OpenDecoder();
}

// No codec converts floating point, so the source does: to 24-bit PCM, which holds a float's 24-bit mantissa.
bool CWavConvSource::OpenFloat() {
  const WAVEFORMATEX* header = AsFormat(fileFormat);
  floatBytes = header->wBitsPerSample / 8;
  format = MakePcmFormat(24, header->nChannels, header->nSamplesPerSec);
  const UINT32 frames = dataLeft / header->nBlockAlign;
  dataLeft = frames * header->nBlockAlign;
  const unsigned long long bytes = static_cast<unsigned long long>(frames) * format.nBlockAlign;
  dataSize =
      static_cast<UINT32>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull - 0xFFFFFFFFull % format.nBlockAlign));
  if (dataSize == 0) return Fail(L"Length of audio data is zero");
  return true;
}

// Walks the sub-chunks: the first "fmt ", "fact" and "data" are kept. The walk goes by the file's own length,
// not the RIFF size: files written to a pipe carry 0 or 0xFFFFFFFF there, and some writers leave it short of
// their data. For the same reasons a "data" chunk that claims more than the file holds runs to its end.
bool CWavConvSource::ParseChunks(bool* haveFormat) {
  BYTE riff[12];
  if (!file.ReadExactly(riff, sizeof(riff)) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0)
    return Fail(kInvalid);
  const DWORD riffSize = ReadUint32(riff + 4);
  const bool streamed = riffSize == 0 || riffSize == kStreamedSize;
  const unsigned long long fileSize = file.Size();
  bool haveData = false, haveFact = false;
  for (unsigned long long position = 12; position + 8 <= fileSize;) {
    BYTE header[8];
    if (!file.Seek(position) || !file.ReadExactly(header, sizeof(header))) return Fail(kInvalid);
    const DWORD size = ReadUint32(header + 4);
    const unsigned long long dataStart = position + 8;
    const unsigned long long available = fileSize - dataStart;
    if (!haveData && std::memcmp(header, "data", 4) == 0) {
      unsigned long long bytes = size > available || (size == 0 && streamed) ? available : size;
      dataOffset = dataStart;
      dataLeft = static_cast<UINT32>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull));
      haveData = true;
      if (bytes == available) break;
    } else if (size > available) {
      // A damaged chunk only matters while something is still missing.
      if (*haveFormat && haveData) break;
      return Fail(kInvalid);
    } else if (!*haveFormat && std::memcmp(header, "fmt ", 4) == 0) {
      if (!TakeFormatChunk(size)) return false;
      *haveFormat = true;
    } else if (!haveFact && std::memcmp(header, "fact", 4) == 0 && size >= 4) {
      BYTE frames[4];
      if (!file.ReadExactly(frames, sizeof(frames))) return Fail(kInvalid);
      factFrames = ReadUint32(frames);
      haveFact = true;
    }
    position = dataStart + size + (size & 1);
  }
  return true;
}

bool CWavConvSource::TakeFormatChunk(DWORD size) {
  if (size < 16 || size > kLargestFormatChunk) return Fail(kInvalid);
  std::vector<BYTE> record(std::max<DWORD>(size, sizeof(WAVEFORMATEX)), 0);
  if (!file.ReadExactly(record.data(), size)) return Fail(kInvalid);
  auto* header = reinterpret_cast<WAVEFORMATEX*>(record.data());
  // The extra bytes a record announces never reach past what the chunk holds.
  header->cbSize = static_cast<WORD>(std::min<size_t>(header->cbSize, record.size() - sizeof(WAVEFORMATEX)));
  if (header->wFormatTag == WAVE_FORMAT_EXTENSIBLE && header->cbSize >= 22) {
    // Extensible PCM or float (more than 16 bits, more channels) is read as its plain form.
    const BYTE* subtype = record.data() + sizeof(WAVEFORMATEX) + 6;
    if (std::memcmp(subtype, &kSubtypePcm, sizeof(GUID)) == 0) header->wFormatTag = WAVE_FORMAT_PCM;
    if (std::memcmp(subtype, &kSubtypeFloat, sizeof(GUID)) == 0) header->wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  }
  if (header->wFormatTag == WAVE_FORMAT_PCM || header->wFormatTag == WAVE_FORMAT_IEEE_FLOAT) header->cbSize = 0;
  fileFormat.assign(record.begin(), record.begin() + sizeof(WAVEFORMATEX) + header->cbSize);
  std::wstring reason;
  if (!CheckWaveFormat(fileFormat, reason)) {
    Fail(kInvalid);
    LogInfo(L"%s", reason.c_str());
    return false;
  }
  return true;
}

bool CWavConvSource::OpenDecoder() {
  auto acm = LockAcm();
  const WAVEFORMATEX* header = AsFormat(fileFormat);
  format = WAVEFORMATEX{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  // A tag no driver handles is a missing codec, whatever a suggestion would answer.
  if (AcmCodecName(header->wFormatTag).empty()) {
    std::wstring name = MissingCodecName(header->wFormatTag);
    Fail(FormatText(kMessageCapacity, L"Required Codec '%s' not present on your computer.", name.c_str()));
    LogInfo(L"%s", kMissingCodecHelp);
    return false;
  }
  MMRESULT result = acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(header), &format, sizeof(WAVEFORMATEX),
                                     ACM_FORMATSUGGESTF_WFORMATTAG);
  if (result != MMSYSERR_NOERROR)
    return Fail(FormatText(kMessageCapacity, L"PCM format \"suggestion\" for the Wave file failed (ACM error %d)",
                           static_cast<int>(result)));
  format.cbSize = 0;
  if (format.nBlockAlign == 0 || format.nAvgBytesPerSec == 0) return Fail(kInvalid);
  result = acmStreamOpen(&acmStream, nullptr, const_cast<WAVEFORMATEX*>(header), &format, nullptr, 0, 0,
                         ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR) {
    acmStream = nullptr;
    return Fail(
        FormatText(kMessageCapacity, L"Conversion stream cannot be opened (ACM error %d)", static_cast<int>(result)));
  }
  blockFrames = SamplesPerBlock(header);
  if (blockFrames) {
    // Block codecs hold an exact number of frames: whole blocks only (codecs decode nothing else), and no more
    // than the "fact" chunk counts, which cuts the padding of the last block.
    unsigned long long frames = static_cast<unsigned long long>(dataLeft / header->nBlockAlign) * blockFrames;
    if (factFrames) frames = std::min<unsigned long long>(frames, factFrames);
    dataSize = static_cast<UINT32>(std::min<unsigned long long>(frames * format.nBlockAlign, 0xFFFFFFFFull));
    dataSize -= dataSize % format.nBlockAlign;
  } else {
    dataSize = MulDivRounded(dataLeft, format.nAvgBytesPerSec, header->nAvgBytesPerSec);
  }
  if (dataSize == 0) return Fail(L"Length of audio data is zero");
  return true;
}

bool CWavConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (dataLeft == 0) return true;
  if (!sink) return false;
  if (floatBytes) return ReadFloat(sink);
  return acmStream ? ReadCompressed(sink) : ReadPcm(sink);
}

bool CWavConvSource::ReadPcm(IPlayCallback* sink) {
  const UINT32 chunk = kReadChunk - kReadChunk % format.nBlockAlign;
  if (startTimeMs > 0) {
    UINT32 offset = std::min(StartBytes(format, startTimeMs), dataLeft);
    if (!file.Skip(offset)) return false;
    dataLeft -= offset;
  }
  std::vector<BYTE> buffer(chunk);
  while (dataLeft > 0) {
    long long read = file.Read(buffer.data(), std::min(chunk, dataLeft));
    if (read <= 0) break;  // the file ends early: everything it held was delivered
    read -= read % format.nBlockAlign;
    if (read == 0) break;
    dataLeft -= static_cast<UINT32>(read);
    if (!sink->OnData(buffer.data(), static_cast<UINT32>(read))) return false;
  }
  dataLeft = 0;
  return true;
}

bool CWavConvSource::ReadFloat(IPlayCallback* sink) {
  const WAVEFORMATEX* header = AsFormat(fileFormat);
  const UINT32 frameBytes = header->nBlockAlign;
  const UINT32 framesPerRead = kReadChunk / frameBytes + 1;
  if (startTimeMs > 0) {
    const UINT32 startFrame = StartBytes(format, startTimeMs) / format.nBlockAlign;
    const UINT32 offset = static_cast<UINT32>(
        std::min<unsigned long long>(static_cast<unsigned long long>(startFrame) * frameBytes, dataLeft));
    if (!file.Skip(offset)) return false;
    dataLeft -= offset;
  }
  std::vector<BYTE> input(static_cast<size_t>(framesPerRead) * frameBytes);
  std::vector<BYTE> output(static_cast<size_t>(framesPerRead) * format.nBlockAlign);
  while (dataLeft > 0) {
    long long read = file.Read(input.data(), std::min<UINT32>(static_cast<UINT32>(input.size()), dataLeft));
    if (read <= 0) break;
    const UINT32 samples = static_cast<UINT32>(read / frameBytes) * header->nChannels;
    if (samples == 0) break;
    dataLeft -= static_cast<UINT32>(read);
    BYTE* out = output.data();
    for (UINT32 i = 0; i < samples; ++i, out += 3) {
      double value;
      if (floatBytes == 8) {
        std::memcpy(&value, input.data() + i * 8, 8);
      } else {
        float single;
        std::memcpy(&single, input.data() + i * 4, 4);
        value = single;
      }
      const int sample = FloatTo24(value);
      out[0] = static_cast<BYTE>(sample);
      out[1] = static_cast<BYTE>(sample >> 8);
      out[2] = static_cast<BYTE>(sample >> 16);
    }
    if (!sink->OnData(output.data(), samples * 3)) return false;
  }
  dataLeft = 0;
  return true;
}

bool CWavConvSource::ReadCompressed(IPlayCallback* sink) {
  const WAVEFORMATEX* header = AsFormat(fileFormat);
  const UINT32 chunk = kReadChunk - kReadChunk % format.nBlockAlign;
  UINT32 skip = 0;            // decoded bytes before the start time, inside its block
  UINT32 deliver = dataSize;  // decoded bytes still to hand on
  if (startTimeMs > 0) {
    const UINT32 start = StartBytes(format, startTimeMs);
    if (blockFrames) {
      // Decoding starts at the block that holds the start time; the frames before it are dropped.
      const unsigned long long startFrame = start / format.nBlockAlign;
      const unsigned long long block = startFrame / blockFrames;
      const unsigned long long offset =
          std::min<unsigned long long>(block * header->nBlockAlign, dataLeft - dataLeft % header->nBlockAlign);
      if (!file.Skip(offset)) return false;
      dataLeft -= static_cast<UINT32>(offset);
      skip = static_cast<UINT32>((startFrame - block * blockFrames) * format.nBlockAlign);
      deliver = start >= dataSize ? 0 : dataSize - start;
    } else {
      // Without fixed blocks the start is a position in the compressed data: the file's own byte rate.
      UINT32 offset = MulDivRounded(header->nAvgBytesPerSec, static_cast<UINT32>(startTimeMs), 1000);
      offset = std::min(offset - offset % header->nBlockAlign, dataLeft);
      if (!file.Skip(offset)) return false;
      dataLeft -= offset;
      deliver = 0xFFFFFFFF;
    }
  } else if (!blockFrames) {
    deliver = 0xFFFFFFFF;
  }
  std::vector<BYTE> output(chunk);
  std::vector<BYTE> pending;  // compressed bytes read but not yet taken by the codec
  while (deliver > 0) {
    DWORD sourceBytes = 0;
    MMRESULT result = acmStreamSize(acmStream, chunk, &sourceBytes, ACM_STREAMSIZEF_DESTINATION);
    if (result != MMSYSERR_NOERROR) {
      LogError(L"Stream size cannot be estimated (ACM error %d)", static_cast<int>(result));
      return false;
    }
    UINT32 want = std::min<UINT32>(std::max<DWORD>(sourceBytes, header->nBlockAlign), dataLeft);
    size_t kept = pending.size();
    try {
      pending.resize(kept + want);
    } catch (const std::bad_alloc&) {
      LogError(L"Out of memory");
      return false;
    }
    long long read = want ? file.Read(pending.data() + kept, want) : 0;
    if (read < 0) read = 0;
    pending.resize(kept + static_cast<size_t>(read));
    dataLeft = static_cast<UINT32>(read) < want ? 0 : dataLeft - want;
    if (pending.empty()) return true;

    ACMSTREAMHEADER piece = {};
    piece.cbStruct = sizeof(piece);
    piece.pbSrc = pending.data();
    piece.cbSrcLength = static_cast<DWORD>(pending.size());
    piece.pbDst = output.data();
    piece.cbDstLength = chunk;
    result = acmStreamPrepareHeader(acmStream, &piece, 0);
    if (result != MMSYSERR_NOERROR) {
      LogError(L"Stream header cannot be prepared (ACM error %d)", static_cast<int>(result));
      return false;
    }
    result = acmStreamConvert(acmStream, &piece, dataLeft > 0 ? ACM_STREAMCONVERTF_BLOCKALIGN : 0);
    acmStreamUnprepareHeader(acmStream, &piece, 0);
    if (result != MMSYSERR_NOERROR) {
      LogError(L"Stream cannot be converted (ACM error %d)", static_cast<int>(result));
      return false;
    }
    DWORD used = std::min<DWORD>(piece.cbSrcLengthUsed, static_cast<DWORD>(pending.size()));
    pending.erase(pending.begin(), pending.begin() + used);
    const BYTE* produced = output.data();
    DWORD size = std::min<DWORD>(piece.cbDstLengthUsed, chunk);
    const DWORD dropped = std::min<DWORD>(size, skip);
    produced += dropped;
    size -= dropped;
    skip -= dropped;
    size = std::min<DWORD>(size, deliver);
    deliver -= size;
    if (size > 0 && !sink->OnData(produced, size)) return false;
    // Nothing more taken at the end: the codec has finished with what is left.
    if (used == 0 && dataLeft == 0) return true;
  }
  return true;
}

bool CWavConvSource::Close() {
  CDefConvertSource::Close();
  if (acmStream) {
    auto acm = LockAcm();
    acmStreamClose(acmStream, 0);
  }
  acmStream = nullptr;
  floatBytes = 0;
  file.Close();
  fileFormat.clear();
  return true;
}

bool CWavConvSource::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(CreateWavMetadata(fileName, out));
}
