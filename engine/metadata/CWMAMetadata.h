// CWMAMetadata: the attributes of Windows Media files as ID3 frames, read and written through the SDK's
// metadata editor.
#pragma once

#include "CMetadata.h"

class CWMAMetadata final : public CMetadata<CWMAMetadata> {
 public:
  using CMetadata::CMetadata;

  UINT32 STDMETHODCALLTYPE GetCapabilities() override { return WritableCapabilities(); }
  // The editor's failure code (and no tag) when the file cannot be opened.
  HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) override;
  // Replaces the attributes the mapping owns by the tag's frames; the result of the editor's flush.
  HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag* tag) override;

 private:
  friend class CRefCounted<IMetadata, IID_IMetadata, CWMAMetadata>;  // deletes it at the last Release
  ~CWMAMetadata() = default;
};
