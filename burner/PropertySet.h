// An in-memory IPropertyStorage of named properties, the form in which the disc master hands out the Joliet
// format's and a recorder's settings: texts (VT_BSTR) and numbers (VT_I4).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <map>
#include <string>

class CPropertySet : public IPropertyStorage {
 public:
  struct Value {
    VARTYPE type = VT_EMPTY;  // VT_BSTR or VT_I4
    std::wstring text;
    LONG number = 0;
  };

  CPropertySet() = default;
  virtual ~CPropertySet() = default;
  CPropertySet(const CPropertySet&) = delete;
  CPropertySet& operator=(const CPropertySet&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override;

  // Named properties only; S_FALSE when none of them exists.
  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG count, const PROPSPEC* names, PROPVARIANT* values) override;
  // All or nothing: texts as VT_BSTR / VT_LPWSTR, numbers as VT_I4 / VT_UI4 / VT_I2 / VT_UI2.
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG count, const PROPSPEC* names, const PROPVARIANT* values,
                                          PROPID firstId) override;
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG count, const PROPSPEC* names) override;
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID*, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID*, const LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** out) override;
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* stat) override;

  // A property of any storage read by name: the storage's result (S_FALSE when it is missing, with an empty
  // type); a value that is neither text nor number has the type VT_ILLEGAL.
  static HRESULT Read(IPropertyStorage* storage, const wchar_t* name, Value* value);
  // Writes one number or text under its name.
  static HRESULT WriteNumber(IPropertyStorage* storage, const wchar_t* name, LONG number);
  static HRESULT WriteText(IPropertyStorage* storage, const wchar_t* name, const std::wstring& text);

  std::map<std::wstring, Value> values;

 private:
  ULONG refCount = 1;
};
