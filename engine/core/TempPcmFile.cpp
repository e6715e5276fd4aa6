// The job's temporary PCM file and the fades applied to it.
#include "TempPcmFile.h"

#include <io.h>

#include <cstdint>
#include <cstring>
#include <vector>

TempPcmFile::~TempPcmFile() { Delete(); }

bool TempPcmFile::Create() {
  wchar_t folder[MAX_PATH] = {};
  wchar_t name[MAX_PATH] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"ana", 0, name)) return false;
  path = name;
  file = _wfopen(name, L"w+b");
  if (!file) DeleteFileW(name);
  return file != nullptr;
}

bool TempPcmFile::Write(const void* data, UINT32 size) {
  return file && fwrite(data, 1, size, file) == size;
}

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
  const UINT32 width = format.wBitsPerSample / 8;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return;
  const UINT32 samples = bytes / width;
  if (samples == 0) return;
  for (UINT32 i = 0; i < samples; ++i) {
    double gain = static_cast<double>(i) / samples;
    if (!in) gain = 1.0 - gain;
    if (width == 2) {
      int16_t sample;
      std::memcpy(&sample, data + 2 * i, 2);
      sample = static_cast<int16_t>(sample * gain);
      std::memcpy(data + 2 * i, &sample, 2);
    } else {
      data[i] = static_cast<unsigned char>(static_cast<int>((data[i] - 128) * gain) + 128);
    }
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
  if (at >= 0 && static_cast<unsigned long long>(at) + bytes <= Size()) Fade(format, static_cast<unsigned long long>(at), bytes, true);
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
