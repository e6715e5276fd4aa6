// The WAV source: RIFF parsing through the platform's multimedia file I/O, ACM decoding of compressed data.
#include "WavConvSource.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

#include "CWavMetadata.h"
#include "CodecNames.h"
#include "EngineResources.h"
#include "MmioFile.h"

namespace {
constexpr UINT32 kReadChunk = 65536;
constexpr WORD kLargestPcmBlock = 32768;
const wchar_t kInvalid[] = L"File format is invalid or corrupted";
const wchar_t kMissingCodecHelp[] =
    L"For information on how to install a missing codec, see: https://www.quennet.com/tavrel/help/missing-codec";

// The subtype of a WAVE_FORMAT_EXTENSIBLE record that means plain PCM.
constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

DWORD ReadUint32(const BYTE* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

bool ReadExactly(HMMIO file, void* buffer, LONG size) {
  return mmioRead(file, static_cast<HPSTR>(buffer), size) == size;
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
  dataLeft = 0;
  file = OpenMmioFile(fileName, false);
  if (!file) return Fail(L"Source file cannot be opened");

  bool haveFormat = false;
  if (!ParseChunks(&haveFormat)) return false;
  if (!haveFormat || dataLeft == 0) return Fail(L"Length of audio data is zero");
  if (mmioSeek(file, static_cast<LONG>(dataOffset), SEEK_SET) == -1) return Fail(kInvalid);

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
  return OpenDecoder();
}

// Walks the sub-chunks of the RIFF/WAVE chunk: the first "fmt " and the first "data" are kept.
bool CWavConvSource::ParseChunks(bool* haveFormat) {
  BYTE riff[12];
  if (!ReadExactly(file, riff, sizeof(riff)) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0)
    return Fail(kInvalid);
  const unsigned long long riffEnd = 8ull + ReadUint32(riff + 4);
  bool haveData = false;
  for (unsigned long long position = 12; position + 8 <= riffEnd;) {
    BYTE header[8];
    if (mmioSeek(file, static_cast<LONG>(position), SEEK_SET) == -1 || !ReadExactly(file, header, sizeof(header)))
      break;  // the file ends before the RIFF chunk says: what was found so far counts
    const DWORD size = ReadUint32(header + 4);
    const unsigned long long dataStart = position + 8;
    if (dataStart + size > riffEnd) return Fail(kInvalid);
    if (!*haveFormat && std::memcmp(header, "fmt ", 4) == 0) {
      if (size < 16 || size > 0x10000) return Fail(kInvalid);
      std::vector<BYTE> record(std::max<DWORD>(size, sizeof(WAVEFORMATEX)), 0);
      if (!ReadExactly(file, record.data(), static_cast<LONG>(size))) return Fail(kInvalid);
      auto* format = reinterpret_cast<WAVEFORMATEX*>(record.data());
      // The extra bytes a record announces never reach past what the chunk holds.
      format->cbSize = static_cast<WORD>(std::min<DWORD>(format->cbSize, record.size() - sizeof(WAVEFORMATEX)));
      if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22 &&
          std::memcmp(record.data() + sizeof(WAVEFORMATEX) + 6, &kSubtypePcm, sizeof(GUID)) == 0) {
        format->wFormatTag = WAVE_FORMAT_PCM;  // extensible PCM (more than 16 bits, more channels) is PCM
      }
      if (format->wFormatTag == WAVE_FORMAT_PCM) format->cbSize = 0;
      if (format->nBlockAlign == 0 || format->nAvgBytesPerSec == 0) return Fail(kInvalid);
      if (format->wFormatTag == WAVE_FORMAT_PCM &&
          (format->nChannels == 0 || format->wBitsPerSample == 0 || format->nBlockAlign > kLargestPcmBlock))
        return Fail(kInvalid);
      fileFormat.assign(record.begin(), record.begin() + sizeof(WAVEFORMATEX) + format->cbSize);
      *haveFormat = true;
    } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
      dataOffset = static_cast<UINT32>(dataStart);
      dataLeft = size;
      haveData = true;
    }
    position = dataStart + size + (size & 1);
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
  result = acmStreamOpen(&acmStream, nullptr, const_cast<WAVEFORMATEX*>(header), &format, nullptr, 0, 0,
                         ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR) {
    acmStream = nullptr;
    return Fail(
        FormatText(kMessageCapacity, L"Conversion stream cannot be opened (ACM error %d)", static_cast<int>(result)));
  }
  dataSize = MulDivRounded(dataLeft, format.nAvgBytesPerSec, header->nAvgBytesPerSec);
  return true;
}

bool CWavConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (dataLeft == 0) return true;
  if (!sink) return false;
  return acmStream ? ReadCompressed(sink) : ReadPcm(sink);
}

bool CWavConvSource::ReadPcm(IPlayCallback* sink) {
  const UINT32 chunk = kReadChunk - kReadChunk % format.nBlockAlign;
  if (startTimeMs > 0) {
    UINT32 offset = MulDivRounded(format.nAvgBytesPerSec, static_cast<UINT32>(startTimeMs), 1000);
    offset = std::min(offset - offset % format.nBlockAlign, dataLeft);
    mmioSeek(file, static_cast<LONG>(offset), SEEK_CUR);
    dataLeft -= offset;
  }
  std::vector<BYTE> buffer(chunk);
  while (dataLeft > 0) {
    LONG want = static_cast<LONG>(std::min(chunk, dataLeft));
    LONG read = mmioRead(file, reinterpret_cast<HPSTR>(buffer.data()), want);
    if (read <= 0) break;  // the file ends early: everything it held was delivered
    dataLeft -= static_cast<UINT32>(read);
    if (!sink->OnData(buffer.data(), static_cast<UINT32>(read))) return false;
  }
  dataLeft = 0;
  return true;
}

bool CWavConvSource::ReadCompressed(IPlayCallback* sink) {
  const WAVEFORMATEX* header = AsFormat(fileFormat);
  const UINT32 chunk = kReadChunk - kReadChunk % std::max<WORD>(format.nBlockAlign, 1);
  if (startTimeMs > 0) {
    // The start is a position in the compressed data: the file's own byte rate and block size.
    UINT32 offset = MulDivRounded(header->nAvgBytesPerSec, static_cast<UINT32>(startTimeMs), 1000);
    offset = std::min(offset - offset % header->nBlockAlign, dataLeft);
    mmioSeek(file, static_cast<LONG>(offset), SEEK_CUR);
    dataLeft -= offset;
  }
  std::vector<BYTE> output(chunk);
  std::vector<BYTE> pending;  // compressed bytes read but not yet taken by the codec
  for (;;) {
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
    LONG read = want ? mmioRead(file, reinterpret_cast<HPSTR>(pending.data() + kept), static_cast<LONG>(want)) : 0;
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
    if (piece.cbDstLengthUsed > 0 && !sink->OnData(output.data(), piece.cbDstLengthUsed)) return false;
    // Nothing more taken at the end: the codec has finished with what is left.
    if (used == 0 && dataLeft == 0) return true;
  }
}

bool CWavConvSource::Close() {
  CDefConvertSource::Close();
  if (acmStream) {
    auto acm = LockAcm();
    acmStreamClose(acmStream, 0);
  }
  acmStream = nullptr;
  if (file) mmioClose(file, 0);
  file = nullptr;
  fileFormat.clear();
  return true;
}

bool CWavConvSource::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(CreateWavMetadata(fileName, out));
}
