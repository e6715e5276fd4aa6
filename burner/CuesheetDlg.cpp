// The "CD Images" dialog.
#include "CuesheetDlg.h"

#include "BurnCDDlg.h"
#include "CdImageFile.h"
#include "CdforgeResource.h"

void ShowCdforgeHelp(HWND owner, UINT context);

INT_PTR CCuesheetDlg::DoModal(HWND parent) {
  return RunModal(GetModuleHandleW(nullptr), IDD_CDIMAGES, parent);
}

INT_PTR CCuesheetDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    FillNames();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_IMG_SAVE:
      if (Save(TypedName())) FillNames();
      return TRUE;
    case IDC_IMG_LOAD:
      if (Load(TypedName())) EndDialog(window, IDOK);
      return TRUE;
    case IDC_IMG_DELETE:
      if (Delete(TypedName())) {
        FillNames();
        SetDlgItemTextW(window, IDC_IMG_NAME, L"");
      }
      return TRUE;
    case IDC_IMG_HELP:
      ShowCdforgeHelp(window, IDH_CDFORGE_IMAGES);
      return TRUE;
    case IDCANCEL:
      EndDialog(window, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

void CCuesheetDlg::FillNames() {
  wchar_t typed[MAX_PATH] = {};
  GetDlgItemTextW(window, IDC_IMG_NAME, typed, MAX_PATH);
  SendDlgItemMessageW(window, IDC_IMG_NAME, CB_RESETCONTENT, 0, 0);
  WIN32_FIND_DATAW data;
  const std::wstring pattern = CBurnCDDlg::ImagesFolder() + L"\\*" + CCdImageFile::kExtension;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::wstring name = data.cFileName;
      const size_t dot = name.rfind(L'.');
      if (dot == std::wstring::npos || _wcsicmp(name.c_str() + dot, CCdImageFile::kExtension) != 0) continue;
      name.resize(dot);
      SendDlgItemMessageW(window, IDC_IMG_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetDlgItemTextW(window, IDC_IMG_NAME, typed);
}

std::wstring CCuesheetDlg::TypedName() const {
  wchar_t name[MAX_PATH] = {};
  GetDlgItemTextW(window, IDC_IMG_NAME, name, MAX_PATH);
  std::wstring text = name;
  // Blanks around a typed name are never meant as the file name.
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

int CCuesheetDlg::Ask(const wchar_t* text, UINT flags) const {
  return cdforgeMessageBox(window, text, CBurnCDDlg::kProductName, flags);
}

bool CCuesheetDlg::Save(const std::wstring& name) {
  if (name.empty()) {
    Ask(CCdImageFile::kMsgEnterSaveName, MB_OK | MB_ICONWARNING);
    return false;
  }
  const std::wstring path = CCdImageFile::PathForName(CBurnCDDlg::ImagesFolder(), name);
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      Ask(CCdImageFile::kMsgOverwrite, MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  CCdImageFile file;
  if (!file.Save(path, burner.CurrentImage())) {
    Ask(CCdImageFile::kMsgCannotSave, MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}

bool CCuesheetDlg::Load(const std::wstring& name) {
  if (name.empty()) {
    Ask(CCdImageFile::kMsgEnterLoadName, MB_OK | MB_ICONWARNING);
    return false;
  }
  const std::wstring path = CCdImageFile::PathForName(CBurnCDDlg::ImagesFolder(), name);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Ask(CCdImageFile::kMsgNotExist, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (burner.RowCount() > 0 && Ask(CCdImageFile::kMsgLoseCurrent, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  CCdImageFile file;
  CdImage image;
  if (!file.Load(path, image)) {
    Ask(CCdImageFile::kMsgCannotLoad, MB_OK | MB_ICONERROR);
    return false;
  }
  burner.ApplyImage(image);
  return true;
}

bool CCuesheetDlg::Delete(const std::wstring& name) {
  if (name.empty()) {
    Ask(CCdImageFile::kMsgEnterDeleteName, MB_OK | MB_ICONWARNING);
    return false;
  }
  const std::wstring path = CCdImageFile::PathForName(CBurnCDDlg::ImagesFolder(), name);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Ask(CCdImageFile::kMsgNotExist, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (Ask(CCdImageFile::kMsgConfirmDelete, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
  if (!DeleteFileW(path.c_str())) {
    Ask(L"The CD image file cannot be deleted.", MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}
