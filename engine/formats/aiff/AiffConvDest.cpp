// The AIFF destination: big-endian PCM in an SSND chunk, plain Win32 file I/O.
#include "AiffConvDest.h"

#include <cstring>

namespace {
const wchar_t kCannotWrite[] = L"File cannot be written (error %d)";
// FORM counts its size in 32 bits: the header chunks plus the samples must stay below that.
constexpr unsigned long long kLargestForm = 0xFFFFFFFFull;

bool IsWritablePcm(const WAVEFORMATEX& format) {
  const WORD bits = format.wBitsPerSample;
  return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels > 0 && format.nSamplesPerSec > 0 && bits >= 8 &&
         bits <= 32 && bits % 8 == 0 && format.nBlockAlign == format.nChannels * (bits / 8);
}
}  // namespace

CAIFFConvDest::~CAIFFConvDest() { Close(); }

bool CAIFFConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CAIFFConvDest;
  return true;
}

bool CAIFFConvDest::Open() {
  // Float or odd-sized samples would be written as integers the header cannot describe.
  if (!IsWritablePcm(format)) {
    LogError(L"AIFF files hold integer PCM samples of 8, 16, 24 or 32 bits only");
    return false;
  }
  if (!CDefConvertDestination::Open()) return false;
  framesWritten = 0;
  position = 0;
  pending.clear();
  file.Reset(
      CreateFileW(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail(L"File cannot be opened for writing");
  if (!OpenChunk(formChunk, "FORM", "AIFF") || !OpenChunk(commChunk, "COMM")) return Fail(L"Chunk cannot be created");

  PutBigEndian16(commData, format.nChannels);
  PutBigEndian32(commData + 2, 0);  // the frame count is known at Close
  PutBigEndian16(commData + 6, format.wBitsPerSample);
  PutExtendedRate(commData + 8, format.nSamplesPerSec);
  if (!WriteBytes(commData, sizeof(commData)) || !CloseChunk(commChunk)) return Fail(L"Chunk cannot be created");

  const BYTE offsetAndBlockSize[8] = {};
  if (!OpenChunk(ssndChunk, "SSND") || !WriteBytes(offsetAndBlockSize, sizeof(offsetAndBlockSize)))
    return Fail(L"Chunk cannot be created");
  ssndOpen = true;
  return true;
}

bool CAIFFConvDest::OpenChunk(ChunkInfo& chunk, const char* id, const char* formType) {
  chunk = ChunkInfo{};
  std::memcpy(chunk.id, id, 4);
  BYTE header[12] = {};
  std::memcpy(header, id, 4);
  DWORD length = 8;
  if (formType) {
    std::memcpy(chunk.formType, formType, 4);
    std::memcpy(header + 8, formType, 4);
    length = 12;
  }
  if (!WriteBytes(header, length)) return false;
  chunk.dataPosition = position;
  return true;
}

bool CAIFFConvDest::CloseChunk(ChunkInfo& chunk) {
  const bool isForm = std::memcmp(chunk.id, "FORM", 4) == 0;
  chunk.size = static_cast<UINT32>(position - chunk.dataPosition + (isForm ? 4 : 0));
  BYTE header[12];
  std::memcpy(header, chunk.id, 4);
  PutBigEndian32(header + 4, chunk.size);
  std::memcpy(header + 8, chunk.formType, 4);
  return WriteAt(chunk.dataPosition - (isForm ? 12 : 8), header, isForm ? 12 : 8);
}

bool CAIFFConvDest::WriteBytes(const void* data, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file.Get(), data, size, &written, nullptr) || written != size) return false;
  position += size;
  return true;
}

// Rewrites a header and returns to the end.
bool CAIFFConvDest::WriteAt(unsigned long long at, const void* data, DWORD size) {
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(at);
  DWORD written = 0;
  bool ok = SetFilePointerEx(file.Get(), target, nullptr, FILE_BEGIN) &&
            WriteFile(file.Get(), data, size, &written, nullptr) && written == size;
  target.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file.Get(), target, nullptr, FILE_BEGIN) && ok;
}

bool CAIFFConvDest::Write(UINT32 size, const void* data) {
  if (!ssndOpen || (!data && size)) return false;
  const unsigned bytesPerSample = format.wBitsPerSample / 8;
  scratch.assign(pending.begin(), pending.end());
  scratch.insert(scratch.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  const size_t whole = scratch.size() - scratch.size() % bytesPerSample;
  pending.assign(scratch.begin() + whole, scratch.end());
  if (whole == 0) return true;
  if (position + whole + 1 > kLargestForm) {  // + 1 for a pad byte
    LogError(kCannotWrite, static_cast<int>(ERROR_FILE_TOO_LARGE));
    return false;
  }
  ConvertSamples(scratch.data(), whole, bytesPerSample, false);
  if (!WriteBytes(scratch.data(), static_cast<DWORD>(whole))) {
    LogError(kCannotWrite, static_cast<int>(GetLastError()));
    return false;
  }
  framesWritten += static_cast<UINT32>(whole);  // bytes, not frames
  return true;
}

bool CAIFFConvDest::Close() {
  CDefConvertDestination::Close();
  bool finished = true;
  if (file && ssndOpen) finished = Finish();
  ssndOpen = false;
  pending.clear();
  scratch = std::vector<BYTE>();
  file.Reset();
  return finished;
}

// Sizes and frame count into the headers. An odd SSND gets its pad byte, counted by FORM only.
bool CAIFFConvDest::Finish() {
  const BYTE pad = 0;
  bool ok = CloseChunk(ssndChunk);
  if (ok && (position - ssndChunk.dataPosition) % 2) ok = WriteBytes(&pad, 1);
  ok = ok && CloseChunk(formChunk);
  PutBigEndian32(commData + 2, framesWritten / format.nBlockAlign);
  ok = ok && WriteAt(commChunk.dataPosition, commData, sizeof(commData));
  if (!ok) LogError(kCannotWrite, static_cast<int>(GetLastError()));
  return ok;
}

bool CAIFFConvDest::EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) {
  if (!srcFormat || !outBytes || srcFormat->nAvgBytesPerSec == 0) return false;
  const double bytesPerSecond = srcFormat->nAvgBytesPerSec;
  *outBytes = static_cast<UINT32>(static_cast<double>(srcBytes) / bytesPerSecond * (bytesPerSecond * 8.0) * 0.125);
  return true;
}

bool CAIFFConvDest::ShowSettings(HWND parent, IConvertDestination**) {
  MessageBoxW(parent, L"AIFF format does not have output settings.", L"AIFF", MB_OK | MB_ICONINFORMATION);
  return false;
}
