// Reads WAV files: PCM straight from the file, compressed data decoded to PCM through the ACM.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <vector>

#include "AcmCatalog.h"
#include "DefConvertSource.h"

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
  bool OpenDecoder();
  bool ReadPcm(IPlayCallback* sink);
  bool ReadCompressed(IPlayCallback* sink);

  HACMSTREAM acmStream = nullptr;
  HMMIO file = nullptr;
  FormatBytes fileFormat;  // kept for compressed files only
  UINT32 dataOffset = 0;
  UINT32 dataLeft = 0;
};
