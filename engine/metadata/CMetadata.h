// CMetadata<T>: the metadata object of one file (path and reference count); T adds the format's tag access.
#pragma once

#include <string>

#include "tavcore.h"

template <class T>
class CMetadata : public IMetadata {
 public:
  explicit CMetadata(const wchar_t* filePath) : path(filePath ? filePath : L"") {}
  CMetadata(const CMetadata&) = delete;
  CMetadata& operator=(const CMetadata&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMetadata)) {
      *out = static_cast<IMetadata*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (remaining == 0) delete static_cast<T*>(this);
    return remaining;
  }

  const std::wstring& Path() const { return path; }

 protected:
  ~CMetadata() = default;

  std::wstring path;

 private:
  ULONG refCount = 1;  // the factory's reference
};
