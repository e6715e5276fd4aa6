// Reads uncompressed AIFF and AIFC files into the engine's PCM.
#pragma once

#include <windows.h>

#include "DefConvertSource.h"
#include "UniqueHandles.h"

class CAIFFConvSource : public CDefConvertSource {
 public:
  ~CAIFFConvSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;

  static IConvertSource* Create() { return new CAIFFConvSource(); }

 private:
  struct ChunkHeader {
    unsigned long long dataPosition;
    UINT32 size;
  };
  struct CommonData {
    INT16 channels;
    UINT32 frames;
    INT16 sampleSize;
    double rate;
    char compressionType[5];
    char compressionName[256];
  };

  bool FindChunk(const char* id, unsigned long long start, unsigned long long end, ChunkHeader* found);
  bool ReadAt(unsigned long long at, void* buffer, DWORD size);
  bool ReadCommon(const ChunkHeader& chunk, bool isAifc);
  bool SetUpData(const ChunkHeader& ssnd);

  UniqueFile file;
  unsigned long long fileSize = 0;
  CommonData common = {};
  UINT32 ssndOffset = 0;
  UINT32 ssndBlockSize = 0;
  unsigned long long dataPosition = 0;  // the first sample frame
  bool littleEndian = false;
};
