// The "CD Images" dialog: saves the burner's list as a named CD image, loads and deletes images.
#pragma once
#include <windows.h>

#include <string>

#include "Dialog.h"

class CBurnCDDlg;

class CCuesheetDlg : public CDialog {
 public:
  explicit CCuesheetDlg(CBurnCDDlg& burner) : burner(burner) {}
  INT_PTR DoModal(HWND parent);

  // The actions of the buttons on the name typed or picked; false when nothing was done.
  bool Save(const std::wstring& name);
  bool Load(const std::wstring& name);
  bool Delete(const std::wstring& name);

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FillNames();
  std::wstring TypedName() const;
  int Ask(const wchar_t* text, UINT flags) const;

  CBurnCDDlg& burner;
};
