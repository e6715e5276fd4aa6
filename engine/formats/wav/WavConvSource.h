// Reads WAV files: PCM straight from the file, compressed data decoded to PCM through the ACM.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <vector>

#include "AcmCatalog.h"
#include "DefConvertSource.h"
#include "FileStream.h"

class CWavConvSource : public CDefConvertSource {
 public:
  ~CWavConvSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;
  // The file's LIST/INFO chunk as a tag.
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;

  static IConvertSource* Create() { return new CWavConvSource(); }

 private:
  bool ParseChunks(bool* haveFormat);
  bool TakeFormatChunk(DWORD size);
  bool OpenDecoder();
  bool OpenFloat();
  bool ReadFloat(IPlayCallback* sink);
  bool ReadPcm(IPlayCallback* sink);
  bool ReadCompressed(IPlayCallback* sink);

  HACMSTREAM acmStream = nullptr;
  CFileStream file;
  FormatBytes fileFormat;  // kept for compressed files only
  unsigned long long dataOffset = 0;
  UINT32 dataLeft = 0;
  UINT32 factFrames = 0;  // the "fact" chunk's frame count of a compressed file; 0 when it has none
  UINT32 floatBytes = 0;  // 4 or 8 for floating-point data, 0 otherwise
  DWORD blockFrames = 0;  // frames per block of a block codec, 0 when the codec has no fixed blocks
};
