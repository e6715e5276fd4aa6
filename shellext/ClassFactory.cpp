// Class objects count as live objects of the module while they exist.
#include "ClassFactory.h"

#include "ShellModule.h"

CClassFactory::CClassFactory(Creator create) : create(create) { ShellModule::ObjectCreated(); }

CClassFactory::~CClassFactory() { ShellModule::ObjectDestroyed(); }

HRESULT CClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG CClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG CClassFactory::Release() {
  const LONG left = InterlockedDecrement(&references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create(iid, out);
}

HRESULT CClassFactory::LockServer(BOOL lock) {
  ShellModule::Lock(lock != FALSE);
  return S_OK;
}
