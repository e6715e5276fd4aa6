// The shell extension as the file manager meets it: registered with regsvr32, created through COM, handed a data
// object with the selected files, asked for its menu and help texts and told to run a command. The converter it
// starts is either a stand-in that records its command line, or the real tavconv.exe converting the files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

#include "ShellTestParts.h"
#include "TestSupport.h"
#include "WavFiles.h"
#include "tavcore.h"

namespace {

const CLSID kConvertShellExt = {0x8DA09D52, 0xA809, 0x430B, {0x80, 0x1C, 0xBB, 0x91, 0xB5, 0x0A, 0x25, 0x52}};
const wchar_t kClassKey[] = L"CLSID\\{8DA09D52-A809-430B-801C-BB91B50A2552}";
const wchar_t kPageClassKey[] = L"CLSID\\{20540AEE-518C-4C30-935D-3D5A74F386A3}";
const wchar_t kMenuHandler[] = L"*\\shellex\\ContextMenuHandlers\\Tavrel";
const wchar_t kPageHandler[] = L"*\\shellex\\PropertySheetHandlers\\Tavrel";
const wchar_t kAppPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe";
const wchar_t* const kSwitches[] = {L"ConvertWindowsMedia", L"ConvertWave", L"ConvertMP3", L"ConvertAIFF",
                                    L"ConvertOgg",          L"BurnAudioCD", L"CopyHardDisk", L"MetadataPage"};


bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t text[1024] = {};
  DWORD size = sizeof(text);
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return L"<none>";
  return text;
}

// One context-menu request: the extension created, initialised with the selection and asked for its menu.
struct MenuRequest {
  IShellExtInit* init = nullptr;
  IContextMenu* menu = nullptr;
  HMENU popup = CreatePopupMenu();
  HRESULT initialized = E_FAIL;
  HRESULT queried = E_FAIL;

  explicit MenuRequest(const std::vector<std::wstring>& paths, UINT flags = CMF_NORMAL) {
    EXPECT_EQ(S_OK, CoCreateInstance(kConvertShellExt, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                     reinterpret_cast<void**>(&init)));
    if (!init) return;
    DropData data(paths);
    initialized = init->Initialize(nullptr, &data, nullptr);
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    // The shell's own items are there already; ours go above them at index 0.
    AppendMenuW(popup, MF_STRING, 1, L"Open");
    if (SUCCEEDED(initialized)) queried = menu->QueryContextMenu(popup, 0, 100, 200, flags);
  }
  ~MenuRequest() {
    if (menu) menu->Release();
    if (init) init->Release();
    DestroyMenu(popup);
  }
  // The items from the top, with their command offsets: "text@offset".
  std::vector<std::wstring> Items() const {
    std::vector<std::wstring> items;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
      wchar_t text[128] = {};
      GetMenuStringW(popup, i, text, 128, MF_BYPOSITION);
      const UINT id = GetMenuItemID(popup, i);
      if (id >= 100) items.push_back(std::wstring(text) + L"@" + std::to_wstring(id - 100));
    }
    return items;
  }
  std::wstring Help(UINT_PTR offset, HRESULT* result = nullptr) const {
    wchar_t text[512] = L"untouched";
    const HRESULT hr = menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(text), 512);
    if (result) *result = hr;
    return text;
  }
  HRESULT Invoke(UINT offset) const {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
  }
};

class ShellExtension : public testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : kSwitches) WritePString(L"ShellExt", name, nullptr);
    ASSERT_EQ(0u, Register());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HKEY key = nullptr;
    hadAppPath = KeyExists(HKEY_LOCAL_MACHINE, kAppPath);
    if (hadAppPath) appPathBefore = Value(HKEY_LOCAL_MACHINE, kAppPath);
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegCloseKey(key);
    SetEnvironmentVariableW(L"TAVREL_ARGS_FILE", argsFile.c_str());
  }
  void TearDown() override {
    CoUninitialize();
    if (hadAppPath)
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kAppPath, nullptr, REG_SZ, appPathBefore.c_str(),
                      static_cast<DWORD>((appPathBefore.size() + 1) * sizeof(wchar_t)));
    else
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, kAppPath);
    for (const wchar_t* name : kSwitches) WritePString(L"ShellExt", name, nullptr);
    Unregister();
  }
  void UseConverter(const std::wstring& program) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kAppPath, nullptr, REG_SZ, program.c_str(),
                    static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
  }
  // What the stand-in converter was started with, once it has run.
  std::wstring RecordedArguments() {
    for (int i = 0; i < 3000 && !FileExists(argsFile); ++i) Sleep(10);
    Sleep(50);
    const std::string bytes = ReadFileBytes(argsFile);
    DeleteFileW(argsFile.c_str());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  }

  TempFolder folder;
  std::wstring argsFile = folder / L"arguments.txt";
  bool hadAppPath = false;
  std::wstring appPathBefore;
};

void SetSwitch(const wchar_t* name, int value) { WritePInt(L"ShellExt", name, value); }

DWORD ProcessId(const wchar_t* image) {
  DWORD id = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !id; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, image) == 0) id = entry.th32ProcessID;
  CloseHandle(snapshot);
  return id;
}

// The process's top-level window that has a default button, once it exists.
HWND TopWindowOf(DWORD process) {
  struct Search {
    DWORD process;
    HWND found;
  } search = {process, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process || !IsWindowVisible(window) || !GetDlgItem(window, IDOK)) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

TEST(ShellRegistration, RegsvrWritesTheClassesAndHandlersAndRemovesOnlyThem) {
  for (const wchar_t* name : kSwitches) WritePString(L"ShellExt", name, nullptr);
  // Another program's handler shares the keys above ours.
  RegSetKeyValueW(HKEY_CLASSES_ROOT, L"*\\shellex\\ContextMenuHandlers\\Other", nullptr, REG_SZ, L"{0}", 8);
  ASSERT_EQ(0u, Register());
  EXPECT_EQ(L"ConvertShellExt Class", Value(HKEY_CLASSES_ROOT, L"Tavcore.ConvertShellExt.1"));
  EXPECT_EQ(L"{8DA09D52-A809-430B-801C-BB91B50A2552}", Value(HKEY_CLASSES_ROOT, L"Tavcore.ConvertShellExt.1\\CLSID"));
  EXPECT_EQ(L"Tavcore.ConvertShellExt.1", Value(HKEY_CLASSES_ROOT, L"Tavcore.ConvertShellExt\\CurVer"));
  EXPECT_EQ(L"ConvertShellExt Class", Value(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_EQ(L"Tavcore.ConvertShellExt.1", Value(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\ProgID"));
  EXPECT_EQ(L"Tavcore.ConvertShellExt",
            Value(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\VersionIndependentProgID"));
  EXPECT_EQ(L"{617848EF-ABA3-4097-B0F5-4979BB407073}", Value(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\TypeLib"));
  EXPECT_EQ(0, _wcsicmp(Module().c_str(), Value(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\InprocServer32").c_str()));
  EXPECT_EQ(L"Apartment", Value(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\InprocServer32", L"ThreadingModel"));
  EXPECT_EQ(L"MetaDataPageExt Class", Value(HKEY_CLASSES_ROOT, kPageClassKey));
  EXPECT_EQ(L"Apartment", Value(HKEY_CLASSES_ROOT, std::wstring(kPageClassKey) + L"\\InprocServer32", L"ThreadingModel"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(kPageClassKey) + L"\\ProgID"));
  EXPECT_EQ(L"Tavcore.MetaDataPageExt.1", Value(HKEY_CLASSES_ROOT, L"Tavcore.MetaDataPageExt\\CurVer"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{617848EF-ABA3-4097-B0F5-4979BB407073}"));
  EXPECT_EQ(L"{8DA09D52-A809-430B-801C-BB91B50A2552}", Value(HKEY_CLASSES_ROOT, kMenuHandler));
  EXPECT_EQ(L"{20540AEE-518C-4C30-935D-3D5A74F386A3}", Value(HKEY_CLASSES_ROOT, kPageHandler));

  // Every menu switch off and no page: the handlers go, the classes stay.
  for (int i = 0; i < 8; ++i) SetSwitch(kSwitches[i], 0);
  ASSERT_EQ(0u, Register());
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMenuHandler));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPageHandler));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  SetSwitch(L"ConvertOgg", 1);
  ASSERT_EQ(0u, Register());
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kMenuHandler)) << "one menu switch on is enough";
  for (const wchar_t* name : kSwitches) WritePString(L"ShellExt", name, nullptr);
  ASSERT_EQ(0u, Register());

  ASSERT_EQ(0u, Unregister());
  for (const wchar_t* key : {L"Tavcore.ConvertShellExt.1", L"Tavcore.ConvertShellExt", L"Tavcore.MetaDataPageExt.1",
                             L"Tavcore.MetaDataPageExt", kClassKey, kPageClassKey, kMenuHandler, kPageHandler,
                             L"TypeLib\\{617848EF-ABA3-4097-B0F5-4979BB407073}"})
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"*\\shellex\\ContextMenuHandlers\\Other")) << "nothing but ours goes";
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"*\\shellex\\PropertySheetHandlers"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
  RegDeleteKeyW(HKEY_CLASSES_ROOT, L"*\\shellex\\ContextMenuHandlers\\Other");
}

TEST_F(ShellExtension, ItemsFollowTheSelectionAndTheSwitches) {
  const std::wstring mp3 = folder / L"song.mp3", wav = folder / L"take.wav", wma = folder / L"a.wma";
  {
    MenuRequest request({mp3});
    EXPECT_EQ(S_OK, request.initialized);
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 8), request.queried);
    EXPECT_EQ((std::vector<std::wstring>{L"Burn Audio CD...@5", L"Convert to Windows Media@0"}), request.Items());
    EXPECT_EQ(L"Open", [&] {
      wchar_t text[32] = {};
      GetMenuStringW(request.popup, 2, text, 32, MF_BYPOSITION);
      return std::wstring(text);
    }()) << "the shell's items stay below ours";
  }
  {
    MenuRequest request({wma, folder / L"b.WMA"});
    EXPECT_EQ((std::vector<std::wstring>{L"Burn Audio CD...@5"}), request.Items()) << "every file is Windows Media";
  }
  for (int i = 0; i < 7; ++i) SetSwitch(kSwitches[i], 1);
  {
    MenuRequest request({mp3, wav});
    EXPECT_EQ((std::vector<std::wstring>{L"Burn Audio CD...@5", L"Convert to Ogg Vorbis@7", L"Convert to AIFF@3",
                                         L"Convert to MP3@2", L"Convert to Wave@1", L"Convert to Windows Media@0"}),
              request.Items());
  }
  {
    MenuRequest request({L"D:\\Track01.cda", L"D:\\Track02.cda"});
    EXPECT_EQ((std::vector<std::wstring>{L"Rip Audio CD...@6"}), request.Items()) << "CD tracks are ripped";
  }
  {
    MenuRequest request({L"D:\\Track01.cda", mp3});
    EXPECT_EQ(6u, request.Items().size()) << "a mixed selection converts and burns";
  }
  SetSwitch(L"CopyHardDisk", 0);
  {
    MenuRequest request({L"D:\\Track01.cda"});
    EXPECT_TRUE(request.Items().empty());
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 8), request.queried) << "the offsets are reserved all the same";
  }
  {
    MenuRequest request({mp3}, CMF_DEFAULTONLY);
    EXPECT_TRUE(request.Items().empty());
    EXPECT_EQ(S_OK, request.queried);
  }
  {
    MenuRequest request({folder / L"notes.txt", folder / L"noextension"});
    EXPECT_EQ(E_FAIL, request.initialized) << "nothing this extension knows";
  }
}

TEST_F(ShellExtension, HelpTexts) {
  MenuRequest request({folder / L"song.mp3"});
  EXPECT_EQ(L"Convert the audio files to Windows Media format using Tavrel Shell Extension.", request.Help(0));
  EXPECT_EQ(L"Convert the audio files to Ogg Vorbis format using Tavrel Shell Extension.", request.Help(7));
  EXPECT_EQ(L"Burn an audio CD from the selected audio files.", request.Help(5));
  EXPECT_EQ(L"Copy the audio CD tracks to hard disk using Tavrel Shell Extension.", request.Help(6));
  EXPECT_EQ(L"", request.Help(4));
  HRESULT result = S_OK;
  request.Help(ConvGetFormatCount(), &result);
  EXPECT_EQ(E_INVALIDARG, result);
  char narrow[64] = {};
  EXPECT_EQ(E_NOTIMPL, request.menu->GetCommandString(0, GCS_VERBA, nullptr, narrow, 64));
  wchar_t cut[8] = {};
  request.menu->GetCommandString(5, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(cut), 8);
  EXPECT_STREQ(L"Burn an", cut) << "cut to the buffer";
}

TEST_F(ShellExtension, CommandsWriteTheListFileAndStartTheConverter) {
  UseConverter(ProgramFolder() + L"\\shellext_args_recorder.exe");
  const std::wstring unicode = folder / L"\u00DCn\u00EFc\u00F6d\u00E9 \u65E5\u672C.wav";
  const std::wstring wav = folder / L"take.wav";
  SetSwitch(L"ConvertMP3", 1);
  MenuRequest request({folder / L"readme.txt", wav, unicode});
  ASSERT_EQ(S_OK, request.initialized);

  std::vector<std::wstring> lists;
  auto listOf = [&](const std::wstring& arguments, const std::wstring& prefix) {
    EXPECT_EQ(0u, arguments.rfind(prefix, 0)) << arguments;
    const std::wstring list = arguments.substr(prefix.size(), arguments.size() - prefix.size() - 1);
    EXPECT_EQ(L'"', arguments.back());
    lists.push_back(list);
    return list;
  };
  EXPECT_EQ(S_OK, request.Invoke(2));
  const std::wstring list = listOf(RecordedArguments(), L"/C \"MP3\" \"");
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(0, _wcsnicmp(list.c_str(), temp, wcslen(temp))) << list << " lives in the temporary folder";
  EXPECT_EQ(L"con", list.substr(wcslen(temp), 3));
  EXPECT_EQ(std::string("\xEF\xBB\xBF") + [&] {
    std::string bytes;
    for (const std::wstring& path : {wav, unicode}) {
      char utf8[1024] = {};
      WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8, 1024, nullptr, nullptr);
      bytes += std::string(utf8) + "\r\n";
    }
    return bytes;
  }(), ReadFileBytes(list)) << "the known files, in order, every character intact";

  EXPECT_EQ(S_OK, request.Invoke(5));
  listOf(RecordedArguments(), L"/B \"");
  EXPECT_EQ(S_OK, request.Invoke(6));
  listOf(RecordedArguments(), L"/R \"");
  EXPECT_NE(lists[0], lists[1]);
  EXPECT_NE(lists[1], lists[2]) << "each command has its own list file";
  for (const std::wstring& file : lists) DeleteFileW(file.c_str());

  // Offsets without a command, and verbs given as text, start nothing.
  EXPECT_EQ(S_OK, request.Invoke(4));
  CMINVOKECOMMANDINFO info = {};
  info.cbSize = sizeof(info);
  info.lpVerb = "open";
  EXPECT_EQ(S_OK, request.menu->InvokeCommand(&info));
  Sleep(300);
  EXPECT_FALSE(FileExists(argsFile));

  // A thousand files go into the list.
  std::vector<std::wstring> many;
  for (int i = 0; i < 1000; ++i) many.push_back(folder / (L"file" + std::to_wstring(i) + L".mp3"));
  MenuRequest big(many);
  EXPECT_EQ(S_OK, big.Invoke(0));
  const std::wstring bigList = listOf(RecordedArguments(), L"/C \"Windows Media\" \"");
  const std::string bytes = ReadFileBytes(bigList);
  EXPECT_EQ(1000, std::count(bytes.begin(), bytes.end(), '\n'));
  DeleteFileW(bigList.c_str());

  // Without a converter the list file is not left behind.
  UseConverter(L"");
  auto listFiles = [&] {
    size_t count = 0;
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW((std::wstring(temp) + L"con*.tmp").c_str(), &data);
    if (found != INVALID_HANDLE_VALUE) {
      do ++count; while (FindNextFileW(found, &data));
      FindClose(found);
    }
    return count;
  };
  const size_t before = listFiles();
  EXPECT_EQ(S_OK, request.Invoke(0));
  const size_t after = listFiles();
  EXPECT_EQ(before, after);
}

// The real converter, started as the file manager would, converts the selected files.
TEST_F(ShellExtension, TheConverterReallyConvertsTheSelection) {
  UseConverter(ProgramFolder() + L"\\tavconv.exe");
  WritePString(L"Converter", L"NamingScheme", L"<sourcedir>\\<sourcename> (shell)");
  SetSwitch(L"ConvertAIFF", 1);
  const WAVEFORMATEX format = PcmFormat(16, 2, 44100);
  const std::wstring first = folder / L"first.wav", second = folder / L"\u65E5\u672C.wav";
  for (const std::wstring& path : {first, second})
    ASSERT_TRUE(WriteFileBytes(path, PcmWave(format, PcmSignal(format, 44100))));
  MenuRequest request({first, second});
  EXPECT_EQ(S_OK, request.Invoke(3));
  // The converter shows the batch and waits for Convert; once done it waits to be closed. Both as a user does.
  const std::wstring outputs[] = {folder / L"first (shell).aif", folder / L"\u65E5\u672C (shell).aif"};
  HWND window = nullptr;
  DWORD converter = 0;
  for (int i = 0; i < 6000 && !window; ++i) {
    converter = ProcessId(L"tavconv.exe");
    window = converter ? TopWindowOf(converter) : nullptr;
    if (!window) Sleep(10);
  }
  ASSERT_NE(nullptr, window) << "the converter shows its window";
  SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  bool converted = false;
  for (int i = 0; i < 6000 && !converted; ++i) {
    converted = FileExists(outputs[0]) && FileExists(outputs[1]);
    if (!converted) Sleep(10);
  }
  EXPECT_TRUE(converted);
  // The outputs get their names before the window says it has finished: closing earlier would be a cancel.
  wchar_t button[32] = {};
  for (int i = 0; i < 6000 && std::wstring(button) != L"Close"; ++i) {
    GetDlgItemTextW(window, IDCANCEL, button, 32);
    if (std::wstring(button) != L"Close") Sleep(10);
  }
  EXPECT_STREQ(L"Close", button);
  PostMessageW(window, WM_CLOSE, 0, 0);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, converter);
  if (process && WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the converter did not close";
    TerminateProcess(process, 1);
  }
  if (process) CloseHandle(process);
  WritePString(L"Converter", L"NamingScheme", nullptr);
}
