// CMetadataTag: an id3lib tag behind IMetadataTag, free-standing or linked to the file it belongs to.
#pragma once

#include <id3/tag.h>

#include <string>

#include "tavcore.h"

class CMetadataTag final : public IMetadataTag {
 public:
  CMetadataTag() = default;
  CMetadataTag(const CMetadataTag&) = delete;
  CMetadataTag& operator=(const CMetadataTag&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override;

  UINT32 STDMETHODCALLTYPE GetFrameCount() override;
  HRESULT STDMETHODCALLTYPE Reserved(void*, void*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindFrame(UINT32 frameNumber, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE RemoveFrames(UINT32 frameNumber) override;

  // The engine's own tag behind an interface pointer; null for any other implementation.
  static CMetadataTag* From(IUnknown* object);

  ID3_Tag& Id3() { return tag; }
  // The file the tag was read from or written to last; empty for a free-standing tag.
  const std::wstring& LinkedPath() const { return linkedPath; }
  void LinkTo(const std::wstring& path) { linkedPath = path; }

 private:
  ~CMetadataTag() = default;

  ULONG refCount = 1;
  ID3_Tag tag;
  std::wstring linkedPath;
};
