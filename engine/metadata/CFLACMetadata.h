// CFLACMetadata: the Vorbis comments of FLAC files as ID3 frames (read only).
#pragma once

#include "CMetadata.h"

class CMetadataTag;

class CFLACMetadata final : public CMetadata<CFLACMetadata> {
 public:
  using CMetadata::CMetadata;

  UINT32 STDMETHODCALLTYPE GetCapabilities() override { return kMetadataCanRead; }
  // Always 0; a file that cannot be read, or has no comments, gives an empty tag.
  HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) override;
  HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag*) override { return E_NOTIMPL; }

 private:
  friend class CRefCounted<IMetadata, IID_IMetadata, CFLACMetadata>;  // deletes it at the last Release
  ~CFLACMetadata() = default;
};
