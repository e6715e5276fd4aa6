// Class keys are replaced whole; of the handler keys only the leaf named after the product is ever created or
// deleted, since other extensions share the keys above it.
#include "Registration.h"

#include <oleauto.h>
#include <objbase.h>

#include <string>

#include "ShellGuids.h"
#include "ShellModule.h"
#include "ShellSwitches.h"
#include "tavcore.h"

namespace {

struct ClassEntry {
  const GUID* classId;
  const wchar_t* progId;
  const wchar_t* independentProgId;
  const wchar_t* description;
  bool full;  // ProgIDs and the type library in its key too
};
const ClassEntry kClasses[] = {
    {&CLSID_ConvertShellExt, L"Tavcore.ConvertShellExt.1", L"Tavcore.ConvertShellExt", L"ConvertShellExt Class", true},
    {&CLSID_MetaDataPageExt, L"Tavcore.MetaDataPageExt.1", L"Tavcore.MetaDataPageExt", L"MetaDataPageExt Class", false},
};


std::wstring GuidText(const GUID& id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  return text;
}

LONG SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return result;
  result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result;
}

LONG RegisterClassKeys(const ClassEntry& entry, const std::wstring& module) {
  const std::wstring classId = GuidText(*entry.classId);
  const std::wstring classKey = L"CLSID\\" + classId;
  RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
  LONG result = ERROR_SUCCESS;
  auto set = [&](const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    if (result == ERROR_SUCCESS) result = SetValue(HKEY_CLASSES_ROOT, path, name, value);
  };
  set(entry.progId, nullptr, entry.description);
  set(std::wstring(entry.progId) + L"\\CLSID", nullptr, classId);
  set(entry.independentProgId, nullptr, entry.description);
  set(std::wstring(entry.independentProgId) + L"\\CLSID", nullptr, classId);
  set(std::wstring(entry.independentProgId) + L"\\CurVer", nullptr, entry.progId);
  set(classKey, nullptr, entry.description);
  if (entry.full) {
    set(classKey + L"\\ProgID", nullptr, entry.progId);
    set(classKey + L"\\VersionIndependentProgID", nullptr, entry.independentProgId);
    set(classKey + L"\\TypeLib", nullptr, GuidText(LIBID_Tavshell));
  }
  set(classKey + L"\\InprocServer32", nullptr, module);
  set(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  return result;
}

// "*\shellex\<kind>\Tavrel" with the class, or that leaf deleted when the handler is switched off.
void RegisterHandler(const wchar_t* kind, const GUID& classId, bool on) {
  const std::wstring leaf = std::wstring(L"*\\shellex\\") + kind + L"\\Tavrel";
  if (on)
    SetValue(HKEY_CLASSES_ROOT, leaf, nullptr, GuidText(classId));
  else
    RegDeleteKeyW(HKEY_CLASSES_ROOT, leaf.c_str());
}

}  // namespace

HRESULT RegisterShellExtension() {
  const std::wstring module = ShellModule::Path();
  if (module.empty()) return E_FAIL;
  for (const ClassEntry& entry : kClasses) {
    const LONG result = RegisterClassKeys(entry, module);
    if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  }
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_REGISTER, &library);
  if (FAILED(hr)) return hr;
  library->Release();

  bool menu = false;
  for (int i = 0; i < ShellSwitches::kMenuCount; ++i)
    menu = ShellSwitches::Read(ShellSwitches::kMenuNames[i], ShellSwitches::kRegistrationDefaults[i]) || menu;
  const bool page = ShellSwitches::Read(L"MetadataPage", 1);
  RegisterHandler(L"ContextMenuHandlers", CLSID_ConvertShellExt, menu);
  RegisterHandler(L"PropertySheetHandlers", CLSID_MetaDataPageExt, page);
  return S_OK;
}

HRESULT UnregisterShellExtension() {
  LONG result = ERROR_SUCCESS;
  for (const ClassEntry& entry : kClasses) {
    for (const std::wstring& key : {std::wstring(entry.progId), std::wstring(entry.independentProgId),
                                    L"CLSID\\" + GuidText(*entry.classId)}) {
      const LONG removed = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
      if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND && result == ERROR_SUCCESS) result = removed;
    }
  }
  UnRegisterTypeLib(LIBID_Tavshell, 1, 0, LANG_NEUTRAL, SYS_WIN64);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"*\\shellex\\ContextMenuHandlers\\Tavrel");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"*\\shellex\\PropertySheetHandlers\\Tavrel");
  return HRESULT_FROM_WIN32(result);
}
