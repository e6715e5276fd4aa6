// The "ID3v2" page as the file manager shows it: the extension created through COM, handed the selection, asked
// for its page, and the page shown in a property sheet that the test's user works in: a double click on a row,
// the editor, Apply, OK.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "ShellTestParts.h"
#include "ModalDriver.h"
#include "TagText.h"
#include "TestSupport.h"
#include "UserScript.h"
#include "tavcore.h"

namespace {

const CLSID kMetaDataPageExt = {0x20540AEE, 0x518C, 0x4C30, {0x93, 0x5D, 0x3D, 0x5A, 0x74, 0xF3, 0x86, 0xA3}};
constexpr int kList = 7201;
constexpr int kTextEdit = 1500;     // the text editor's "Text:" box
constexpr int kApplyButton = 0x3021;  // the sheet's Apply

// Tagged MP3s made by Linux tools for the list view tests.
std::wstring Media(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TAVREL_LV_MEDIA", folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

// One property sheet request: the extension created and initialised; the pages it added.
struct PageRequest {
  IShellExtInit* init = nullptr;
  IShellPropSheetExt* sheet = nullptr;
  HRESULT initialized = E_FAIL;
  std::vector<HPROPSHEETPAGE> pages;

  explicit PageRequest(const std::vector<std::wstring>& paths) {
    EXPECT_EQ(S_OK, CoCreateInstance(kMetaDataPageExt, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                     reinterpret_cast<void**>(&init)));
    if (!init) return;
    DropData data(paths);
    initialized = init->Initialize(nullptr, &data, nullptr);
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheet));
  }
  ~PageRequest() {
    for (HPROPSHEETPAGE page : pages) DestroyPropertySheetPage(page);
    if (sheet) sheet->Release();
    if (init) init->Release();
  }
  void AddPages() {
    EXPECT_EQ(S_OK, sheet->AddPages(
                        [](HPROPSHEETPAGE page, LPARAM parameter) -> BOOL {
                          reinterpret_cast<PageRequest*>(parameter)->pages.push_back(page);
                          return TRUE;
                        },
                        reinterpret_cast<LPARAM>(this)));
  }
  // Shows the pages in a modal sheet titled "Tag test"; the sheet owns them from here.
  INT_PTR Show() {
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_NOCONTEXTHELP;
    header.pszCaption = L"Tag test";
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    const INT_PTR result = PropertySheetW(&header);
    pages.clear();
    return result;
  }
};

HWND ListOf(HWND sheet) {
  auto page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  return GetDlgItem(page, kList);
}

int FindRow(HWND list, const wchar_t* id) {
  for (int item = 0; item < ListView_GetItemCount(list); ++item) {
    wchar_t text[16] = {};
    ListView_GetItemText(list, item, 0, text, 16);
    if (std::wstring(text) == id) return item;
  }
  return -1;
}

bool Differs(HWND list, int item) { return (ListView_GetItemState(list, item, LVIS_STATEIMAGEMASK) >> 12) != 0; }

class MetadataPage : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"ShellExt", L"MetadataPage", nullptr);
    ASSERT_EQ(0u, Register());
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    for (const wchar_t* name : {L"one", L"two"}) {
      const std::wstring copy = folder / (std::wstring(name) + L".mp3");
      ASSERT_TRUE(CopyFileW(Media(std::wstring(name) + L".orig.mp3").c_str(), copy.c_str(), FALSE));
      files.push_back(copy);
    }
  }
  void TearDown() override {
    CoUninitialize();
    Unregister();
  }
  TempFolder folder;
  std::vector<std::wstring> files;
};

}  // namespace

TEST_F(MetadataPage, OnlySelectionsWithTaggableFilesGetThePage) {
  const std::wstring capitals = folder / L"LOUD.MP3";
  ASSERT_TRUE(CopyFileW(files[0].c_str(), capitals.c_str(), FALSE));
  PageRequest taggable({capitals});
  EXPECT_EQ(S_OK, taggable.initialized);
  taggable.AddPages();
  EXPECT_EQ(1u, taggable.pages.size());

  PageRequest untaggable({folder / L"a.ogg", folder / L"b.wav", folder / L"mp3", folder / L"x.mp3.txt"});
  EXPECT_EQ(E_FAIL, untaggable.initialized);
}

TEST_F(MetadataPage, AnEditEnablesApplyAndApplySavesEveryReadableFile) {
  // The third file is gone by the time the page opens: it is left out, not shown with an empty tag.
  const std::wstring gone = folder / L"gone.mp3";
  ASSERT_TRUE(CopyFileW(files[0].c_str(), gone.c_str(), FALSE));
  PageRequest request({files[0], gone, files[1]});
  ASSERT_EQ(S_OK, request.initialized);
  request.AddPages();
  ASSERT_EQ(1u, request.pages.size());
  DeleteFileW(gone.c_str());

  bool applyBefore = true, applyAfterEdit = false, titleShared = false, pageTitled = false;
  UserScript script;
  script.InDialog(L"Tag test", [&](HWND sheet) {
          HWND list = ListOf(sheet);
          wchar_t tab[32] = {};
          TCITEMW item = {};
          item.mask = TCIF_TEXT;
          item.pszText = tab;
          item.cchTextMax = 32;
          SendMessageW(PropSheet_GetTabControl(sheet), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
          pageTitled = std::wstring(tab) == L"ID3v2";
          // The two files share their title and differ in their artists.
          const int title = FindRow(list, L"TIT2");
          titleShared = title >= 0 && !Differs(list, title) && Differs(list, FindRow(list, L"TPE1"));
          applyBefore = IsWindowEnabled(GetDlgItem(sheet, kApplyButton));
          PauseForALook();
          DoubleClickListItem(list, title, LVIR_LABEL);
        })
      .InDialog(L"Edit Text", [](HWND editor) {
        PauseForALook();
        SetDlgItemTextW(editor, kTextEdit, L"Page Title");
        Click(editor, IDOK);
      })
      .InDialog(L"Tag test", [&](HWND sheet) {
        applyAfterEdit = IsWindowEnabled(GetDlgItem(sheet, kApplyButton));
        PauseForALook();
        Click(sheet, kApplyButton);
        Click(sheet, IDOK);
      });
  request.Show();
  EXPECT_TRUE(script.Done());
  EXPECT_TRUE(pageTitled);
  EXPECT_TRUE(titleShared);
  EXPECT_FALSE(applyBefore);
  EXPECT_TRUE(applyAfterEdit);
  EXPECT_TRUE(script.Messages().empty());
  EXPECT_EQ(L"Page Title", TitleOf(files[0]));
  EXPECT_EQ(L"Page Title", TitleOf(files[1]));
  EXPECT_FALSE(FileExists(gone));
}

TEST_F(MetadataPage, AFailedSaveKeepsTheSheetOpen) {
  PageRequest request({files[0], files[1]});
  ASSERT_EQ(S_OK, request.initialized);
  request.AddPages();
  HANDLE holder = INVALID_HANDLE_VALUE;
  bool openAfterApply = false;
  UserScript script;
  script.InDialog(L"Tag test", [&](HWND sheet) { DoubleClickListItem(ListOf(sheet), 0, LVIR_LABEL); })
      .InDialog(L"Edit Text", [](HWND editor) {
        SetDlgItemTextW(editor, kTextEdit, L"Not Saved");
        Click(editor, IDOK);
      })
      .InDialog(L"Tag test", [&](HWND sheet) {
        holder = CreateFileW(files[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        PostMessageW(sheet, WM_COMMAND, IDOK, 0);
      })
      .AcknowledgeMessage()
      .InDialog(L"Tag test", [&](HWND sheet) {
        openAfterApply = true;
        CloseHandle(holder);
        Click(sheet, IDCANCEL);
      });
  request.Show();
  EXPECT_TRUE(script.Done());
  ASSERT_EQ(1u, script.Messages().size());
  EXPECT_NE(std::wstring::npos, script.Messages()[0].find(files[1]));
  EXPECT_TRUE(openAfterApply);
  EXPECT_EQ(L"Not Saved", TitleOf(files[0]));
  EXPECT_EQ(L"Same Title", TitleOf(files[1]));
}
