// A temporary PCM file in the temporary folder, deleted at the end: the job's ("ana" prefix), written in pass 1,
// trimmed, faded and read back in pass 2; a destination's pass file ("wpp") likewise.
#pragma once

#include <cstdio>
#include <string>

#include "tavcore.h"

class TempPcmFile {
public:
  TempPcmFile() = default;
  TempPcmFile(const TempPcmFile&) = delete;
  TempPcmFile& operator=(const TempPcmFile&) = delete;
  ~TempPcmFile();

  bool Create(const wchar_t* prefix = L"ana");
  bool IsOpen() const { return file != nullptr; }
  bool Write(const void* data, UINT32 size);
  // Cuts `bytes` off the end.
  bool TruncateEnd(UINT32 bytes);
  bool Seek(unsigned long long position);
  // Bytes read, or -1 on a read error.
  long long Read(void* buffer, UINT32 size);
  unsigned long long Size();
  // Linear fades of `bytes`: in from the current position, out ending at the end. Skipped when the file
  // has fewer bytes; the position is kept.
  void FadeIn(const WAVEFORMATEX& format, UINT32 bytes);
  void FadeOut(const WAVEFORMATEX& format, UINT32 bytes);
  void Delete();

  const std::wstring& Path() const { return path; }

private:
  void Fade(const WAVEFORMATEX& format, unsigned long long at, UINT32 bytes, bool in);

  FILE* file = nullptr;
  std::wstring path;
};

// Scales a stretch of PCM by the ramp i/n (fade-in) or 1 - i/n (fade-out), samples counted per channel.
void ApplyFade(const WAVEFORMATEX& format, unsigned char* data, UINT32 bytes, bool in);
