// Folders are filled the first time they are expanded; Refresh walks the expanded ones again and keeps the
// items that are still there, so the user's place in the tree survives a refresh.
#include "ExplorerTree.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <string>

#include "AbiGuard.h"
#include "core/EngineResources.h"
#include "resource.h"

namespace {

constexpr int kNameLength = 260;
// How long the window waits for a folder's listing before it shows the folder as being read and goes on.
constexpr DWORD kListingMoment = 250;
constexpr UINT kListedMessage = WM_APP + 1;
constexpr wchar_t kNotifyClass[] = L"TavrelExplorerTreeListing";

bool SameIdList(PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) {
  const UINT size = ILGetSize(a);
  return size == ILGetSize(b) && std::memcmp(a, b, size) == 0;
}

// The first item of a list against one level of another list: equal byte count and bytes.
bool StartsWithItem(PCUIDLIST_RELATIVE list, PCUIDLIST_RELATIVE level) {
  return list->mkid.cb == level->mkid.cb && std::memcmp(list, level, level->mkid.cb) == 0;
}

// Two identifiers name the same folder: the same bytes, or the parent folder says they are equal. Identifiers
// carry times and attributes, so a folder whose content changed, or one parsed from a path, has other bytes.
bool SameItem(IShellFolder* parent, PCUIDLIST_RELATIVE relative, PCUIDLIST_RELATIVE level) {
  if (StartsWithItem(relative, level)) return true;
  if (!parent) return false;
  PIDLIST_RELATIVE first = reinterpret_cast<PIDLIST_RELATIVE>(ILCloneFirst(level));
  const bool same = first && parent->CompareIDs(0, relative, first) == 0;
  ILFree(reinterpret_cast<PIDLIST_ABSOLUTE>(first));
  return same;
}

// The name that tells a folder from its siblings: its parsing name within its parent.
std::wstring ParsingName(IShellFolder* folder, PCUIDLIST_RELATIVE relative) {
  STRRET name = {};
  wchar_t text[MAX_PATH] = {};
  if (SUCCEEDED(folder->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(relative), SHGDN_INFOLDER | SHGDN_FORPARSING,
                                         &name)))
    StrRetToBufW(&name, reinterpret_cast<PCUITEMID_CHILD>(relative), text, MAX_PATH);
  return text;
}

class WaitCursor {
 public:
  explicit WaitCursor(HWND owner) {
    SetCapture(owner);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  }
  ~WaitCursor() {
    ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  }
};

}  // namespace

CExplorerTree::CExplorerTree(HWND owner, HWND tree) : tree(tree), owner(owner) {
  SHFILEINFOW info = {};
  images = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      L"*.*", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info), SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON | SHGFI_SYSICONINDEX));
  comStarted = SUCCEEDED(OleInitialize(nullptr));
  if (FAILED(SHGetMalloc(&allocator))) allocator = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop))) desktop = nullptr;
  SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &CExplorerTree::NotifyProc;
  windowClass.hInstance = EngineModule();
  windowClass.lpszClassName = kNotifyClass;
  RegisterClassW(&windowClass);  // fails harmlessly once the class exists
  notifyWindow = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, EngineModule(), nullptr);
  if (notifyWindow) SetWindowLongPtrW(notifyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CExplorerTree::~CExplorerTree() {
  // Listings still running finish on their own; what they post then goes nowhere.
  if (notifyWindow) DestroyWindow(notifyWindow);
  if (desktop) desktop->Release();
  if (allocator) allocator->Release();
  if (comStarted) OleUninitialize();
}

void CExplorerTree::Destroy() {
  closing = true;
  SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  delete this;
}

CExplorerTree::Item* CExplorerTree::NewItem(IShellFolder* parent, PCUIDLIST_RELATIVE relative,
                                            PCIDLIST_ABSOLUTE parentAbsolute) {
  void* memory = allocator->Alloc(sizeof(Item));
  if (!memory) return nullptr;
  Item* item = new (memory) Item{parent, ILCloneFirst(relative),
                                 parentAbsolute ? ILCombine(parentAbsolute, relative) : ILCloneFull(
                                     reinterpret_cast<PCIDLIST_ABSOLUTE>(relative))};
  if (!item->relative || !item->absolute) {
    item->parent = nullptr;
    FreeItem(item);
    return nullptr;
  }
  if (parent) parent->AddRef();
  return item;
}

void CExplorerTree::FreeItem(Item* item) {
  if (!item) return;
  if (item->parent) item->parent->Release();
  if (item->relative) ILFree(item->relative);
  if (item->absolute) ILFree(item->absolute);
  allocator->Free(item);
}

CExplorerTree::Item* CExplorerTree::ItemOf(HTREEITEM handle) const {
  TVITEMW tvItem = {};
  tvItem.mask = TVIF_PARAM;
  tvItem.hItem = handle;
  if (!handle || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem))) return nullptr;
  return reinterpret_cast<Item*>(tvItem.lParam);
}

void CExplorerTree::SetItemLook(TVITEMW& tvItem, IShellFolder* folder, PCUIDLIST_RELATIVE relative,
                                PCIDLIST_ABSOLUTE absolute, wchar_t* text) {
  STRRET name = {};
  text[0] = 0;
  if (SUCCEEDED(folder->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(relative), SHGDN_NORMAL, &name)))
    StrRetToBufW(&name, reinterpret_cast<PCUITEMID_CHILD>(relative), text, kNameLength);
  // The icons are asked for when the control first shows the item: a folder of a thousand folders costs
  // the shell's icon lookups only for the few that are seen.
  (void)absolute;
  tvItem.iImage = I_IMAGECALLBACK;
  tvItem.iSelectedImage = I_IMAGECALLBACK;
  tvItem.pszText = text;
  tvItem.mask |= TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
}

void CExplorerTree::Populate() {
  if (!allocator || !desktop) return;
  SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  PIDLIST_ABSOLUTE root = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &root)) || !root) return;
  STRRET name = {};
  wchar_t text[kNameLength] = {};
  if (FAILED(desktop->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(root), SHGDN_NORMAL, &name)) ||
      FAILED(StrRetToBufW(&name, reinterpret_cast<PCUITEMID_CHILD>(root), text, kNameLength))) {
    ILFree(root);
    return;
  }
  Item* item = NewItem(nullptr, root, nullptr);
  if (item) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    wchar_t name2[kNameLength];
    wcscpy(name2, text);
    SetItemLook(insert.item, desktop, root, root, text);
    if (!text[0]) wcscpy(text, name2);
    insert.item.mask |= TVIF_PARAM | TVIF_CHILDREN;
    insert.item.lParam = reinterpret_cast<LPARAM>(item);
    insert.item.cChildren = 1;
    auto handle = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!handle) {
      FreeItem(item);
    } else {
      SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle));
      auto first = reinterpret_cast<HTREEITEM>(
          SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(handle)));
      if (first) SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(first));
    }
  }
  ILFree(root);
}

bool CExplorerTree::IsPending(HTREEITEM handle) const {
  for (const auto& entry : pending)
    if (entry.second.handle == handle) return true;
  return false;
}

void CExplorerTree::FillChildren(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute, HTREEITEM parent) {
  if (IsPending(parent)) return;  // its listing is on the way and fills it then
  WaitCursor wait(owner);
  const WPARAM cookie = ++nextCookie;
  std::shared_ptr<FolderListing> listing = FolderListing::Start(absolute, owner, notifyWindow, kListedMessage, cookie);
  if (!listing) return;
  if (listing->Wait(kListingMoment)) {
    ApplyListing(folder, absolute, parent, listing->Folders());
    return;
  }
  pending[cookie] = {parent, listing};
  // A folder expanded for the first time shows that it is being read; a refreshed one keeps its children.
  if (!SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent))) {
    std::wstring text = LoadEngineString(IDS_FOLDER_READING);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = text.data();
    insert.item.lParam = 0;
    insert.item.cChildren = 0;
    SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
  }
}

void CExplorerTree::Listed(WPARAM cookie) {
  const auto at = pending.find(cookie);
  if (at == pending.end()) return;  // filled while the window waited, or its item is gone
  const Pending done = at->second;
  pending.erase(at);
  const Item* item = ItemOf(done.handle);
  if (!item) return;
  IShellFolder* folder = BindFolder(item);
  ApplyListing(folder, item->absolute, done.handle,
               folder ? done.listing->Folders() : std::vector<FolderListing::Entry>());
  if (folder) folder->Release();
  SortChildren(done.handle);
  if (done.handle == awaitedItem) {
    const std::wstring path = awaitedPath;
    awaitedPath.clear();
    awaitedItem = nullptr;
    SelectPath(path.c_str());
  }
}

LRESULT CALLBACK CExplorerTree::NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kListedMessage) {
    auto* self = reinterpret_cast<CExplorerTree*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) self->Listed(wParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void CExplorerTree::ApplyListing(IShellFolder* folder, PCIDLIST_ABSOLUTE absolute, HTREEITEM parent,
                                 const std::vector<FolderListing::Entry>& folders) {
  struct Known {
    Item* item;
    HTREEITEM handle;
    bool found;
    bool expandedOnce;
  };
  std::vector<Known> known;
  for (auto child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
       child; child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    TVITEMW tvItem = {};
    tvItem.mask = TVIF_PARAM | TVIF_STATE;
    tvItem.stateMask = TVIS_EXPANDEDONCE;
    tvItem.hItem = child;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem))) {
      known.clear();
      break;
    }
    known.push_back({reinterpret_cast<Item*>(tvItem.lParam), child, false, (tvItem.state & TVIS_EXPANDEDONCE) != 0});
  }
  const bool hadSnapshot = !known.empty();
  // Found again by name, then confirmed by the folder: a thousand children must not cost a million comparisons.
  std::multimap<std::wstring, size_t> byName;
  for (size_t i = 0; i < known.size(); ++i)
    if (known[i].item && folder) byName.emplace(ParsingName(folder, known[i].item->relative), i);

  for (const FolderListing::Entry& entry : folders) {
    PCUITEMID_CHILD id = entry.id;
    const SFGAOF attributes = entry.attributes;
    Known* match = nullptr;
    const auto candidates = byName.equal_range(ParsingName(folder, id));
    for (auto at = candidates.first; at != candidates.second && !match; ++at) {
      Known& k = known[at->second];
      if (!k.found && SameItem(folder, k.item->relative, id)) match = &k;
    }
    Item* item = NewItem(folder, id, absolute);
    wchar_t text[kNameLength];
    if (item && !match) {
      TVINSERTSTRUCTW insert = {};
      insert.hParent = parent;
      insert.hInsertAfter = TVI_LAST;
      SetItemLook(insert.item, folder, id, item->absolute, text);
      insert.item.mask |= TVIF_PARAM | TVIF_CHILDREN;
      insert.item.lParam = reinterpret_cast<LPARAM>(item);
      insert.item.cChildren = (attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
      if (!SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))) FreeItem(item);
    } else if (item && match) {
      match->found = true;
      if (match->expandedOnce) {
        IShellFolder* sub = nullptr;
        if (SUCCEEDED(folder->BindToObject(id, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&sub))) && sub) {
          FillChildren(sub, item->absolute, match->handle);
          sub->Release();
        }
        SortChildren(match->handle);
        FreeItem(item);  // the item keeps its record
      } else if (SameIdList(match->item->relative, id)) {
        FreeItem(item);  // the same bytes: nothing about the folder changed
      } else {
        // The item takes the new record; its old one is freed here, since no item holds it any more.
        TVITEMW update = {};
        update.hItem = match->handle;
        update.mask = TVIF_PARAM | TVIF_CHILDREN;
        update.lParam = reinterpret_cast<LPARAM>(item);
        update.cChildren = (attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
        SetItemLook(update, folder, id, item->absolute, text);
        Item* old = match->item;
        if (SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&update))) {
          FreeItem(old);
          match->item = item;
        } else {
          FreeItem(item);
        }
      }
    } else if (match) {
      match->found = true;  // no memory for a new record: the item stays as it was
    }
  }
  if (hadSnapshot) {
    for (const Known& k : known)
      if (!k.found) SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(k.handle));
    if (!SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent))) {
      TVITEMW none = {};
      none.hItem = parent;
      none.mask = TVIF_CHILDREN | TVIF_STATE;
      none.cChildren = 0;
      none.stateMask = TVIS_EXPANDED | TVIS_EXPANDEDONCE;
      none.state = 0;
      SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&none));
    }
  }
}

int CALLBACK CExplorerTree::Compare(LPARAM first, LPARAM second, LPARAM) {
  auto* a = reinterpret_cast<Item*>(first);
  auto* b = reinterpret_cast<Item*>(second);
  if (!a || !b || !a->parent) return 0;
  const HRESULT result = a->parent->CompareIDs(0, a->relative, b->relative);
  return FAILED(result) ? 0 : static_cast<short>(HRESULT_CODE(result));
}

void CExplorerTree::SortChildren(HTREEITEM parent) {
  TVSORTCB sort = {parent, &CExplorerTree::Compare, 0};
  SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

// The folder an item shows, with a reference for the caller; null when it cannot be bound.
IShellFolder* CExplorerTree::BindFolder(const Item* item) {
  IShellFolder* folder = nullptr;
  if (!item->parent) {
    folder = desktop;
    if (folder) folder->AddRef();
  } else if (FAILED(item->parent->BindToObject(item->relative, nullptr, IID_IShellFolder,
                                               reinterpret_cast<void**>(&folder)))) {
    folder = nullptr;
  }
  return folder;
}

void CExplorerTree::Expanding(const NMTREEVIEWW& info) {
  // The item's own state and record, not what the notification carries: not every control fills them.
  TVITEMW tvItem = {};
  tvItem.mask = TVIF_PARAM | TVIF_STATE;
  tvItem.stateMask = TVIS_EXPANDEDONCE;
  tvItem.hItem = info.itemNew.hItem;
  if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem)) || (tvItem.state & TVIS_EXPANDEDONCE))
    return;
  Item* item = reinterpret_cast<Item*>(tvItem.lParam);
  if (!item) return;
  IShellFolder* folder = BindFolder(item);
  if (folder) {
    FillChildren(folder, item->absolute, info.itemNew.hItem);
    folder->Release();
  }
  SortChildren(info.itemNew.hItem);
}

LRESULT CExplorerTree::OnNotify(UINT, WPARAM, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header) return 0;
  switch (header->code) {
    case NM_RCLICK: {
      TVHITTESTINFO hit = {};
      GetCursorPos(&hit.pt);
      ScreenToClient(tree, &hit.pt);
      auto handle = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
      if (!handle) break;
      SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(handle));
      Item* item = ItemOf(handle);
      if ((hit.flags & TVHT_ONITEM) && item && item->parent) ShowContextMenu(handle);
      break;
    }
    case TVN_SELCHANGEDW: {
      if (closing) break;
      const auto& info = *reinterpret_cast<const NMTREEVIEWW*>(lParam);
      if (info.action == TVC_BYMOUSE || info.action == TVC_BYKEYBOARD) awaitedItem = nullptr;  // the user chose
      const Item* item = reinterpret_cast<const Item*>(info.itemNew.lParam);
      if (!item || !SHGetPathFromIDListW(item->absolute, selectedPath)) selectedPath[0] = 0;
      break;
    }
    case TVN_GETDISPINFOW: {
      auto& info = *reinterpret_cast<NMTVDISPINFOW*>(lParam);
      const Item* item = info.item.lParam ? reinterpret_cast<const Item*>(info.item.lParam) : ItemOf(info.item.hItem);
      if (!item || !(info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE))) break;
      SHFILEINFOW file = {};
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item->absolute), 0, &file, sizeof(file),
                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
      info.item.iImage = file.iIcon;
      SHGetFileInfoW(reinterpret_cast<LPCWSTR>(item->absolute), 0, &file, sizeof(file),
                     SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
      info.item.iSelectedImage = file.iIcon;
      info.item.mask |= TVIF_DI_SETITEM;  // kept by the control from now on
      break;
    }
    case TVN_DELETEITEMW: {
      const auto& info = *reinterpret_cast<const NMTREEVIEWW*>(lParam);
      for (auto at = pending.begin(); at != pending.end();)
        at = at->second.handle == info.itemOld.hItem ? pending.erase(at) : std::next(at);
      if (awaitedItem == info.itemOld.hItem) awaitedItem = nullptr;
      FreeItem(reinterpret_cast<Item*>(info.itemOld.lParam));
      break;
    }
    case TVN_ITEMEXPANDINGW:
      Expanding(*reinterpret_cast<const NMTREEVIEWW*>(lParam));
      break;
    default:
      break;
  }
  return 0;
}

BOOL CExplorerTree::GetSelectedPath(wchar_t* buffer, int size) {
  if (!buffer || size <= 0) return FALSE;
  lstrcpynW(buffer, selectedPath, size);
  return buffer[0] != 0;
}

void CExplorerTree::SelectPath(const wchar_t* path) {
  if (!desktop || !path) return;
  awaitedItem = nullptr;
  PIDLIST_RELATIVE parsed = nullptr;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(path), nullptr, &parsed, nullptr)) ||
      !parsed)
    return;
  auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM level = root ? reinterpret_cast<HTREEITEM>(
                               SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)))
                         : nullptr;
  HTREEITEM target = nullptr;
  for (PCUIDLIST_RELATIVE step = parsed; step && step->mkid.cb && level;) {
    HTREEITEM match = nullptr;
    for (HTREEITEM child = level; child && !match;
         child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
      const Item* item = ItemOf(child);
      if (item && SameItem(item->parent, item->relative, step)) match = child;
    }
    if (!match) break;
    step = ILNext(step);
    if (!step || !step->mkid.cb) {
      target = match;
      break;
    }
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(match));
    if (IsPending(match)) {  // a slow folder: the search goes on when its listing arrives
      awaitedPath = path;
      awaitedItem = match;
      break;
    }
    level = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(match)));
  }
  if (target) {
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(target));
    SetFocus(tree);
  }
  ILFree(reinterpret_cast<PIDLIST_ABSOLUTE>(parsed));
}

void CExplorerTree::HandleMenuMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (openMenu) openMenu->HandleMenuMsg(message, wParam, lParam);
}

void CExplorerTree::ShowContextMenu(HTREEITEM handle) {
  Item* item = ItemOf(handle);
  if (!item || !item->parent) return;
  IContextMenu* menu = nullptr;
  PCUITEMID_CHILD ids[] = {reinterpret_cast<PCUITEMID_CHILD>(item->relative)};
  if (FAILED(item->parent->GetUIObjectOf(owner, 1, ids, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu))) ||
      !menu)
    return;
  HMENU popup = CreatePopupMenu();
  if (!popup) {
    menu->Release();
    return;
  }
  if (FAILED(menu->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&openMenu)))) openMenu = nullptr;
  menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_EXPLORE);
  POINT at;
  GetCursorPos(&at);
  const int command = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
  if (command > 0) {
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.hwnd = owner;
    invoke.lpVerb = MAKEINTRESOURCEA(command - 1);
    invoke.nShow = SW_SHOWNORMAL;
    menu->InvokeCommand(&invoke);
  }
  if (openMenu) openMenu->Release();
  openMenu = nullptr;
  DestroyMenu(popup);
  menu->Release();
}

void CExplorerTree::Refresh() {
  if (!desktop) return;
  auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  Item* item = ItemOf(root);
  if (item) FillChildren(desktop, item->absolute, root);
}

TAVCORE_API HRESULT WINAPI CreateExplorerTree(IExplorerTree** out, HWND owner, HWND tree) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = new (std::nothrow) CExplorerTree(owner, tree);
    return *out ? S_OK : E_OUTOFMEMORY;
  });
}
