// CMP3Metadata: reads and writes the ID3 tags of an MPEG audio file.
#include "CMP3Metadata.h"

#include "AbiGuard.h"
#include "CMetadataTag.h"
#include "Id3File.h"

HRESULT STDMETHODCALLTYPE CMP3Metadata::GetTag(IMetadataTag** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    auto* tag = new CMetadataTag();
    tag->LinkTo(path);
    try {
      ReadId3File(path, tag->Id3());
    } catch (...) {
      // Frames parsed before the failure stay; a reader error never fails the call.
    }
    *out = tag;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CMP3Metadata::SetTag(IMetadataTag* tagInterface) {
  return GuardedHResult([&]() -> HRESULT {
    CMetadataTag* tag = CMetadataTag::From(tagInterface);
    if (!tag) return E_INVALIDARG;
    // A tag read from another file keeps its frames and only learns its new file.
    if (tag->LinkedPath() != path) tag->LinkTo(path);
    int storeV1Only = 0;
    ReadPInt(L"Settings", L"MP3_Store_ID3v1", &storeV1Only);
    unsigned written = WriteId3File(path, tag->Id3(), storeV1Only == 0, true);
    return written ? S_OK : E_FAIL;
  });
}
