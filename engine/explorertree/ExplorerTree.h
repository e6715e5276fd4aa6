// A tree-view control of the host's turned into a browser of the shell's folders, rooted at the desktop:
// folders only, filled as they are expanded, with the shell's icons and context menu.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FolderListing.h"
#include "tavcore.h"

class CExplorerTree : public IExplorerTree {
 public:
  CExplorerTree(HWND owner, HWND tree);

  LRESULT STDMETHODCALLTYPE OnNotify(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL STDMETHODCALLTYPE GetSelectedPath(wchar_t* buffer, int size) override;
  void STDMETHODCALLTYPE SelectPath(const wchar_t* path) override;
  void STDMETHODCALLTYPE HandleMenuMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void STDMETHODCALLTYPE Populate() override;
  void STDMETHODCALLTYPE Refresh() override;
  void STDMETHODCALLTYPE Destroy() override;
  ~CExplorerTree() override;

 private:
  // One per tree item, its parameter.
  struct Item {
    IShellFolder* parent;  // one reference; null for the root
    PIDLIST_RELATIVE relative;
    PIDLIST_ABSOLUTE absolute;
  };

  Item* NewItem(IShellFolder* parent, PCUIDLIST_RELATIVE relative, PCIDLIST_ABSOLUTE parentAbsolute);
  void FreeItem(Item* item);
  Item* ItemOf(HTREEITEM handle) const;
  void SetItemLook(TVITEMW& tvItem, IShellFolder* folder, PCUIDLIST_RELATIVE relative, PCIDLIST_ABSOLUTE absolute,
                   wchar_t* text);
  IShellFolder* BindFolder(const Item* item);
  void FillChildren(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute, HTREEITEM parent);
  void ApplyListing(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute, HTREEITEM parent,
                    const std::vector<FolderListing::Entry>& folders);
  void Listed(WPARAM cookie);
  bool IsPending(HTREEITEM handle) const;
  static LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void SortChildren(HTREEITEM parent);
  void Expanding(const NMTREEVIEWW& info);
  void ShowContextMenu(HTREEITEM handle);
  static int CALLBACK Compare(LPARAM first, LPARAM second, LPARAM);

  HWND tree;
  HWND owner;
  HIMAGELIST images = nullptr;
  bool closing = false;
  IContextMenu2* openMenu = nullptr;
  IMalloc* allocator = nullptr;
  IShellFolder* desktop = nullptr;
  wchar_t selectedPath[MAX_PATH] = {};
  bool comStarted = false;

  // Folders whose listing took longer than a moment: filled when their worker reports, by cookie.
  struct Pending {
    HTREEITEM handle;
    std::shared_ptr<FolderListing> listing;
  };
  HWND notifyWindow = nullptr;
  std::map<WPARAM, Pending> pending;
  WPARAM nextCookie = 0;
  // A SelectPath that reached a folder still being listed goes on from there when the listing arrives.
  std::wstring awaitedPath;
  HTREEITEM awaitedItem = nullptr;
};
