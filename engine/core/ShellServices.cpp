// Small exported services beside the store: temporary folder, event sounds, referrer links, shell open,
// and the engine's build date.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>

#include "AbiGuard.h"
#include "EngineResources.h"
#include "EngineStartup.h"
#include "UniqueHandles.h"
#include "tavcore.h"

namespace {
constexpr size_t kRefererCapacity = 2048;

struct RefererBuffer {
  std::mutex lock;
  wchar_t text[kRefererCapacity] = {};
} referer;
}  // namespace

TAVCORE_API wchar_t* WINAPI ACTempPath(wchar_t* buf) {
  if (!buf) return buf;
  GuardedBool([&]() -> BOOL {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) temp[0] = L'\0';
    wchar_t stored[512] = {};
    const wchar_t* chosen = ReadPString(L"Settings", L"TempPath", stored) ? stored : temp;
    size_t count = wcsnlen(chosen, MAX_PATH - 1);
    wmemcpy(buf, chosen, count);
    buf[count] = L'\0';
    return TRUE;
  });
  return buf;
}

TAVCORE_API BOOL WINAPI PlayEventSound(const wchar_t* eventName) {
  return GuardedBool([&]() -> BOOL {
    if (!eventName) return PlaySoundW(nullptr, nullptr, 0);
    wchar_t path[512] = {};
    if (!ReadPString(L"Sounds", eventName, path) || !path[0]) return FALSE;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    return PlaySoundW(path, nullptr, SND_FILENAME | SND_ASYNC | SND_NOWAIT | SND_NODEFAULT);
  });
}

TAVCORE_API const wchar_t* WINAPI AddReferer(const wchar_t* url) {
  std::lock_guard<std::mutex> guard(referer.lock);
  GuardedBool([&]() -> BOOL {
    std::wstring text = url ? url : L"";
    std::string id = ReferrerId();
    if (!id.empty()) text += L"?ref=" + std::wstring(id.begin(), id.end());
    size_t count = std::min(text.size(), kRefererCapacity - 1);
    text.copy(referer.text, count);
    referer.text[count] = L'\0';
    return TRUE;
  });
  return referer.text;
}

TAVCORE_API BOOL WINAPI _SHOpen(HWND owner, const wchar_t* file, const wchar_t* parameters) {
  return GuardedBool([&]() -> BOOL {
    if (!file) return FALSE;
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = owner;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOWNORMAL;
    BOOL result = ShellExecuteExW(&info);
    SetCursor(previous);
    return result;
  });
}

TAVCORE_API void WINAPI GetTavcoreDllDateString(wchar_t* longDate, wchar_t* shortDate) {
  GuardedBool([&]() -> BOOL {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(EngineModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return FALSE;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return FALSE;
    SYSTEMTIME written = {};
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &written)) return FALSE;
    if (longDate) GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &written, L"MMMM d, yyyy", longDate, 256);
    if (shortDate) GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &written, L"yyMMdd", shortDate, 10);
    return TRUE;
  });
}
