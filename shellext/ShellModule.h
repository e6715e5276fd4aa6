// The module's state: its instance, the objects and locks that keep it loaded, and where its texts come from.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <objidl.h>

#include <string>

namespace ShellModule {

HINSTANCE Instance();
void ObjectCreated();
void ObjectDestroyed();
void Lock(bool lock);
bool CanUnload();
// Texts come from a language module when the engine supplies one, else from this module.
void SetTextModule(HMODULE module);
// The module resources come from: a language module that has the resource, else this module.
HMODULE ResourceModuleFor(LPCWSTR name, LPCWSTR type);
std::wstring Text(UINT id);
// The module's own path, as registered for the in-process server.
std::wstring Path();

// Hands a new object (null when it could not be made) out as iid; the maker's own reference is dropped.
template <class Object>
HRESULT HandOut(Object* object, REFIID iid, void** out) {
  if (!object) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

// Calls visit(path) for each file of the shell's selection (the dropped-file list, names of up to 520
// characters); nothing when the data object has no such list.
template <class Visit>
void ForEachSelectedFile(IDataObject* data, Visit&& visit) {
  FORMATETC wanted = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (!data || FAILED(data->GetData(&wanted, &medium))) return;
  auto drop = static_cast<HDROP>(medium.hGlobal);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[520] = {};
    if (DragQueryFileW(drop, i, path, 520)) visit(path);
  }
  ReleaseStgMedium(&medium);
}

}  // namespace ShellModule
