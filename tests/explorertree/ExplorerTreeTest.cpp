// The folder tree on a tree-view control of a window of the test's own, driven as a host drives it (the owner
// forwards the tree's notifications; expanding and selecting go through the control): a folder structure made
// here with non-Latin names, a thousand subfolders and folders that vanish while expanded; slow and refusing
// folders are made by putting a gate in front of the shell's enumeration.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "explorertree/FolderListing.h"
#include "tavcore.h"

namespace {

IExplorerTree* current = nullptr;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && current) return current->OnNotify(message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

class TreeHost {
 public:
  TreeHost() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TreeHost";
    RegisterClassW(&windowClass);
    owner = CreateWindowExW(0, L"TreeHost", L"Folders", WS_OVERLAPPEDWINDOW, 0, 0, 400, 600, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                               TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 0, 400, 600, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(S_OK, CreateExplorerTree(&explorer, owner, tree));
    current = explorer;
  }
  ~TreeHost() {
    explorer->Destroy();
    current = nullptr;
    DestroyWindow(owner);
  }
  HTREEITEM Next(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }
  std::wstring Text(HTREEITEM item) const {
    wchar_t text[260] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = 260;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
  }
  std::vector<std::wstring> Children(HTREEITEM item) const {
    std::vector<std::wstring> names;
    for (HTREEITEM child = Next(item, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) names.push_back(Text(child));
    return names;
  }
  HTREEITEM Child(HTREEITEM item, const std::wstring& name) const {
    for (HTREEITEM child = Next(item, TVGN_CHILD); child; child = Next(child, TVGN_NEXT))
      if (Text(child) == name) return child;
    return nullptr;
  }
  void Expand(HTREEITEM item, UINT how = TVE_EXPAND) const {
    SendMessageW(tree, TVM_EXPAND, how, reinterpret_cast<LPARAM>(item));
  }
  HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
  // The tree filled, the folder `top` selected and expanded, and its subfolder "slow" expanded; `top`'s item.
  HTREEITEM OpenSlowFolder(const std::wstring& top) const {
    explorer->Populate();
    explorer->SelectPath(top.c_str());
    const HTREEITEM item = Selected();
    Expand(item);
    Expand(Child(item, L"slow"));
    return item;
  }
  bool HasButton(HTREEITEM item) const {
    TVITEMW tv = {};
    tv.mask = TVIF_CHILDREN | TVIF_STATE;
    tv.hItem = item;
    tv.stateMask = TVIS_EXPANDED;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.cChildren != 0;
  }
  std::wstring SelectedPath() const {
    wchar_t path[MAX_PATH] = L"unchanged";
    explorer->GetSelectedPath(path, MAX_PATH);
    return path;
  }

  HWND owner = nullptr, tree = nullptr;
  IExplorerTree* explorer = nullptr;
};

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// A right click as the tree reports it: the cursor on the item's label, then NM_RCLICK to the owner.
void RightClick(const TreeHost& host, HTREEITEM item, bool onLabel) {
  SendMessageW(host.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  RECT rect = {};
  std::memcpy(&rect, &item, sizeof(item));  // the item goes in, its rectangle comes out
  SendMessageW(host.tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
  POINT at = {onLabel ? (rect.left + rect.right) / 2 : rect.right + 40, (rect.top + rect.bottom) / 2};
  ClientToScreen(host.tree, &at);
  SetCursorPos(at.x, at.y);
  NMHDR header = {host.tree, 0, static_cast<UINT>(NM_RCLICK)};
  SendMessageW(host.owner, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

// Runs the window's messages until the condition holds; false if it never does (a generous safety limit, so a
// fault fails the test instead of hanging it).
bool PumpUntil(const std::function<bool()>& condition) {
  for (ULONGLONG end = GetTickCount64() + 30000; GetTickCount64() < end;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (condition()) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return condition();
}

// Gives late messages (a worker's report) the time to arrive and be handled.
void PumpFor(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  PumpUntil([end] { return GetTickCount64() >= end; });
}

// Folders that answer slowly (their enumeration waits until the test opens the gate) or not at all (access
// denied, as the shell reports a folder the user may not read).
struct FolderGate {
  std::wstring slow, refused;
  HANDLE open = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> slowListings{0};
  std::atomic<int> slowDone{0};
  ~FolderGate() {
    SetEvent(open);
    CloseHandle(open);
  }
} * gate = nullptr;

std::wstring FolderPath(IShellFolder* folder) {
  IPersistFolder2* persist = nullptr;
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(folder->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist)))) {
    PIDLIST_ABSOLUTE id = nullptr;
    if (SUCCEEDED(persist->GetCurFolder(&id)) && id) {
      SHGetPathFromIDListW(id, path);
      ILFree(id);
    }
    persist->Release();
  }
  return path;
}

HRESULT GatedEnumObjects(IShellFolder* folder, HWND owner, SHCONTF flags, IEnumIDList** out) {
  const std::wstring path = FolderPath(folder);
  if (!gate->refused.empty() && SamePath(path, gate->refused)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  const bool slow = !gate->slow.empty() && SamePath(path, gate->slow);
  if (slow) {
    ++gate->slowListings;
    WaitForSingleObject(gate->open, 30000);
  }
  const HRESULT result = folder->EnumObjects(owner, flags, out);
  if (slow) ++gate->slowDone;
  return result;
}

class GatedFolders {
 public:
  GatedFolders() {
    gate = &state;
    SetFolderEnumerator(&GatedEnumObjects);
  }
  ~GatedFolders() {
    SetFolderEnumerator(nullptr);
    SetEvent(state.open);
    PumpUntil([this] { return state.slowDone == state.slowListings; });
    gate = nullptr;
  }
  FolderGate state;
};

// Closes whatever menu is open a moment after it opened, handing the host's menu messages on meanwhile.
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  if (current) current->HandleMenuMessage(WM_INITMENUPOPUP, 0, 0);
  EndMenu();
  KillTimer(nullptr, id);
}

}  // namespace

TEST(ExplorerTree, BrowsesFoldersMadeByTheTest) {
  TempFolder folder;
  const std::wstring top = folder / L"top";
  CreateDirectoryW(top.c_str(), nullptr);
  const std::wstring unicode = L"\u00DCn\u00EFc\u00F6d\u00E9 \u65E5\u672C";
  for (const std::wstring& name : {unicode, std::wstring(L"plain"), std::wstring(L"gone"), std::wstring(L"alpha")})
    ASSERT_TRUE(CreateDirectoryW((top + L"\\" + name).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((top + L"\\gone\\inner").c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(top + L"\\file.txt", "not a folder"));
  for (int i = 0; i < 1000; ++i)
    ASSERT_TRUE(CreateDirectoryW((top + L"\\plain\\sub" + std::to_wstring(1000 + i)).c_str(), nullptr));

  TreeHost host;
  host.explorer->Populate();
  const HTREEITEM root = host.Next(nullptr, TVGN_ROOT);
  ASSERT_NE(nullptr, root);
  EXPECT_FALSE(host.Text(root).empty());
  EXPECT_FALSE(host.Children(root).empty()) << "the desktop is expanded at once";

  // Selecting a folder never expanded expands each folder on the way.
  host.explorer->SelectPath(top.c_str());
  const HTREEITEM topItem = host.Selected();
  ASSERT_NE(nullptr, topItem);
  EXPECT_EQ(L"top", host.Text(topItem));
  EXPECT_TRUE(SamePath(top, host.SelectedPath())) << host.SelectedPath();
  EXPECT_EQ(host.tree, GetFocus());

  // The shell's own icons, normal and open.
  TVITEMW look = {};
  look.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  look.hItem = topItem;
  ASSERT_TRUE(SendMessageW(host.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&look)));
  SHFILEINFOW shell = {};
  SHGetFileInfoW(top.c_str(), 0, &shell, sizeof(shell), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  EXPECT_EQ(shell.iIcon, look.iImage);
  SHGetFileInfoW(top.c_str(), 0, &shell, sizeof(shell), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
  EXPECT_EQ(shell.iIcon, look.iSelectedImage);

  host.Expand(topItem);
  EXPECT_EQ(std::vector<std::wstring>({L"alpha", L"gone", L"plain", unicode}), host.Children(topItem))
      << "folders only, in the shell's order";
  const HTREEITEM plain = host.Child(topItem, L"plain");
  host.Expand(plain);
  EXPECT_EQ(1000u, host.Children(plain).size());
  EXPECT_EQ(L"sub1000", host.Children(plain).front());

  // A second expansion does not look again; a refresh does.
  ASSERT_TRUE(CreateDirectoryW((top + L"\\plain\\sub0999").c_str(), nullptr));
  host.Expand(plain, TVE_COLLAPSE);
  host.Expand(plain);
  EXPECT_EQ(1000u, host.Children(plain).size());
  host.explorer->Refresh();
  EXPECT_EQ(1001u, host.Children(plain).size());

  // Folders that vanish while expanded.
  const HTREEITEM gone = host.Child(topItem, L"gone");
  host.Expand(gone);
  ASSERT_EQ(std::vector<std::wstring>({L"inner"}), host.Children(gone));
  ASSERT_TRUE(RemoveDirectoryW((top + L"\\gone\\inner").c_str()));
  host.explorer->Refresh();
  EXPECT_TRUE(host.Children(gone).empty());
  EXPECT_FALSE(host.HasButton(gone)) << "its last subfolder went: no expand button";
  ASSERT_TRUE(RemoveDirectoryW((top + L"\\gone").c_str()));
  host.explorer->Refresh();
  EXPECT_EQ(nullptr, host.Child(topItem, L"gone"));
  EXPECT_EQ(4u, host.Children(topItem).size() + 1) << "the others stay";

  // The selection follows the tree; an item without a file-system path has no path.
  const HTREEITEM unicodeItem = host.Child(topItem, unicode);
  SendMessageW(host.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(unicodeItem));
  EXPECT_TRUE(SamePath(top + L"\\" + unicode, host.SelectedPath()));
  HTREEITEM pathless = nullptr;
  for (HTREEITEM child = host.Next(root, TVGN_CHILD); child && !pathless; child = host.Next(child, TVGN_NEXT)) {
    SendMessageW(host.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
    wchar_t path[MAX_PATH] = L"x";
    if (!host.explorer->GetSelectedPath(path, MAX_PATH)) {
      pathless = child;
      EXPECT_STREQ(L"", path);
    }
  }
  EXPECT_NE(nullptr, pathless) << "the desktop shows a folder without a path (the computer)";

  // A path that is no folder selects nothing.
  SendMessageW(host.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(topItem));
  host.explorer->SelectPath((top + L"\\missing").c_str());
  EXPECT_EQ(topItem, host.Selected());

  // Right clicks: beside an item only selects it; on the root it selects without a menu; on a folder the shell's
  // menu opens (closed again here) and the folder is selected.
  ShowWindow(host.owner, SW_SHOW);
  const HTREEITEM alpha = host.Child(topItem, L"alpha");
  RightClick(host, alpha, false);
  EXPECT_EQ(alpha, host.Selected());
  RightClick(host, root, true);
  EXPECT_EQ(root, host.Selected());
  SetTimer(nullptr, 0, 300, CloseMenu);
  RightClick(host, topItem, true);
  EXPECT_EQ(topItem, host.Selected());
  EXPECT_TRUE(SamePath(top, host.SelectedPath()));

  // To look at the tree under a real display: TAVREL_SHOW_WINDOWS=1 keeps it on screen for a while.
  if (GetEnvironmentVariableW(L"TAVREL_SHOW_WINDOWS", nullptr, 0) > 0) {
    SendMessageW(host.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(topItem));
    ShowWindow(host.owner, SW_SHOW);
    for (ULONGLONG end = GetTickCount64() + 8000; GetTickCount64() < end;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(20);
    }
  }
}

TEST(ExplorerTree, SlowAndRefusingFoldersDoNotHoldUpTheWindow) {
  TempFolder folder;
  const std::wstring top = folder / L"top";
  for (const std::wstring& name : {top, top + L"\\slow", top + L"\\slow\\one", top + L"\\slow\\two",
                                   top + L"\\refused", top + L"\\refused\\inside", top + L"\\fast",
                                   top + L"\\fast\\quick"})
    ASSERT_TRUE(CreateDirectoryW(name.c_str(), nullptr)) << name.c_str();
  GatedFolders gated;
  gated.state.slow = top + L"\\slow";
  gated.state.refused = top + L"\\refused";

  TreeHost host;
  host.explorer->Populate();
  host.explorer->SelectPath(top.c_str());
  const HTREEITEM topItem = host.Selected();
  ASSERT_NE(nullptr, topItem);
  host.Expand(topItem);
  ASSERT_EQ(std::vector<std::wstring>({L"fast", L"refused", L"slow"}), host.Children(topItem));

  // The slow folder's expansion returns while its listing still waits, showing that it is being read; the
  // window goes on working meanwhile, and a path below the slow folder is selected once its listing arrives.
  const HTREEITEM slow = host.Child(topItem, L"slow");
  host.Expand(slow);
  ASSERT_EQ(1, gated.state.slowListings.load());
  EXPECT_EQ(0, gated.state.slowDone.load()) << "the window waited for the slow folder";
  EXPECT_EQ(std::vector<std::wstring>({L"Reading\u2026"}), host.Children(slow));
  host.explorer->SelectPath((top + L"\\slow\\two").c_str());
  const HTREEITEM fast = host.Child(topItem, L"fast");
  host.Expand(fast);
  EXPECT_EQ(std::vector<std::wstring>({L"quick"}), host.Children(fast));
  EXPECT_EQ(topItem, host.Selected()) << "the selection waits for the folder being read";

  SetEvent(gated.state.open);
  ASSERT_TRUE(PumpUntil([&] { return host.Children(slow).size() == 2; }));
  EXPECT_EQ(std::vector<std::wstring>({L"one", L"two"}), host.Children(slow)) << "sorted, the placeholder gone";
  EXPECT_EQ(L"two", host.Text(host.Selected()));
  EXPECT_TRUE(SamePath(top + L"\\slow\\two", host.SelectedPath()));
  EXPECT_EQ(1, gated.state.slowListings.load()) << "an expanded folder is not listed again";

  // A folder the user may not read shows no children and leaves the rest of the tree working.
  const HTREEITEM refused = host.Child(topItem, L"refused");
  host.Expand(refused);
  EXPECT_TRUE(host.Children(refused).empty());
  host.explorer->Refresh();
  EXPECT_EQ(std::vector<std::wstring>({L"fast", L"refused", L"slow"}), host.Children(topItem));
  EXPECT_EQ(std::vector<std::wstring>({L"one", L"two"}), host.Children(slow));
}

TEST(ExplorerTree, FolderGoneOrTreeClosedWhileBeingRead) {
  TempFolder folder;
  const std::wstring top = folder / L"top";
  for (const std::wstring& name : {top, top + L"\\slow", top + L"\\slow\\inner", top + L"\\stays"})
    ASSERT_TRUE(CreateDirectoryW(name.c_str(), nullptr));
  GatedFolders gated;
  gated.state.slow = top + L"\\slow";
  {
    TreeHost host;
    const HTREEITEM topItem = host.OpenSlowFolder(top);
    ASSERT_EQ(1, gated.state.slowListings.load());

    // The folder goes while it is read: the refresh removes its item, and its late listing is dropped.
    ASSERT_TRUE(RemoveDirectoryW((top + L"\\slow\\inner").c_str()));
    ASSERT_TRUE(RemoveDirectoryW((top + L"\\slow").c_str()));
    host.explorer->Refresh();
    EXPECT_EQ(std::vector<std::wstring>({L"stays"}), host.Children(topItem));
    SetEvent(gated.state.open);
    ASSERT_TRUE(PumpUntil([&] { return gated.state.slowDone == 1; }));
    PumpFor(300);
    EXPECT_EQ(std::vector<std::wstring>({L"stays"}), host.Children(topItem));
  }

  // The tree is closed while a folder is read: the listing finishes into nothing.
  ResetEvent(gated.state.open);
  ASSERT_TRUE(CreateDirectoryW((top + L"\\slow").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((top + L"\\slow\\inner").c_str(), nullptr));
  {
    TreeHost host;
    host.OpenSlowFolder(top);
    ASSERT_EQ(2, gated.state.slowListings.load());
  }
  SetEvent(gated.state.open);
  ASSERT_TRUE(PumpUntil([&] { return gated.state.slowDone == 2; }));
  PumpFor(300);
}
