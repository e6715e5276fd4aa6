// The settings store: sections (sub-keys of the root) of integers, strings and blobs in the registry.
#include "SettingsStore.h"

#include <cwchar>
#include <mutex>

#include "AbiGuard.h"
#include "UniqueHandles.h"
#include "tavcore.h"

namespace {
constexpr DWORD kStringReadLimit = 1024;  // bytes, terminator included

// Closed when the engine is unloaded.
struct SettingsRoot {
  std::mutex lock;
  UniqueRegKey key;
} root;

bool ValidSection(const wchar_t* section) { return section && *section; }

UniqueRegKey OpenSection(const wchar_t* section) {
  HKEY rootKey = root.key.Get();
  if (!rootKey || !ValidSection(section)) return {};
  HKEY key = nullptr;
  if (RegCreateKeyExW(rootKey, section, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return {};
  return UniqueRegKey(key);
}

bool WriteValue(const wchar_t* section, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  if (!name || (!data && size)) return false;
  UniqueRegKey key = OpenSection(section);
  return key && RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}
}  // namespace

bool OpenSettingsRoot() {
  std::lock_guard<std::mutex> guard(root.lock);
  if (root.key) return true;
  HKEY software = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ | KEY_WRITE, &software) != ERROR_SUCCESS) return false;
  UniqueRegKey softwareKey(software);
  HKEY vendor = nullptr;
  if (RegCreateKeyExW(software, L"Quennet", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &vendor,
                      nullptr) != ERROR_SUCCESS)
    return false;
  UniqueRegKey vendorKey(vendor);
  HKEY product = nullptr;
  if (RegCreateKeyExW(vendor, L"Tavrel", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &product,
                      nullptr) != ERROR_SUCCESS)
    return false;
  root.key.Reset(product);
  return true;
}

bool IsSettingsRootOpen() { return static_cast<bool>(root.key); }

TAVCORE_API HKEY WINAPI GetSectionKey(const wchar_t* section) { return OpenSection(section).Release(); }

TAVCORE_API BOOL WINAPI ReadPInt(const wchar_t* section, const wchar_t* name, int* value) {
  return GuardedBool([&]() -> BOOL {
    if (!name || !value) return FALSE;
    UniqueRegKey key = OpenSection(section);
    if (!key) return FALSE;
    DWORD read = 0;
    DWORD size = sizeof(read);
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        size != sizeof(read))
      return FALSE;
    *value = static_cast<int>(read);
    return TRUE;
  });
}

TAVCORE_API BOOL WINAPI ReadPString(const wchar_t* section, const wchar_t* name, wchar_t* dst) {
  return GuardedBool([&]() -> BOOL {
    if (!name || !dst) return FALSE;
    UniqueRegKey key = OpenSection(section);
    if (!key) return FALSE;
    wchar_t text[kStringReadLimit / sizeof(wchar_t) + 1] = {};
    DWORD size = kStringReadLimit;
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return FALSE;
    // A stored string need not carry its terminator: one that fills all 1024 bytes has no room for it in
    // the caller's 512 characters and counts as too long.
    size_t length = wcsnlen(text, size / sizeof(wchar_t));
    if (length >= kStringReadLimit / sizeof(wchar_t)) return FALSE;
    wmemcpy(dst, text, length);
    dst[length] = L'\0';
    return TRUE;
  });
}

TAVCORE_API BOOL WINAPI GetProfileBinary(const wchar_t* section, const wchar_t* name, void* data, UINT32* size) {
  return GuardedBool([&]() -> BOOL {
    if (!name || !size || (!data && *size)) return FALSE;
    UniqueRegKey key = OpenSection(section);
    if (!key) return FALSE;
    // Ask for the size first, so a value larger than the room leaves the caller's buffer untouched.
    DWORD stored = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, &stored) != ERROR_SUCCESS || stored > *size)
      return FALSE;
    DWORD read = *size;
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, static_cast<BYTE*>(data), &read) != ERROR_SUCCESS)
      return FALSE;
    *size = read;
    return TRUE;
  });
}

TAVCORE_API BOOL WINAPI WritePInt(const wchar_t* section, const wchar_t* name, int value) {
  return GuardedBool([&]() -> BOOL {
    DWORD stored = static_cast<DWORD>(value);
    return WriteValue(section, name, REG_DWORD, &stored, sizeof(stored));
  });
}

TAVCORE_API BOOL WINAPI WritePString(const wchar_t* section, const wchar_t* name, const wchar_t* value) {
  return GuardedBool([&]() -> BOOL {
    HKEY rootKey = root.key.Get();
    if (!rootKey || !ValidSection(section)) return FALSE;
    if (!name) return RegDeleteTreeW(rootKey, section) == ERROR_SUCCESS;
    if (!value) {
      UniqueRegKey key = OpenSection(section);
      return key && RegDeleteValueW(key.Get(), name) == ERROR_SUCCESS;
    }
    DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return WriteValue(section, name, REG_SZ, value, bytes);
  });
}

TAVCORE_API BOOL WINAPI PutProfileBinary(const wchar_t* section, const wchar_t* name, const void* data, UINT32 size) {
  return GuardedBool([&]() -> BOOL { return WriteValue(section, name, REG_BINARY, data, size); });
}
