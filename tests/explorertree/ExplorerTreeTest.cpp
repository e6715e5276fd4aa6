// The folder tree on a tree-view control of a window of the test's own, driven as a host drives it (the owner
// forwards the tree's notifications; expanding and selecting go through the control): a folder structure made
// here with non-Latin names, a thousand subfolders and folders that vanish while expanded.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
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
