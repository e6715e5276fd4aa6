// The class object the module hands out for each of its classes: it makes the class's objects.
#pragma once

#include <windows.h>
#include <unknwn.h>

class CClassFactory final : public IClassFactory {
 public:
  using Creator = HRESULT (*)(REFIID iid, void** out);
  explicit CClassFactory(Creator create);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~CClassFactory();
  LONG references = 1;
  Creator create;
};
