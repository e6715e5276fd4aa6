// The burner's conversion destination: ACM turns each block into CD audio, the staging file keeps it.
#include "RedBookDest.h"

#include <cerrno>
#include <cstdarg>
#include <memory>
#include <new>

const WAVEFORMATEX CRedBookDest::kCdAudioFormat = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};

CRedBookDest::~CRedBookDest() {
  CloseStream();
  CloseStaging();
}

int STDMETHODCALLTYPE CRedBookDest::GetFormatIndex() { return -1; }
int STDMETHODCALLTYPE CRedBookDest::SetFormatIndex(int) { return -1; }

bool STDMETHODCALLTYPE CRedBookDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_RedBookDest;
  return true;
}

bool STDMETHODCALLTYPE CRedBookDest::SetFileName(const wchar_t*) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::GetFileName(wchar_t*, int) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::GetMetadata(IMetadata** out) {
  if (out) *out = nullptr;
  return false;
}
bool STDMETHODCALLTYPE CRedBookDest::SetSource(IConvertSource*) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::EstimateSize(UINT32, const WAVEFORMATEX*, UINT32*) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::ShowSettings(HWND, IConvertDestination**) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::GetSettingsText(wchar_t*, int) { return false; }
bool STDMETHODCALLTYPE CRedBookDest::SetOption(const wchar_t*, const wchar_t*, wchar_t* errorText) {
  if (errorText) errorText[0] = L'\0';
  return false;
}

void STDMETHODCALLTYPE CRedBookDest::SetCallback(IConvertCallback* cb) { callback = cb; }

bool STDMETHODCALLTYPE CRedBookDest::SetFormat(const WAVEFORMATEX* format) {
  if (!format) return false;
  input = *format;  // the 18-byte record; extra bytes of other tags are not ours to read
  return true;
}

void CRedBookDest::LogError(const wchar_t* format, ...) {
  if (!callback) return;
  wchar_t text[1024 + 1] = {};
  va_list args;
  va_start(args, format);
  _vsnwprintf(text, 1024 - 1, format, args);
  va_end(args);
  text[1024 - 1] = L'\0';
  wcscat(text, L"\n");
  callback->LogStyled(text, L"e");
}

void CRedBookDest::CloseStream() {
  if (stream) acmStreamClose(stream, 0);
  stream = nullptr;
}

void CRedBookDest::CloseStaging() {
  if (staging) fclose(staging);
  staging = nullptr;
  if (stagingPath[0]) DeleteFileW(stagingPath);
  stagingPath[0] = L'\0';
}

bool STDMETHODCALLTYPE CRedBookDest::Open() {
  CloseStream();
  CloseStaging();
  if (input.nSamplesPerSec != 44100 || input.nChannels != 2 || input.wBitsPerSample != 16) {
    WAVEFORMATEX source = input;
    // PCM carries no extra bytes; a stray count would make ACM read past the 18-byte record.
    if (source.wFormatTag == WAVE_FORMAT_PCM) source.cbSize = 0;
    WAVEFORMATEX target = kCdAudioFormat;
    const MMRESULT result =
        acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result != MMSYSERR_NOERROR) {
      stream = nullptr;
      LogError(L"Conversion stream cannot be opened (ACM error %d)", static_cast<int>(result));
      return false;
    }
  }
  // A track without its staging file would go onto the disc silent: that is a failure of the track.
  wchar_t folder[MAX_PATH] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"brn", 0, stagingPath)) {
    const DWORD error = GetLastError();
    stagingPath[0] = L'\0';
    CloseStream();
    LogError(L"Staging file cannot be created in %s (error %lu)", folder, error);
    return false;
  }
  staging = _wfopen(stagingPath, L"w+b");
  if (!staging) {
    const int error = errno;
    LogError(L"Staging file cannot be created: %s (error %d)", stagingPath, error);
    CloseStream();
    CloseStaging();
    return false;
  }
  return true;
}

bool CRedBookDest::Store(const void* data, size_t size) {
  if (size == 0) return true;
  // A short write would lose audio while the track still looked converted.
  if (!staging || fwrite(data, 1, size, staging) != size) {
    LogError(L"Staging file cannot be written: %s", stagingPath);
    return false;
  }
  return true;
}

bool STDMETHODCALLTYPE CRedBookDest::Write(UINT32 size, const void* data) {
  if (size == 0) return true;
  if (!data) return false;
  if (!stream) return Store(data, size);

  DWORD outputSize = 0;
  MMRESULT result = acmStreamSize(stream, size, &outputSize, ACM_STREAMSIZEF_SOURCE);
  if (result != MMSYSERR_NOERROR) {
    LogError(L"Stream size cannot be estimated (ACM error %d)", static_cast<int>(result));
    return false;
  }
  std::unique_ptr<BYTE[]> output(new (std::nothrow) BYTE[outputSize ? outputSize : 1]);
  if (!output) {
    LogError(L"Out of memory");
    return false;
  }
  ACMSTREAMHEADER header = {};
  header.cbStruct = sizeof(header);
  header.pbSrc = static_cast<BYTE*>(const_cast<void*>(data));
  header.cbSrcLength = size;
  header.pbDst = output.get();
  header.cbDstLength = outputSize;
  result = acmStreamPrepareHeader(stream, &header, 0);
  if (result != MMSYSERR_NOERROR) {
    LogError(L"Stream header cannot be prepared (ACM error %d)", static_cast<int>(result));
    return false;
  }
  result = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
  if (result != MMSYSERR_NOERROR) {
    acmStreamUnprepareHeader(stream, &header, 0);
    LogError(L"Stream cannot be converted (ACM error %d) ", static_cast<int>(result));
    return false;
  }
  acmStreamUnprepareHeader(stream, &header, 0);
  return Store(output.get(), header.cbDstLengthUsed);
}

bool STDMETHODCALLTYPE CRedBookDest::Close() {
  CloseStream();
  if (staging) {
    fflush(staging);
    rewind(staging);
  }
  return true;
}
