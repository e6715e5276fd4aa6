// The shared IUnknown implementation of engine objects: a plain counter (objects are single-threaded)
// and QueryInterface over the listed interfaces.
#pragma once

#include <unknwn.h>

template <class Interface, const IID& InterfaceId>
class CRefCounted : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, InterfaceId)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  // The last Release destroys the object through the interface's virtual destructor.
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (remaining == 0) delete this;
    return remaining;
  }

 protected:
  CRefCounted() = default;
  CRefCounted(const CRefCounted&) = delete;
  CRefCounted& operator=(const CRefCounted&) = delete;

 private:
  ULONG refCount = 1;  // the creator's reference
};
