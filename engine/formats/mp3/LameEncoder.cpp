// Loading the outside MP3 encoder library.
#include "LameEncoder.h"

#include <mutex>
#include <string>

#include "UniqueHandles.h"

namespace {
std::mutex closingLock;

template <class Function>
Function Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The folder of the installed converter application, from its App Paths registration.
std::wstring ApplicationFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  UniqueRegKey owner(key);
  wchar_t folder[MAX_PATH] = {};
  DWORD size = sizeof(folder) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(folder), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  return folder;
}
}  // namespace

bool LameLibrary::Load() {
  Unload();
  module = LoadLibraryW(L"lame_enc.dll");
  if (!module) {
    std::wstring folder = ApplicationFolder();
    if (!folder.empty()) {
      if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
      module = LoadLibraryW((folder + L"lame_enc.dll").c_str());
    }
  }
  if (!module) return false;
  initStream = Resolve<InitStream>(module, "beInitStream");
  encodeChunk = Resolve<EncodeChunk>(module, "beEncodeChunk");
  deinitStream = Resolve<DeinitStream>(module, "beDeinitStream");
  closeStream = Resolve<CloseStream>(module, "beCloseStream");
  writeVbrHeader = Resolve<WriteVbrHeader>(module, "beWriteVBRHeader");
  if (!initStream || !encodeChunk || !deinitStream || !closeStream) {
    Unload();
    return false;
  }
  return true;
}

void LameLibrary::Unload() {
  if (module) FreeLibrary(module);
  module = nullptr;
  initStream = nullptr;
  encodeChunk = nullptr;
  deinitStream = nullptr;
  closeStream = nullptr;
  writeVbrHeader = nullptr;
}

void LockLameClosing() { closingLock.lock(); }
void UnlockLameClosing() { closingLock.unlock(); }
