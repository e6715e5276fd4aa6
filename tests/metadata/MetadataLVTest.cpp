// The metadata list view in a window of the test's own, driven as a user drives it: clicks and double clicks on
// its rows, its pop-up menus, the frame editors it opens and the message boxes it shows. The files are MP3s
// tagged by mutagen; a script checks the saved ones with mutagen afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "TagText.h"
#include "TestSupport.h"
#include "ModalDriver.h"
#include "UserScript.h"
#include "resource.h"
#include "tavcore.h"

namespace {

std::wstring Media(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TAVREL_LV_MEDIA", folder, MAX_PATH);
  return std::wstring(folder) + L"\\" + name;
}

// A window holding a report list, which hands the list's notifications to the view as a property page does.
class ListHost {
 public:
  ListHost() {
    WNDCLASSW type = {};
    type.lpfnWndProc = &Proc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"TavrelListHost";
    RegisterClassW(&type);
    window = CreateWindowExW(0, L"TavrelListHost", L"Tag host", WS_OVERLAPPEDWINDOW, 50, 50, 520, 420, nullptr,
                             nullptr, GetModuleHandleW(nullptr), this);
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                           5, 5, 500, 380, window, reinterpret_cast<HMENU>(7201), GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_EQ(S_OK, CreateMetaDataLV(&view));
    view->Attach(list);
  }
  ~ListHost() {
    // The list tells its parent about the items the view removes as it goes: nothing is forwarded any more.
    IMetadataLV* gone = view;
    view = nullptr;
    gone->Release();
    DestroyWindow(window);
  }
  void Show(const std::vector<std::wstring>& paths) {
    std::vector<IMetadata*> files;
    for (const std::wstring& path : paths) {
      IMetadata* file = nullptr;
      EXPECT_EQ(S_OK, MetadataCreateFromFile(path.c_str(), &file)) << path;
      if (file) files.push_back(file);
    }
    EXPECT_EQ(S_OK, view->SetFiles(files.data(), static_cast<UINT32>(files.size())));
    for (IMetadata* file : files) file->Release();
  }

  int Count() const { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring Cell(int item, int column) const {
    wchar_t text[512] = {};
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
    return text;
  }
  // The items as "ID|Name|Content", with "!" in front of rows marked as differing between the files.
  std::vector<std::wstring> Rows() const {
    std::vector<std::wstring> rows;
    for (int item = 0; item < Count(); ++item) {
      const bool differs =
          (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK) >> 12) != 0;
      rows.push_back((differs ? L"!" : L"") + Cell(item, 0) + L"|" + Cell(item, 1) + L"|" + Cell(item, 2));
    }
    return rows;
  }
  // The nth item whose first column is id.
  int Find(const std::wstring& id, int nth = 0) const {
    for (int item = 0; item < Count(); ++item)
      if (Cell(item, 0) == id && nth-- == 0) return item;
    return -1;
  }
  std::wstring InfoTip(int item) const {
    wchar_t text[512] = {};
    NMLVGETINFOTIPW tip = {};
    tip.hdr = {list, 7201, static_cast<UINT>(LVN_GETINFOTIPW)};
    tip.pszText = text;
    tip.cchTextMax = 512;
    tip.iItem = item;
    SendMessageW(window, WM_NOTIFY, 7201, reinterpret_cast<LPARAM>(&tip));
    return text;
  }

  HWND window = nullptr;
  HWND list = nullptr;
  IMetadataLV* view = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<ListHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NOTIFY && self && self->view) return self->view->OnNotify(reinterpret_cast<NMHDR*>(lParam));
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

// Lets the script's steps run until it is done (or a safety limit passes).
void RunScript(const UserScript& script) {
  for (int turn = 0; turn < 500 && !script.Done(); ++turn) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
  EXPECT_TRUE(script.Done()) << "a step's window never appeared";
}

void TypeInto(HWND dialog, int id, const std::wstring& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

// Double-clicks the row and types the text into its editor.
void EditText(const ListHost& host, const wchar_t* id, const std::wstring& text) {
  UserScript script;
  script.InDialog(L"Edit Text", [&](HWND dialog) {
    TypeInto(dialog, IDC_FRAME_TEXT, text);
    Click(dialog, IDOK);
  });
  DoubleClickListItem(host.list, host.Find(id), LVIR_LABEL);
  RunScript(script);
}

int MenuPosition(const std::vector<std::wstring>& items, const std::wstring& text) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) return static_cast<int>(i);
  return -1;
}

class MetadataLV : public testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"one", L"two", L"three"}) {
      const std::wstring copy = folder / (std::wstring(name) + L".mp3");
      ASSERT_TRUE(CopyFileW(Media(std::wstring(name) + L".orig.mp3").c_str(), copy.c_str(), FALSE));
      files.push_back(copy);
    }
  }
  TempFolder folder;
  std::vector<std::wstring> files;
};

}  // namespace

TEST_F(MetadataLV, RowsGroupTheFramesOfAllFilesAndMarkWhatDiffers) {
  ListHost host;
  host.Show(files);
  // One row per frame: a kind two files share is one row; a second comment in one file is a row of its own.
  EXPECT_EQ((std::vector<std::wstring>{L"TIT2|Title|Same Title", L"!TPE1|Lead Performer|Artist A",
                                       L"TYER|Year|1999", L"COMM|Comments|first note", L"!COMM|Comments|second note (second)",
                                       L"!TCOP|Copyright Message|Copyright (c) 2004 Someone"}),
            host.Rows());
  wchar_t header[32] = {};
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = header;
  column.cchTextMax = 32;
  const std::pair<const wchar_t*, int> columns[] = {{L"", 60}, {L"Name", 160}, {L"Content", 160}};
  for (int index = 0; index < 3; ++index) {
    SendMessageW(host.list, LVM_GETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(columns[index].first, std::wstring(header));
    if (index > 0) {
      EXPECT_EQ(columns[index].second, column.cx);
    }
  }
  // The identifier is not clipped beside the state mark and the icon.
  const int identifierWidth = ListView_GetColumnWidth(host.list, 0);
  EXPECT_GE(identifierWidth, 60);
  EXPECT_GE(identifierWidth, ListView_GetStringWidth(host.list, L"WXXX") + 2 * 16);
  EXPECT_EQ(L"Used for the main artist(s).", host.InfoTip(host.Find(L"TPE1")));
  EXPECT_EQ(L"", host.InfoTip(host.Find(L"TYER") + 100));
  EXPECT_FALSE(host.view->IsModified());

  // A click on a row's icon shows its fields below it, another click hides them.
  const int title = host.Find(L"TIT2");
  ClickListItem(host.list, title, LVIR_ICON);
  ASSERT_EQ(8, host.Count());
  EXPECT_EQ(L"00||00", host.Cell(title + 1, 0) + L"|" + host.Cell(title + 1, 1) + L"|" + host.Cell(title + 1, 2));
  EXPECT_EQ(L"01|ASCII|Same Title",
            host.Cell(title + 2, 0) + L"|" + host.Cell(title + 2, 1) + L"|" + host.Cell(title + 2, 2));
  EXPECT_EQ(L"TPE1", host.Cell(title + 3, 0));
  ClickListItem(host.list, title, LVIR_ICON);
  EXPECT_EQ(6, host.Count());

  // A view that shows other files forgets the rows of the first ones.
  host.Show({files[1]});
  EXPECT_EQ(5, host.Count());
}

TEST_F(MetadataLV, EditAddAndRemoveReachEveryFileWhenSaved) {
  // These files are read by mutagen afterwards.
  std::vector<std::wstring> saved;
  for (const wchar_t* name : {L"one.mp3", L"two.mp3", L"three.mp3"}) saved.push_back(Media(name));
  ListHost host;
  host.Show(saved);
  const std::wstring newTitle = L"Nouveau titre \x2713 \xD834\xDD1E";

  EditText(host, L"TIT2", newTitle);
  EXPECT_TRUE(host.view->IsModified());
  EXPECT_EQ(L"TIT2|Title|" + newTitle, host.Rows()[0]);

  // Adding from the list's menu: a second title is not offered, another comment is.
  std::vector<std::wstring> addable;
  UserScript script;
  script.InMenu([](HWND menu, const std::vector<std::wstring>& items) { ChooseMenuItem(menu, MenuPosition(items, L"A&dd...")); })
      .InMenu([&](HWND menu, const std::vector<std::wstring>& items) {
        addable = items;
        PauseForALook();
        ChooseMenuItem(menu, MenuPosition(items, L"Comments"));
      })
      .InDialog(L"Comments", [&](HWND dialog) {
        TypeInto(dialog, IDC_FRAME_DESCRIPTION, L"added");
        TypeInto(dialog, IDC_FRAME_TEXT, L"third note");
        Click(dialog, IDOK);
      });
  RightClickListSpace(host.list);
  RunScript(script);
  EXPECT_EQ(MenuPosition(addable, L"Title"), -1);
  EXPECT_EQ(MenuPosition(addable, L"Length"), -1) << "read-only kinds are not offered";
  EXPECT_NE(MenuPosition(addable, L"Album Title"), -1);
  EXPECT_NE(MenuPosition(addable, L"Comments"), -1);
  ASSERT_NE(host.Find(L"COMM", 2), -1);
  EXPECT_EQ(L"COMM|Comments|third note (added)", host.Rows()[host.Find(L"COMM", 2)]);

  // Removing the copyright that only two of the files have.
  std::vector<std::wstring> rowMenu;
  script.InMenu([&](HWND menu, const std::vector<std::wstring>& items) {
    rowMenu = items;
    ChooseMenuItem(menu, MenuPosition(items, L"&Remove"));
  });
  RightClickListItem(host.list, host.Find(L"TCOP"));
  RunScript(script);
  EXPECT_EQ(-1, host.Find(L"TCOP"));
  ASSERT_GE(rowMenu.size(), 2u);
  EXPECT_EQ(L"&Edit", rowMenu[0]);

  EXPECT_EQ(S_OK, host.view->Save());
  EXPECT_FALSE(host.view->IsModified());
  for (const std::wstring& path : saved) EXPECT_EQ(newTitle, TitleOf(path)) << path;
}

TEST_F(MetadataLV, ChoosingOneOfTheDifferingValuesGivesItToEveryFile) {
  ListHost host;
  host.Show(files);
  std::vector<std::wstring> items;
  UserScript script;
  script.InMenu([&](HWND menu, const std::vector<std::wstring>& shown) {
    items = shown;
    PauseForALook();
    ChooseMenuItem(menu, MenuPosition(shown, L"Artist B"));
  });
  RightClickListItem(host.list, host.Find(L"TPE1"));
  RunScript(script);
  // Edit, Remove, the add entry, then the distinct values in file order, each once.
  const std::vector<std::wstring> tail(items.end() - 3, items.end());
  EXPECT_EQ((std::vector<std::wstring>{L"", L"Artist A", L"Artist B"}), tail);
  EXPECT_EQ(L"TPE1|Lead Performer|Artist B", host.Rows()[1]);
  EXPECT_TRUE(host.view->IsModified());

  // Rows that agree offer no values.
  script.InMenu([&](HWND menu, const std::vector<std::wstring>& shown) {
    items = shown;
    CloseMenu(menu);
  });
  RightClickListItem(host.list, host.Find(L"TYER"));
  RunScript(script);
  EXPECT_EQ(MenuPosition(items, L"1999"), -1);
}

TEST_F(MetadataLV, CancelAfterARefusedValueLeavesTheFrameAsItWas) {
  ListHost host;
  host.Show(files);
  UserScript script;
  script.InDialog(L"Edit Text", [&](HWND dialog) {
          TypeInto(dialog, IDC_FRAME_TEXT, L"20O5");
          Click(dialog, IDOK);
        })
      .AcknowledgeMessage()
      .InDialog(L"Edit Text", [](HWND dialog) { Click(dialog, IDCANCEL); });
  DoubleClickListItem(host.list, host.Find(L"TYER"), LVIR_LABEL);
  RunScript(script);
  EXPECT_EQ((std::vector<std::wstring>{L"Please enter a valid number."}), script.Messages());
  EXPECT_EQ(L"TYER|Year|1999", host.Rows()[host.Find(L"TYER")]);
  EXPECT_FALSE(host.view->IsModified());
  EXPECT_EQ(S_OK, host.view->Save());
  EXPECT_EQ(L"1999", FrameTextOf(files[0], kFrameYear));
}

TEST_F(MetadataLV, ASelectionWithAFileThatCannotBeWrittenRefusesEveryEdit) {
  const std::wstring locked = folder / L"locked.mp3";
  ASSERT_TRUE(CopyFileW(files[0].c_str(), locked.c_str(), FALSE));
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  for (const std::wstring& other : {Media(L"tagged.flac"), locked}) {
    ListHost host;
    host.Show({files[1], other});
    const int rows = host.Count();
    ListView_SetItemState(host.list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    POINT corner = {10, 10};
    EXPECT_EQ(E_FAIL, host.view->ShowAddMenu(&corner)) << other;
    EXPECT_EQ(E_FAIL, host.view->EditSelected()) << other;
    EXPECT_EQ(E_FAIL, host.view->DeleteSelected()) << other;
    EXPECT_EQ(S_OK, host.view->DeleteAll());
    // A double click opens no editor either; the script would otherwise answer it.
    DoubleClickListItem(host.list, 0, LVIR_LABEL);
    EXPECT_EQ(rows, host.Count());
    EXPECT_FALSE(host.view->IsModified());
  }
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(MetadataLV, AFileThatFailsToSaveIsNamedAndKeepsItsTag) {
  ListHost host;
  host.Show(files);
  EditText(host, L"TIT2", L"Changed");

  // Another program holds the second file open without sharing it.
  HANDLE holder = CreateFileW(files[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  UserScript script;
  script.AcknowledgeMessage();
  // Save shows its message box from inside the call: the script answers it from there.
  const HRESULT result = host.view->Save();
  CloseHandle(holder);
  EXPECT_TRUE(FAILED(result));
  ASSERT_EQ(1u, script.Messages().size());
  EXPECT_EQ(0u, script.Messages()[0].find(
                    L"At least one file could not be saved. Please make sure it is not used by other applications."));
  EXPECT_NE(std::wstring::npos, script.Messages()[0].find(files[1]));
  EXPECT_EQ(std::wstring::npos, script.Messages()[0].find(files[0]));
  EXPECT_EQ(L"Changed", TitleOf(files[0]));
  EXPECT_EQ(L"Same Title", TitleOf(files[1]));
  EXPECT_EQ(L"Changed", TitleOf(files[2]));
  EXPECT_TRUE(host.view->IsModified());
}
