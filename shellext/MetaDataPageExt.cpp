// The page holds a reference on its object from AddPages until the sheet releases the page, so the object
// outlives every message the page gets.
#include "MetaDataPageExt.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <utility>

#include "ShellModule.h"
#include "resource.h"

namespace {

constexpr int kNameColumnWidth = 108;
constexpr int kContentColumnWidth = 150;

// The extension of a path, from the last dot of its file name (the dot included); empty when it has none.
const wchar_t* ExtensionOf(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* at = path; *at; ++at)
    if (*at == L'\\' || *at == L'/' || *at == L':') name = at + 1;
  const wchar_t* dot = std::wcsrchr(name, L'.');
  return dot ? dot : L"";
}

}  // namespace

HRESULT CMetaDataPageExt::Create(REFIID iid, void** out) {
  return ShellModule::HandOut(new (std::nothrow) CMetaDataPageExt, iid, out);
}

CMetaDataPageExt::CMetaDataPageExt() { ShellModule::ObjectCreated(); }

CMetaDataPageExt::~CMetaDataPageExt() {
  if (view) view->Release();
  ShellModule::ObjectDestroyed();
}

HRESULT CMetaDataPageExt::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellExtInit)) {
    *out = static_cast<IShellExtInit*>(this);
  } else if (IsEqualIID(iid, IID_IShellPropSheetExt)) {
    *out = static_cast<IShellPropSheetExt*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CMetaDataPageExt::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG CMetaDataPageExt::Release() {
  const LONG left = InterlockedDecrement(&references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CMetaDataPageExt::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  selection.clear();
  wchar_t extensions[260] = {};
  MetadataGetFormats(extensions);
  ShellModule::ForEachSelectedFile(data, [&](const wchar_t* path) {
    const wchar_t* extension = ExtensionOf(path);
    for (const wchar_t* listed = extensions; *listed; listed += std::wcslen(listed) + 1) {
      if (_wcsicmp(extension, listed) == 0) {
        selection.push_back(path);
        return;
      }
    }
  });
  return selection.empty() ? E_FAIL : S_OK;
}

HRESULT CMetaDataPageExt::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) {
  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_USECALLBACK;
  page.hInstance = ShellModule::ResourceModuleFor(MAKEINTRESOURCEW(IDD_METADATA_PAGE), RT_DIALOG);
  page.pszTemplate = MAKEINTRESOURCEW(IDD_METADATA_PAGE);
  page.pfnDlgProc = &PageProc;
  page.pfnCallback = &PageCallback;
  page.lParam = reinterpret_cast<LPARAM>(this);
  HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
  if (!handle) return S_OK;
  AddRef();  // dropped when the sheet releases the page
  if (!addPage || !addPage(handle, parameter)) DestroyPropertySheetPage(handle);  // the release drops it
  return S_OK;
}

HRESULT CMetaDataPageExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_NOTIMPL; }

UINT CALLBACK CMetaDataPageExt::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page) {
  if (message == PSPCB_RELEASE && page) reinterpret_cast<CMetaDataPageExt*>(page->lParam)->Release();
  return 1;  // PSPCB_CREATE: the page may be created
}

INT_PTR CALLBACK CMetaDataPageExt::PageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  auto* self = reinterpret_cast<CMetaDataPageExt*>(GetWindowLongPtrW(page, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      self = reinterpret_cast<CMetaDataPageExt*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
      SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      self->OnInitDialog(page);
      return FALSE;  // the sheet places the focus
    case WM_NOTIFY: {
      if (!self) return FALSE;
      const LRESULT answer = self->OnNotify(reinterpret_cast<NMHDR*>(lParam));
      if (answer == -1) return FALSE;
      SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
      return TRUE;
    }
    case WM_DESTROY:
      // The list's notifications while the view goes away are not forwarded to it.
      if (self && self->view) std::exchange(self->view, nullptr)->Release();
      return FALSE;
    default:
      return FALSE;
  }
}

void CMetaDataPageExt::OnInitDialog(HWND page) {
  window = page;
  if (FAILED(CreateMetaDataLV(&view)) || !view) {
    view = nullptr;
    return;
  }
  HWND list = GetDlgItem(page, IDC_METADATA_LIST);
  view->Attach(list);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, kNameColumnWidth);
  // The content takes what the other columns leave of the list, and never less than its own width.
  RECT client = {};
  GetClientRect(list, &client);
  const int rest = client.right - GetSystemMetrics(SM_CXVSCROLL) - kNameColumnWidth -
                   static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, std::max(kContentColumnWidth, rest));
  std::vector<IMetadata*> files;
  for (const std::wstring& path : selection) {
    // A file that cannot even be opened for reading (gone, locked) is left out rather than shown empty.
    HANDLE probe = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) continue;
    CloseHandle(probe);
    IMetadata* file = nullptr;
    if (SUCCEEDED(MetadataCreateFromFile(path.c_str(), &file)) && file) files.push_back(file);
  }
  if (!files.empty()) view->SetFiles(files.data(), static_cast<UINT32>(files.size()));
  for (IMetadata* file : files) file->Release();
}

LRESULT CMetaDataPageExt::OnNotify(NMHDR* notification) {
  if (!notification) return -1;
  if (notification->idFrom == IDC_METADATA_LIST && view) {
    const LRESULT answer = view->OnNotify(notification);
    if (view->IsModified()) SendMessageW(GetParent(window), PSM_CHANGED, reinterpret_cast<WPARAM>(window), 0);
    return answer;
  }
  if (notification->code == static_cast<UINT>(PSN_APPLY) && notification->hwndFrom == GetParent(window)) {
    const bool saved = !view || SUCCEEDED(view->Save());
    return saved ? PSNRET_NOERROR : PSNRET_INVALID;
  }
  return -1;
}
