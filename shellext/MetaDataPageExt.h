// The "ID3v2" page of the file manager's Properties dialog: the engine's metadata list view over every selected
// file that can carry tags; Apply saves the edited tags.
#pragma once

#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "tavcore.h"

class CMetaDataPageExt final : public IShellExtInit, public IShellPropSheetExt {
 public:
  static HRESULT Create(REFIID iid, void** out);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY classKey) override;

  HRESULT STDMETHODCALLTYPE AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM parameter) override;
  HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS page, LPFNSVADDPROPSHEETPAGE replaceWith, LPARAM parameter) override;

 private:
  CMetaDataPageExt();
  ~CMetaDataPageExt();

  static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  static UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);
  void OnInitDialog(HWND page);
  // The answer to a notification, or -1 when the page does not handle it.
  LRESULT OnNotify(NMHDR* notification);

  LONG references = 1;
  std::vector<std::wstring> selection;
  HWND window = nullptr;
  IMetadataLV* view = nullptr;
};
