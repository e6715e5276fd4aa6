// The in-process server's entry points and the module state they share.
#include "ShellModule.h"

#include <new>

#include "ClassFactory.h"
#include "ConvertShellExt.h"
#include "MetaDataPageExt.h"
#include "Registration.h"
#include "ShellGuids.h"
#include "tavcore.h"

namespace {

HINSTANCE instance = nullptr;
LONG objects = 0;
LONG locks = 0;
HMODULE textModule = nullptr;  // a language module's, or null for this module's own texts

}  // namespace

namespace ShellModule {

HINSTANCE Instance() { return instance; }
void ObjectCreated() { InterlockedIncrement(&objects); }
void ObjectDestroyed() { InterlockedDecrement(&objects); }
void Lock(bool lock) { lock ? InterlockedIncrement(&locks) : InterlockedDecrement(&locks); }
bool CanUnload() { return InterlockedCompareExchange(&objects, 0, 0) == 0 && InterlockedCompareExchange(&locks, 0, 0) == 0; }

void SetTextModule(HMODULE module) {
  InterlockedExchangePointer(reinterpret_cast<void**>(&textModule), module);
}

std::wstring Text(UINT id) {
  wchar_t text[1024] = {};
  auto* module = static_cast<HMODULE>(InterlockedCompareExchangePointer(reinterpret_cast<void**>(&textModule), nullptr, nullptr));
  // A language module that lacks the text leaves the module's own.
  if ((!module || !LoadStringW(module, id, text, 1024)) && !LoadStringW(instance, id, text, 1024)) return {};
  return text;
}

HMODULE ResourceModuleFor(LPCWSTR name, LPCWSTR type) {
  auto* module = static_cast<HMODULE>(InterlockedCompareExchangePointer(reinterpret_cast<void**>(&textModule), nullptr, nullptr));
  return module && FindResourceW(module, name, type) ? module : instance;
}

std::wstring Path() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  return length && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

}  // namespace ShellModule

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    instance = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  HMODULE pack = nullptr;
  InitAC(L"TAVSHELL", &pack);
  if (pack) ShellModule::SetTextModule(pack);
  CClassFactory::Creator create = nullptr;
  if (IsEqualCLSID(classId, CLSID_ConvertShellExt)) create = &CConvertShellExt::Create;
  if (IsEqualCLSID(classId, CLSID_MetaDataPageExt)) create = &CMetaDataPageExt::Create;
  if (!create) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) CClassFactory(create);
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ShellModule::CanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  InitAC(L"TAVSHELL", nullptr);
  return RegisterShellExtension();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return UnregisterShellExtension(); }
