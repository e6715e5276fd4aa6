// Reads Unix AU/SND files: big-endian linear PCM, mu-law and A-law (as 16-bit PCM) and floating point (as 24-bit
// PCM). The DirectShow source hands them to it, since the platform's parsers do not place the audio reliably.
#pragma once

#include <vector>

#include "DefConvertSource.h"
#include "FileStream.h"

class CAuSource : public CDefConvertSource {
 public:
  ~CAuSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;

  static IConvertSource* Create() { return new CAuSource(); }
  // True when the file starts with an AU header whose encoding this reader decodes.
  static bool CanRead(const wchar_t* path);

 private:
  CAuSource() = default;
  // Converts whole source frames in `in` into the engine's PCM in `out`.
  void ConvertFrames(const unsigned char* in, size_t frames, std::vector<unsigned char>& out) const;

  CFileStream file;
  UINT32 encoding = 0;
  UINT32 frameBytes = 0;  // one frame in the file
  unsigned long long dataOffset = 0;
  unsigned long long dataFrames = 0;
};
