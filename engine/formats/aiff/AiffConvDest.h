// Writes uncompressed AIFF files: FORM, COMM and SSND, sizes and the frame count fixed at Close.
#pragma once

#include <windows.h>

#include <vector>

#include "AiffLayout.h"
#include "DefConvertDestination.h"
#include "UniqueHandles.h"

class CAIFFConvDest : public CDefConvertDestination {
 public:
  ~CAIFFConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;

  static IConvertDestination* Create() { return new CAIFFConvDest(); }

 private:
  struct ChunkInfo {
    char id[4];
    UINT32 size;
    char formType[4];
    unsigned long long dataPosition;  // just after the header (and the form type)
  };

  bool OpenChunk(ChunkInfo& chunk, const char* id, const char* formType = nullptr);
  bool CloseChunk(ChunkInfo& chunk);
  bool WriteBytes(const void* data, DWORD size);
  bool WriteAt(unsigned long long position, const void* data, DWORD size);
  bool Finish();

  ChunkInfo commChunk = {};
  ChunkInfo formChunk = {};
  ChunkInfo ssndChunk = {};
  BYTE commData[18] = {};
  UniqueFile file;
  unsigned long long position = 0;  // the end of what was written
  bool ssndOpen = false;
  std::vector<BYTE> pending;  // the start of a sample split between two Write calls
  std::vector<BYTE> scratch;  // converted samples: the caller's block is never changed
};
