// The job's temporary PCM file and the fades applied to it.
#include "TempPcmFile.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "PcmSamples.h"

TempPcmFile::~TempPcmFile() { Delete(); }

bool TempPcmFile::Create(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH] = {};
  wchar_t name[MAX_PATH] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, prefix, 0, name)) return false;
  path = name;
  // Deleted by the system when the last handle closes, so a killed conversion leaves no temporary file behind
  // (a long file's PCM can take gigabytes).
  HANDLE handle = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return false;
  }
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(handle);
    return false;
  }
  file = _fdopen(descriptor, "w+b");
  if (!file) _close(descriptor);
  return file != nullptr;
}

bool TempPcmFile::Write(const void* data, UINT32 size) { return file && fwrite(data, 1, size, file) == size; }

unsigned long long TempPcmFile::Size() {
  if (!file) return 0;
  fflush(file);
  long long size = _filelengthi64(_fileno(file));
  return size < 0 ? 0 : static_cast<unsigned long long>(size);
}

bool TempPcmFile::TruncateEnd(UINT32 bytes) {
  unsigned long long size = Size();
  unsigned long long kept = bytes >= size ? 0 : size - bytes;
  return file && _chsize_s(_fileno(file), static_cast<long long>(kept)) == 0;
}

bool TempPcmFile::Seek(unsigned long long position) {
  return file && _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
}

long long TempPcmFile::Read(void* buffer, UINT32 size) {
  if (!file) return -1;
  size_t read = fread(buffer, 1, size, file);
  if (read < size && ferror(file)) return -1;
  return static_cast<long long>(read);
}

void ApplyFade(const WAVEFORMATEX& format, unsigned char* data, UINT32 bytes, bool in) {
  const unsigned width = PcmSampleWidth(format);
  if (width == 0) return;
  const UINT32 samples = bytes / width;
  if (samples == 0) return;
  for (UINT32 i = 0; i < samples; ++i) {
    double gain = static_cast<double>(i) / samples;
    if (!in) gain = 1.0 - gain;
    unsigned char* at = data + static_cast<size_t>(i) * width;
    WritePcmSample(at, width, static_cast<int64_t>(ReadPcmSample(at, width) * gain));
  }
}

void TempPcmFile::Fade(const WAVEFORMATEX& format, unsigned long long at, UINT32 bytes, bool in) {
  long long held = _ftelli64(file);
  std::vector<unsigned char> stretch(bytes);
  if (Seek(at) && Read(stretch.data(), bytes) == bytes) {
    ApplyFade(format, stretch.data(), bytes, in);
    if (Seek(at)) fwrite(stretch.data(), 1, bytes, file);
    fflush(file);
  }
  _fseeki64(file, held, SEEK_SET);
}

void TempPcmFile::FadeIn(const WAVEFORMATEX& format, UINT32 bytes) {
  if (!file || bytes == 0) return;
  long long at = _ftelli64(file);
  if (at >= 0 && static_cast<unsigned long long>(at) + bytes <= Size())
    Fade(format, static_cast<unsigned long long>(at), bytes, true);
}

void TempPcmFile::FadeOut(const WAVEFORMATEX& format, UINT32 bytes) {
  if (!file || bytes == 0) return;
  unsigned long long size = Size();
  if (bytes <= size) Fade(format, size - bytes, bytes, false);
}

void TempPcmFile::Delete() {
  if (file) fclose(file);
  file = nullptr;
  if (!path.empty()) DeleteFileW(path.c_str());
  path.clear();
}
