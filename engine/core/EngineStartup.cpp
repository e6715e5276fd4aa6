// InitAC: opens the settings root, reads the referrer id beside the engine and loads a language pack.
#include "EngineStartup.h"

#include <fstream>
#include <mutex>

#include "AbiGuard.h"
#include "EngineResources.h"
#include "PathText.h"
#include "SettingsStore.h"
#include "resource.h"
#include "tavcore.h"

namespace {
constexpr size_t kReferrerBytes = 80;
constexpr size_t kAppIdLength = 8;
constexpr wchar_t kPackMarker[] = L"LANGUAGEPACK";

struct StartupState {
  std::mutex lock;
  std::wstring appId;
  std::string referrerId;
  std::wstring languageCode;
} state;

std::string ReadReferrerFile() {
  std::ifstream file((EngineFolder() + L"\\Ref.txt").c_str(), std::ios::binary);
  if (!file) return {};
  char bytes[kReferrerBytes];
  file.read(bytes, sizeof(bytes));
  return SanitizeReferrer(bytes, static_cast<size_t>(file.gcount()));
}

HMODULE LoadPackLibrary(const std::wstring& name) {
  if (HMODULE module = LoadLibraryW(name.c_str())) return module;
  std::wstring besideEngine = EngineFolder() + L"\\" + PathFileName(name);
  return LoadLibraryW(besideEngine.c_str());
}

void LoadLanguagePack(HMODULE* languagePack) {
  *languagePack = nullptr;
  wchar_t packName[512] = {};
  if (!ReadPString(L"Settings", L"LanguagePack", packName) || !packName[0]) return;
  HMODULE pack = LoadPackLibrary(packName);
  if (!pack) return;
  wchar_t marker[100] = {};
  int length = LoadStringW(pack, IDS_LANGUAGEPACK_MARKER, marker, 100);
  const size_t markerLength = wcslen(kPackMarker);
  // Not a pack: the library stays loaded, but nothing of it is used.
  if (length < static_cast<int>(markerLength) || wcsncmp(marker, kPackMarker, markerLength) != 0) return;
  state.languageCode.assign(marker + (length >= 3 ? length - 3 : 0));
  SetResourceModule(pack);
  *languagePack = pack;
}
}  // namespace

std::string SanitizeReferrer(const char* bytes, size_t count) {
  std::string id(bytes, count < kReferrerBytes ? count : kReferrerBytes);
  for (char& c : id) {
    bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphanumeric) c = 'x';
  }
  return id;
}

std::string ReferrerId() {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.referrerId;
}

std::wstring ApplicationId() {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.appId;
}

std::wstring LanguageCode() {
  std::lock_guard<std::mutex> guard(state.lock);
  return state.languageCode;
}

TAVCORE_API HRESULT WINAPI InitAC(const wchar_t* appId, HMODULE* languagePack) {
  GuardedHResult([&]() -> HRESULT {
    std::lock_guard<std::mutex> guard(state.lock);
    // Once the root is open, later calls change nothing. A root that cannot be opened leaves the store
    // failing, but the rest of the start-up still happens.
    if (IsSettingsRootOpen()) return S_OK;
    OpenSettingsRoot();
    state.appId = appId ? std::wstring(appId, wcsnlen(appId, kAppIdLength)) : std::wstring();
    state.referrerId = ReadReferrerFile();
    if (languagePack) LoadLanguagePack(languagePack);
    return S_OK;
  });
  return S_OK;
}
