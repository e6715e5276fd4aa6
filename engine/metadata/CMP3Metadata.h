// CMP3Metadata: ID3v1 and ID3v2 tags of MPEG audio files.
#pragma once

#include "CMetadata.h"

class CMP3Metadata final : public CMetadata<CMP3Metadata> {
 public:
  using CMetadata::CMetadata;

  UINT32 STDMETHODCALLTYPE GetCapabilities() override { return WritableCapabilities(); }
  // Both tags merged (ID3v2 frames first); a missing file or one without tags gives an empty tag.
  HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) override;
  // ID3v2 and ID3v1, or ID3v1 only when the setting "MP3_Store_ID3v1" is set; 0x80004005 when nothing was written.
  HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag* tag) override;

 private:
  friend class CRefCounted<IMetadata, IID_IMetadata, CMP3Metadata>;  // deletes it at the last Release
  ~CMP3Metadata() = default;
};
