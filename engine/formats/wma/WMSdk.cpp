// The factories of the SDK's writer and profile manager: the SDK's, unless a test has replaced them.
#include "WMSdk.h"

#include <atomic>

namespace {

std::atomic<CreateWriterFunction> writerReplacement{nullptr};
std::atomic<CreateProfileManagerFunction> managerReplacement{nullptr};

}  // namespace

FARPROC WmvcoreEntry(const char* name, HRESULT* missing) {
  static HMODULE module = LoadLibraryW(L"wmvcore.dll");
  FARPROC entry = module ? GetProcAddress(module, name) : nullptr;
  if (!entry && missing)
    *missing = HRESULT_FROM_WIN32(module ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
  return entry;
}

HRESULT CreateWriter(IWMWriter** writer) {
  if (!writer) return E_POINTER;
  *writer = nullptr;
  if (CreateWriterFunction factory = writerReplacement.load()) return factory(nullptr, writer);
  HRESULT missing = S_OK;
  auto function = reinterpret_cast<CreateWriterFunction>(
      reinterpret_cast<void*>(WmvcoreEntry("WMCreateWriter", &missing)));
  return function ? function(nullptr, writer) : missing;
}

HRESULT CreateProfileManager(IWMProfileManager** manager) {
  if (!manager) return E_POINTER;
  *manager = nullptr;
  if (CreateProfileManagerFunction factory = managerReplacement.load()) return factory(manager);
  HRESULT missing = S_OK;
  auto function = reinterpret_cast<CreateProfileManagerFunction>(
      reinterpret_cast<void*>(WmvcoreEntry("WMCreateProfileManager", &missing)));
  return function ? function(manager) : missing;
}

void SetWriterFactories(CreateWriterFunction writer, CreateProfileManagerFunction manager) {
  writerReplacement.store(writer);
  managerReplacement.store(manager);
}

std::wstring WindowsMediaErrorText(HRESULT code) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (!length || length >= MAX_PATH) return {};
  const std::wstring base = std::wstring(folder) + L"\\";
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((base + L"wmerr*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  FindClose(search);
  HMODULE module = LoadLibraryExW((base + found.cFileName).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return {};
  wchar_t* text = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = size && text ? std::wstring(text, size) : std::wstring();
  LocalFree(text);
  FreeLibrary(module);
  const size_t end = message.find_first_of(L"\r\n.");
  if (end != std::wstring::npos) message.resize(end);
  return message;
}
