// CWavMetadata: the LIST/INFO chunk of RIFF/WAVE files as ID3 frames, read and written in place.
#pragma once

#include "CMetadata.h"

class CWavMetadata final : public CMetadata<CWavMetadata> {
 public:
  using CMetadata::CMetadata;

  UINT32 STDMETHODCALLTYPE GetCapabilities() override { return WritableCapabilities(); }
  // Always 0; a file that cannot be read, or has no INFO list, gives an empty tag.
  HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) override;
  // Replaces the INFO list without moving the audio. 0x80004005 (file untouched) for anything but a whole
  // RIFF/WAVE file with "fmt " and "data", or when the result would pass 4 GB; platform errors as they come.
  HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag* tag) override;

 private:
  friend class CRefCounted<IMetadata, IID_IMetadata, CWavMetadata>;  // deletes it at the last Release
  ~CWavMetadata() = default;
};

// The metadata object of a WAV file, for the WAV source and destination (".wav" is not a kind of
// MetadataCreateFromFile). 0 with one reference in *out, or an error and *out untouched.
HRESULT CreateWavMetadata(const wchar_t* path, IMetadata** out);
