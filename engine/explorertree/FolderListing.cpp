// The worker binds the folder again from the desktop in its own apartment: shell folder objects belong to the
// thread that made them, identifiers do not.
#include "FolderListing.h"

#include <atomic>

namespace {

HRESULT OwnEnumObjects(IShellFolder* folder, HWND owner, SHCONTF flags, IEnumIDList** out) {
  return folder->EnumObjects(owner, flags, out);
}

std::atomic<FolderEnumerator> enumerator{&OwnEnumObjects};

}  // namespace

void SetFolderEnumerator(FolderEnumerator replacement) { enumerator = replacement ? replacement : &OwnEnumObjects; }

std::shared_ptr<FolderListing> FolderListing::Start(PCIDLIST_ABSOLUTE absolute, HWND owner, HWND notify,
                                                    UINT message, WPARAM cookie) {
  std::shared_ptr<FolderListing> listing(new FolderListing);
  listing->absolute = ILCloneFull(absolute);
  listing->owner = owner;
  listing->notify = notify;
  listing->message = message;
  listing->cookie = cookie;
  listing->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!listing->absolute || !listing->done) return nullptr;
  // The thread holds the listing and the engine's module until it ends, so neither goes while it runs.
  auto* held = new std::shared_ptr<FolderListing>(listing);
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FolderListing::Run), &module);
  HANDLE thread = CreateThread(nullptr, 0, &FolderListing::Run, held, 0, nullptr);
  if (!thread) {
    delete held;
    if (module) FreeLibrary(module);
    return nullptr;
  }
  CloseHandle(thread);
  return listing;
}

FolderListing::~FolderListing() {
  for (const Entry& entry : folders) CoTaskMemFree(entry.id);
  if (absolute) ILFree(absolute);
  if (done) CloseHandle(done);
}

bool FolderListing::Wait(DWORD milliseconds) const { return WaitForSingleObject(done, milliseconds) == WAIT_OBJECT_0; }

DWORD WINAPI FolderListing::Run(void* parameter) {
  auto* held = static_cast<std::shared_ptr<FolderListing>*>(parameter);
  FolderListing& listing = **held;
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  listing.List();
  if (com) CoUninitialize();
  SetEvent(listing.done);
  if (listing.notify) PostMessageW(listing.notify, listing.message, listing.cookie, 0);
  delete held;
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&FolderListing::Run), &module))
    FreeLibraryAndExitThread(module, 0);
  return 0;
}

void FolderListing::List() {
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return;
  IShellFolder* folder = nullptr;
  if (ILIsEmpty(absolute)) {
    folder = desktop;
    folder->AddRef();
  } else if (FAILED(desktop->BindToObject(absolute, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
    folder = nullptr;
  }
  desktop->Release();
  if (!folder) return;
  IEnumIDList* items = nullptr;
  if (SUCCEEDED(enumerator.load()(folder, owner, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items)) && items) {
    PITEMID_CHILD id = nullptr;
    ULONG fetched = 0;
    while (items->Next(1, &id, &fetched) == S_OK && id) {
      SFGAOF attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
      PCUITEMID_CHILD ids[] = {id};
      if (SUCCEEDED(folder->GetAttributesOf(1, ids, &attributes)) && (attributes & SFGAO_FOLDER)) {
        folders.push_back({id, attributes});
      } else {
        CoTaskMemFree(id);
      }
      id = nullptr;
    }
    items->Release();
  }
  folder->Release();
}
