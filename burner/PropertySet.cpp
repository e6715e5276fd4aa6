#include "PropertySet.h"

#include <oleauto.h>

namespace {

PROPSPEC Named(const wchar_t* name) {
  PROPSPEC named = {};
  named.ulKind = PRSPEC_LPWSTR;
  named.lpwstr = const_cast<LPOLESTR>(name);
  return named;
}

HRESULT WriteOne(IPropertyStorage* storage, const wchar_t* name, const PROPVARIANT& value) {
  if (!storage) return E_POINTER;
  const PROPSPEC property = Named(name);
  return storage->WriteMultiple(1, &property, &value, PID_FIRST_USABLE);
}

}  // namespace

HRESULT STDMETHODCALLTYPE CPropertySet::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyStorage)) return E_NOINTERFACE;
  *out = static_cast<IPropertyStorage*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CPropertySet::Release() {
  const ULONG left = --refCount;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE CPropertySet::ReadMultiple(ULONG count, const PROPSPEC* names, PROPVARIANT* out) {
  if (count && (!names || !out)) return E_POINTER;
  bool any = false;
  for (ULONG i = 0; i < count; ++i) {
    PropVariantInit(&out[i]);
    if (names[i].ulKind != PRSPEC_LPWSTR || !names[i].lpwstr) continue;
    auto found = values.find(names[i].lpwstr);
    if (found == values.end()) continue;
    if (found->second.type == VT_I4) {
      out[i].vt = VT_I4;
      out[i].lVal = found->second.number;
    } else {
      out[i].vt = VT_BSTR;
      out[i].bstrVal = SysAllocString(found->second.text.c_str());
      if (!out[i].bstrVal) {
        for (ULONG j = 0; j <= i; ++j) PropVariantClear(&out[j]);
        return E_OUTOFMEMORY;
      }
    }
    any = true;
  }
  return any ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CPropertySet::WriteMultiple(ULONG count, const PROPSPEC* names, const PROPVARIANT* in,
                                                      PROPID) {
  if (count && (!names || !in)) return E_POINTER;
  std::map<std::wstring, Value> updated = values;
  for (ULONG i = 0; i < count; ++i) {
    if (names[i].ulKind != PRSPEC_LPWSTR || !names[i].lpwstr) return STG_E_INVALIDPARAMETER;
    Value value;
    switch (in[i].vt) {
      case VT_BSTR:
      case VT_LPWSTR: {
        const wchar_t* text = in[i].vt == VT_BSTR ? in[i].bstrVal : in[i].pwszVal;
        if (!text) return STG_E_INVALIDPARAMETER;
        value.type = VT_BSTR;
        value.text = text;
        break;
      }
      case VT_I4: value.number = in[i].lVal; break;
      case VT_UI4: value.number = static_cast<LONG>(in[i].ulVal); break;
      case VT_I2: value.number = in[i].iVal; break;
      case VT_UI2: value.number = in[i].uiVal; break;
      default: return STG_E_INVALIDPARAMETER;
    }
    if (value.type == VT_EMPTY) value.type = VT_I4;
    updated[names[i].lpwstr] = value;
  }
  values.swap(updated);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertySet::DeleteMultiple(ULONG count, const PROPSPEC* names) {
  if (count && !names) return E_POINTER;
  for (ULONG i = 0; i < count; ++i)
    if (names[i].ulKind == PRSPEC_LPWSTR && names[i].lpwstr) values.erase(names[i].lpwstr);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertySet::Enum(IEnumSTATPROPSTG** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CPropertySet::Stat(STATPROPSETSTG* stat) {
  if (!stat) return E_POINTER;
  *stat = {};
  return S_OK;
}

HRESULT CPropertySet::Read(IPropertyStorage* storage, const wchar_t* name, Value* value) {
  *value = Value();
  if (!storage) return E_POINTER;
  const PROPSPEC property = Named(name);
  PROPVARIANT read;
  PropVariantInit(&read);
  const HRESULT hr = storage->ReadMultiple(1, &property, &read);
  if (hr == S_OK && read.vt != VT_EMPTY) {
    if (read.vt == VT_I4 || read.vt == VT_UI4) {
      value->type = VT_I4;
      value->number = read.lVal;
    } else if ((read.vt == VT_BSTR && read.bstrVal) || (read.vt == VT_LPWSTR && read.pwszVal)) {
      value->type = VT_BSTR;
      value->text = read.vt == VT_BSTR ? read.bstrVal : read.pwszVal;
    } else {
      value->type = VT_ILLEGAL;
    }
  }
  PropVariantClear(&read);
  return hr;
}

HRESULT CPropertySet::WriteNumber(IPropertyStorage* storage, const wchar_t* name, LONG number) {
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return WriteOne(storage, name, value);
}

HRESULT CPropertySet::WriteText(IPropertyStorage* storage, const wchar_t* name, const std::wstring& text) {
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text.c_str());
  if (!value.bstrVal) return E_OUTOFMEMORY;
  const HRESULT hr = WriteOne(storage, name, value);
  PropVariantClear(&value);
  return hr;
}
