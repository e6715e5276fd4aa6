// Small pieces every filter of the engine needs: media-type copies, enumerators, a scoped lock.
#include "FilterParts.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
  if (type.cbFormat) CoTaskMemFree(type.pbFormat);
  type.cbFormat = 0;
  type.pbFormat = nullptr;
  if (type.pUnk) type.pUnk->Release();
  type.pUnk = nullptr;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from) {
  *to = from;
  if (from.cbFormat) {
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (!to->pbFormat) {
      to->cbFormat = 0;
      to->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
  }
  if (to->pUnk) to->pUnk->AddRef();
  return S_OK;
}

namespace {

// Enumerates the renderer's one pin.
class CPinEnum final : public IEnumPins {
  using Enum = IEnumPins;
  using Item = IPin;

 public:
  explicit CPinEnum(Item* item, ULONG position = 0) : item(item), position(position) {
    if (item) item->AddRef();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IEnumPins)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (!remaining) delete this;
    return remaining;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG done = 0;
    if (count > 0 && item && position == 0) {
      out[0] = item;
      item->AddRef();
      done = 1;
      position = 1;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    ULONG available = item && position == 0 ? 1 : 0;
    if (count > available) {
      position = 1;
      return S_FALSE;
    }
    position += count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Enum** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) CPinEnum(item, position);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~CPinEnum() {
    if (item) item->Release();
  }
  std::atomic<ULONG> refCount{1};
  Item* item;
  ULONG position;
};

// Enumerates one media type, or none: copies of the type go to the caller in task memory.
class CMediaTypeEnum final : public IEnumMediaTypes {
 public:
  CMediaTypeEnum(const AM_MEDIA_TYPE* type, ULONG position) : position(position) {
    if (type && SUCCEEDED(CopyMediaType(&held, *type))) hasType = true;
  }
  bool Valid(const AM_MEDIA_TYPE* type) const { return !type || hasType; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IEnumMediaTypes)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (!remaining) delete this;
    return remaining;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override {
    if (!out && count) return E_POINTER;
    ULONG done = 0;
    if (count > 0 && hasType && position == 0) {
      auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
      if (!copy) return E_OUTOFMEMORY;
      if (FAILED(CopyMediaType(copy, held))) {
        CoTaskMemFree(copy);
        return E_OUTOFMEMORY;
      }
      out[0] = copy;
      done = 1;
      position = 1;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG available = hasType && position == 0 ? 1 : 0;
    position = hasType ? std::min<ULONG>(1, position + count) : 0;
    return count <= available ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) CMediaTypeEnum(hasType ? &held : nullptr, position);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~CMediaTypeEnum() {
    if (hasType) FreeMediaTypeContents(held);
  }
  std::atomic<ULONG> refCount{1};
  AM_MEDIA_TYPE held = {};
  bool hasType = false;
  ULONG position;
};

}  // namespace

IEnumPins* NewPinEnum(IPin* pin) { return new (std::nothrow) CPinEnum(pin); }

IEnumMediaTypes* NewMediaTypeEnum(const AM_MEDIA_TYPE* type) {
  auto* result = new (std::nothrow) CMediaTypeEnum(type, 0);
  if (result && !result->Valid(type)) {
    result->Release();
    return nullptr;
  }
  return result;
}
