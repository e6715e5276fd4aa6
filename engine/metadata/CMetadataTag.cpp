// CMetadataTag: frame count, the rotating frame search and frame removal on an id3lib tag.
#include "CMetadataTag.h"

#include "AbiGuard.h"
#include "FrameKinds.h"

namespace {
// Answered only by the engine's own tags, without a reference: it reaches the implementation behind a pointer.
constexpr GUID kTagImplementationId = {0x5D2B1C61, 0x7E0A, 0x4F3B, {0x9A, 0x51, 0x2C, 0x84, 0x0E, 0x6F, 0x13, 0xB7}};
}  // namespace

HRESULT STDMETHODCALLTYPE CMetadataTag::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualGUID(iid, kTagImplementationId)) {
    *out = this;
    return S_OK;
  }
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMetadataTag)) {
    *out = static_cast<IMetadataTag*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CMetadataTag::Release() {
  ULONG remaining = --refCount;
  if (remaining == 0) delete this;
  return remaining;
}

CMetadataTag* CMetadataTag::From(IUnknown* object) {
  void* implementation = nullptr;
  if (!object || FAILED(object->QueryInterface(kTagImplementationId, &implementation))) return nullptr;
  return static_cast<CMetadataTag*>(implementation);
}

UINT32 STDMETHODCALLTYPE CMetadataTag::GetFrameCount() { return static_cast<UINT32>(tag.NumFrames()); }

HRESULT STDMETHODCALLTYPE CMetadataTag::FindFrame(UINT32 frameNumber, REFIID iid, void** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (WrapperOf(frameNumber) == FrameWrapper::None) return E_INVALIDARG;
    // The library's search starts after the frame found last and wraps around at the end.
    ID3_Frame* frame = tag.Find(static_cast<ID3_FrameID>(frameNumber));
    if (!frame) return E_INVALIDARG;
    return WrapFrame(frame, frameNumber, false, iid, out);
  });
}

HRESULT STDMETHODCALLTYPE CMetadataTag::RemoveFrames(UINT32 frameNumber) {
  return GuardedHResult([&]() -> HRESULT {
    if (frameNumber == ID3FID_NOFRAME || frameNumber >= ID3FID_LASTFRAMEID) return S_OK;
    while (ID3_Frame* frame = tag.Find(static_cast<ID3_FrameID>(frameNumber))) delete tag.RemoveFrame(frame);
    return S_OK;
  });
}
