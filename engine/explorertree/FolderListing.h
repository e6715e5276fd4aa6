// The folders inside one shell folder, listed on a worker thread of its own: a network folder that takes
// seconds to answer must not hold up the window that shows the tree.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <vector>

// How a folder's content is enumerated (the folder's EnumObjects). Tests put slow or refusing folders here.
using FolderEnumerator = HRESULT (*)(IShellFolder* folder, HWND owner, SHCONTF flags, IEnumIDList** out);
void SetFolderEnumerator(FolderEnumerator enumerator);  // null: the folder's own EnumObjects

class FolderListing {
 public:
  struct Entry {
    PITEMID_CHILD id;  // owned, freed with the listing
    SFGAOF attributes;
  };

  // Starts listing the folder of an absolute identifier (the desktop for an empty one). When the listing is done,
  // `message` with `cookie` as its wParam is posted to `notify`, if that is not null.
  static std::shared_ptr<FolderListing> Start(PCIDLIST_ABSOLUTE absolute, HWND owner, HWND notify, UINT message,
                                              WPARAM cookie);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // True once the listing is done, waiting at most `milliseconds` for it.
  bool Wait(DWORD milliseconds) const;
  // The folders found, in the folder's order; empty when the folder could not be bound or enumerated.
  // Only valid once Wait has returned true.
  const std::vector<Entry>& Folders() const { return folders; }

 private:
  FolderListing() = default;
  static DWORD WINAPI Run(void* parameter);
  void List();

  PIDLIST_ABSOLUTE absolute = nullptr;
  HWND owner = nullptr;
  HWND notify = nullptr;
  UINT message = 0;
  WPARAM cookie = 0;
  HANDLE done = nullptr;
  std::vector<Entry> folders;
};
