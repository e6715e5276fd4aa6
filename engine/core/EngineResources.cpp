// The engine's module, its resource module and string loading.
#include "EngineResources.h"

#include <atomic>
#include <cstdarg>
#include <cwchar>
#include <vector>

namespace {
std::atomic<HMODULE> currentResourceModule{nullptr};

std::wstring LoadStringFrom(HMODULE module, UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length the platform hands out a read-only pointer into the resource (not terminated).
  int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return {};
  return std::wstring(text, static_cast<size_t>(length));
}
}  // namespace

HMODULE EngineModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&EngineModule), &module);
  return module;
}

std::wstring EngineFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(EngineModule(), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring folder(path.data(), length);
      size_t slash = folder.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
}

HMODULE ResourceModule() {
  HMODULE module = currentResourceModule.load();
  return module ? module : EngineModule();
}

void SetResourceModule(HMODULE module) { currentResourceModule.exchange(module); }

std::wstring LoadEngineString(UINT id) {
  HMODULE module = ResourceModule();
  std::wstring text = LoadStringFrom(module, id);
  if (text.empty() && module != EngineModule()) text = LoadStringFrom(EngineModule(), id);
  return text;
}

std::wstring FormatTextV(size_t capacity, const wchar_t* format, va_list args) {
  if (!format || capacity == 0) return {};
  std::vector<wchar_t> buffer(capacity, L'\0');
  // The platform's own formatter: wide %s, narrow %hs, as every message text expects. When the text does
  // not fit it is cut and left unterminated, so the last character is reserved for the terminator.
  _vsnwprintf(buffer.data(), capacity - 1, format, args);
  buffer[capacity - 1] = L'\0';
  return std::wstring(buffer.data());
}

std::wstring FormatText(size_t capacity, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatTextV(capacity, format, args);
  va_end(args);
  return text;
}

std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message;
}
