// Menu items are inserted one above the other at the shell's index, so the last one tested ends up on top.
#include "ConvertShellExt.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "ShellModule.h"
#include "ShellSwitches.h"
#include "resource.h"
#include "tavcore.h"

namespace {

const wchar_t* const kFlagNames[] = {L"CD Track", L"Windows Media", L"Wave", L"MP3", L"AIFF", L"Ogg Vorbis"};
const wchar_t kAppPathKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe";

// The convert items: the command offset, its switch, the flag of its format and the format's name.
struct ConvertItem {
  UINT offset;
  CConvertShellExt::Switch option;
  CConvertShellExt::Flag flag;
  const wchar_t* format;
};
const ConvertItem kConvertItems[] = {
    {0, CConvertShellExt::kWindowsMedia, CConvertShellExt::kFlagWindowsMedia, L"Windows Media"},
    {1, CConvertShellExt::kWave, CConvertShellExt::kFlagWave, L"Wave"},
    {2, CConvertShellExt::kMP3, CConvertShellExt::kFlagMP3, L"MP3"},
    {3, CConvertShellExt::kAIFF, CConvertShellExt::kFlagAIFF, L"AIFF"},
    {7, CConvertShellExt::kOgg, CConvertShellExt::kFlagOgg, L"Ogg Vorbis"},
};
constexpr UINT kBurnOffset = 5;
constexpr UINT kRipOffset = 6;

const ConvertItem* ConvertItemAt(UINT offset) {
  for (const ConvertItem& item : kConvertItems)
    if (item.offset == offset) return &item;
  return nullptr;
}

std::wstring Format(UINT id, const wchar_t* first, const wchar_t* second = nullptr) {
  const std::wstring pattern = ShellModule::Text(id);
  wchar_t text[1024] = {};
  _snwprintf(text, 1023, pattern.c_str(), first, second);
  return text;
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace

HRESULT CConvertShellExt::Create(REFIID iid, void** out) {
  return ShellModule::HandOut(new (std::nothrow) CConvertShellExt, iid, out);
}

CConvertShellExt::CConvertShellExt() {
  ShellModule::ObjectCreated();
  static_assert(kSwitchCount == ShellSwitches::kMenuCount, "one switch per menu item");
  for (int i = 0; i < kSwitchCount; ++i)
    switches[i] = ShellSwitches::Read(ShellSwitches::kMenuNames[i], ShellSwitches::kMenuDefaults[i]);
  for (bool& flag : allOf) flag = true;
}

CConvertShellExt::~CConvertShellExt() { ShellModule::ObjectDestroyed(); }

HRESULT CConvertShellExt::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
    *out = static_cast<IShellExtInit*>(this);
  } else if (IsEqualIID(iid, IID_IContextMenu)) {
    *out = static_cast<IContextMenu*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CConvertShellExt::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG CConvertShellExt::Release() {
  const LONG left = InterlockedDecrement(&references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CConvertShellExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  for (bool& flag : allOf) flag = true;
  ShellModule::ForEachSelectedFile(data, [&](const wchar_t* path) {
    // Only the names are looked at: the file manager must not wait for a disk or a network here.
    CONVFORMAT format = {};
    if (FAILED(ConvGetFormatOf(&format, path))) return;
    for (int flag = 0; flag < kFlagCount; ++flag)
      if (allOf[flag] && std::wcscmp(format.name, kFlagNames[flag]) != 0) allOf[flag] = false;
    selection.push_back(path);
  });
  return selection.empty() ? E_FAIL : S_OK;
}

HRESULT CConvertShellExt::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT flags) {
  if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
  auto insert = [&](UINT offset, const std::wstring& text) {
    InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, firstId + offset, text.c_str());
  };
  for (const ConvertItem& item : kConvertItems)
    if (switches[item.option] && !allOf[item.flag] && !allOf[kCdTrack])
      insert(item.offset, Format(IDS_CONVERT_TO, item.format));
  if (switches[kBurn] && !allOf[kCdTrack]) insert(kBurnOffset, ShellModule::Text(IDS_BURN_ITEM));
  if (switches[kRip] && allOf[kCdTrack]) insert(kRipOffset, ShellModule::Text(IDS_RIP_ITEM));
  return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, kCommandCount);
}

HRESULT CConvertShellExt::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT length) {
  if (offset >= ConvGetFormatCount()) return E_INVALIDARG;
  if (type != GCS_HELPTEXTW) return E_NOTIMPL;
  std::wstring text;
  const std::wstring caption = ShellModule::Text(IDS_PRODUCT_CAPTION);
  if (const ConvertItem* item = ConvertItemAt(static_cast<UINT>(offset)))
    text = Format(IDS_CONVERT_HELP, item->format, caption.c_str());
  else if (offset == kBurnOffset)
    text = ShellModule::Text(IDS_BURN_HELP);
  else if (offset == kRipOffset)
    text = Format(IDS_RIP_HELP, caption.c_str());
  if (buffer && length > 0) lstrcpynW(reinterpret_cast<wchar_t*>(buffer), text.c_str(), static_cast<int>(length));
  return S_OK;
}

HRESULT CConvertShellExt::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  // A verb given as text is not one of ours.
  if (!info || HIWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) return S_OK;
  const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
  const ConvertItem* item = ConvertItemAt(offset);
  if (!item && offset != kBurnOffset && offset != kRipOffset) return S_OK;
  const std::wstring list = WriteListFile(info->hwnd);
  if (list.empty()) return S_OK;
  std::wstring parameters;
  if (item)
    parameters = std::wstring(L"/C \"") + item->format + L"\" \"" + list + L"\"";
  else
    parameters = (offset == kBurnOffset ? L"/B \"" : L"/R \"") + list + L"\"";
  // A converter that cannot be started never takes the list file: it is not left behind in the temporary folder.
  if (!StartConverter(info->hwnd, parameters)) DeleteFileW(list.c_str());
  return S_OK;
}

// UTF-8 with a byte-order mark, lines ended by CR LF: every path arrives whole, whatever its characters.
std::wstring CConvertShellExt::WriteListFile(HWND owner) const {
  wchar_t folder[MAX_PATH] = {};
  wchar_t name[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  HANDLE file = INVALID_HANDLE_VALUE;
  if (length && length < MAX_PATH && GetTempFileNameW(folder, L"con", 0, name))
    file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool complete = false;
  if (file != INVALID_HANDLE_VALUE) {
    std::string bytes = "\xEF\xBB\xBF";
    for (const std::wstring& path : selection) bytes += Utf8(path) + "\r\n";
    DWORD written = 0;
    complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    CloseHandle(file);
  }
  if (complete) return name;
  // A list that is not whole must not be converted.
  if (name[0]) DeleteFileW(name);
  MessageBoxW(owner, L"Cannot create temporary file", ShellModule::Text(IDS_PRODUCT_CAPTION).c_str(),
              MB_OK | MB_ICONERROR);
  return {};
}

bool CConvertShellExt::StartConverter(HWND owner, const std::wstring& parameters) const {
  HKEY key = nullptr;
  wchar_t program[MAX_PATH + 1] = {};
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPathKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD size = MAX_PATH * sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(program), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      program[0] = 0;
    RegCloseKey(key);
  }
  if (!program[0]) return false;
  return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, nullptr, program, parameters.c_str(), nullptr, SW_SHOWNORMAL)) > 32;
}
