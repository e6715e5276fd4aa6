// The shared IUnknown implementation of engine objects: a plain counter (objects are single-threaded)
// and QueryInterface over the interface. The last Release deletes through the interface's virtual
// destructor, or as Derived when the interface has none.
#pragma once

#include <unknwn.h>

#include <type_traits>

template <class Interface, const IID& InterfaceId, class Derived = void>
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
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (remaining == 0) {
      if constexpr (std::is_void_v<Derived>) delete this;
      else delete static_cast<Derived*>(this);
    }
    return remaining;
  }

 protected:
  CRefCounted() = default;
  CRefCounted(const CRefCounted&) = delete;
  CRefCounted& operator=(const CRefCounted&) = delete;

 private:
  ULONG refCount = 1;  // the creator's reference
};
