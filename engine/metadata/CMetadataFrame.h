// CMetadataFrame<Interface, KindId>: the wrapper of one id3lib frame shared by every typed frame interface.
#pragma once

#include <id3/tag.h>

#include <string>

#include "MetadataText.h"
#include "tavcore.h"

// The state every frame wrapper of the engine has, reachable from any of its interfaces.
class CMetadataFrameCore {
 public:
  // The engine's own wrapper behind an interface pointer; null for any other implementation.
  static CMetadataFrameCore* From(IUnknown* object);

  ID3_Frame* frame = nullptr;
  // Set while the wrapper is the only owner of frame (a new frame not yet attached to a tag).
  bool owned = false;

 protected:
  CMetadataFrameCore(ID3_Frame* wrapped, bool isOwned) : frame(wrapped), owned(isOwned) {}
  ~CMetadataFrameCore();

  // Sets the kind's empty value.
  virtual void ResetValue() = 0;
  // The human-readable value of the frame.
  virtual std::wstring DisplayText() = 0;
  // Runs the kind's modal editor and stores what the user confirmed: IDOK or IDCANCEL, -1 when it cannot be shown.
  virtual int RunEditor(HWND parent) = 0;

  void AttachFrameTo(IMetadataTag* tag);
  const char* KindName() const;
  // The kind's display name, the caption of editors without a title of their own.
  std::wstring KindCaption() const;
  bool FrameEquals(IMetadataFrame* other) const;
  void CopyFrameFrom(IMetadataFrame* other);
  // Answers the engine-internal identifier that reaches this core.
  bool QueryCore(REFIID iid, void** out);

  template <class Interface, const GUID& KindId>
  friend class CMetadataFrame;
  friend HRESULT WrapFrame(ID3_Frame*, UINT32, bool, REFIID, void**);
};

template <class Interface, const GUID& KindId>
class CMetadataFrame : public Interface, public CMetadataFrameCore {
 public:
  CMetadataFrame(ID3_Frame* wrapped, bool isOwned) : CMetadataFrameCore(wrapped, isOwned) {}
  CMetadataFrame(const CMetadataFrame&) = delete;
  CMetadataFrame& operator=(const CMetadataFrame&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (QueryCore(iid, out)) return S_OK;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMetadataFrame) || IsEqualGUID(iid, KindId)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    if (QueryOther(iid, out)) {
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (remaining == 0) delete this;
    return remaining;
  }

  void STDMETHODCALLTYPE AttachTo(IMetadataTag* tag) override { AttachFrameTo(tag); }
  bool STDMETHODCALLTYPE IsReadOnly() override { return false; }
  int STDMETHODCALLTYPE Edit(HWND parent) override;
  const char* STDMETHODCALLTYPE GetKindName() override { return KindName(); }
  GUID* STDMETHODCALLTYPE GetKindGuid(GUID* out) override {
    if (out) *out = KindId;
    return out;
  }
  UINT32 STDMETHODCALLTYPE GetFrameNumber() override { return static_cast<UINT32>(frame->GetID()); }
  void STDMETHODCALLTYPE GetDisplayText(wchar_t* buffer, int size) override;
  bool STDMETHODCALLTYPE IsEqual(IMetadataFrame* other) override;
  void STDMETHODCALLTYPE CopyFrom(IMetadataFrame* other) override;

 protected:
  virtual ~CMetadataFrame() = default;

  // Further interfaces a kind answers (without the reference, which the caller adds).
  virtual bool QueryOther(REFIID, void**) { return false; }

 private:
  ULONG refCount = 1;
};

// Operations reached through the interface never let an exception out.
template <class Interface, const GUID& KindId>
void STDMETHODCALLTYPE CMetadataFrame<Interface, KindId>::GetDisplayText(wchar_t* buffer, int size) {
  try {
    CopyToBuffer(buffer, size, DisplayText());
  } catch (...) {
    if (buffer && size > 0) buffer[0] = L'\0';
  }
}

template <class Interface, const GUID& KindId>
int STDMETHODCALLTYPE CMetadataFrame<Interface, KindId>::Edit(HWND parent) {
  try {
    return RunEditor(parent);
  } catch (...) {
    return -1;
  }
}

template <class Interface, const GUID& KindId>
bool STDMETHODCALLTYPE CMetadataFrame<Interface, KindId>::IsEqual(IMetadataFrame* other) {
  try {
    return FrameEquals(other);
  } catch (...) {
    return false;
  }
}

template <class Interface, const GUID& KindId>
void STDMETHODCALLTYPE CMetadataFrame<Interface, KindId>::CopyFrom(IMetadataFrame* other) {
  try {
    CopyFrameFrom(other);
  } catch (...) {
  }
}
