// The burner's main window.
#include "BurnCDDlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "BurnProgress.h"
#include "CdforgeResource.h"
#include "CuesheetDlg.h"
#include "ISOSettingsDlg.h"
#include "ImageDiscMaster.h"
#include "tavcore_metadata.h"

namespace {

const wchar_t kSection[] = L"BurnCD";
const wchar_t* const kSpeeds[] = {L"MAX", L"12 X", L"10 X", L"8 X", L"6 X", L"4 X", L"2 X", L"1 X"};
const wchar_t* const kFormats[] = {L"CD-DA Red Book *", L"MP3 CD", L"Windows Media CD"};

std::wstring Extension(const std::wstring& path) {
  const size_t dot = path.find_last_of(L"./\\");
  return dot != std::wstring::npos && path[dot] == L'.' ? path.substr(dot) : std::wstring();
}

std::wstring FileTitle(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The row's track number from its tag, or 0 when it has none.
int TrackNumber(IConvertSource* source) {
  IMetadata* metadata = nullptr;
  if (!source || !source->GetMetadata(&metadata) || !metadata) return 0;
  int number = 0;
  IMetadataTag* tag = nullptr;
  if (SUCCEEDED(metadata->GetTag(&tag)) && tag) {
    IMetadataFrameText* frame = nullptr;
    if (SUCCEEDED(tag->FindFrame(kFrameTrackNumber, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) &&
        frame) {
      wchar_t text[64] = {};
      frame->GetText(text, 64);
      number = static_cast<int>(wcstol(text, nullptr, 10));
      frame->Release();
    }
    tag->Release();
  }
  metadata->Release();
  return number;
}

// The help file's page for a dialog's help context.
const wchar_t* HelpPage(UINT context) {
  switch (context) {
    case IDH_CDFORGE_IMAGES: return L"cdimages.htm";
    case IDH_CDFORGE_SETTINGS: return L"settings.htm";
    default: return L"main.htm";
  }
}

// Opens the page in the help viewer by its name inside the help file, which needs no context map in the file.
void OpenHelp(HWND owner, UINT context) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring chm = exe;
  chm = chm.substr(0, chm.find_last_of(L'\\') + 1) + L"cdforge.chm";
  if (GetFileAttributesW(chm.c_str()) == INVALID_FILE_ATTRIBUTES) {
    cdforgeMessageBox(owner, (L"The help file cannot be found:\n" + chm).c_str(), CBurnCDDlg::kProductName,
                      MB_OK | MB_ICONWARNING);
    return;
  }
  const std::wstring topic = L"\"" + chm + L"::/" + HelpPage(context) + L"\"";
  cdforgeShellExecute(owner, nullptr, L"hh.exe", topic.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace

int(WINAPI* cdforgeMessageBox)(HWND, const wchar_t*, const wchar_t*, UINT) = &MessageBoxW;
HINSTANCE(WINAPI* cdforgeShellExecute)(HWND, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                                       INT) = &ShellExecuteW;

void ShowCdforgeHelp(HWND owner, UINT context) { OpenHelp(owner, context); }

CBurnCDDlg::CBurnCDDlg(IDiscMaster* platformMaster) : platformMaster(platformMaster) {}

CBurnCDDlg::~CBurnCDDlg() {
  for (BurnRow& row : rows)
    if (row.source) row.source->Release();
  for (Drive& drive : drives)
    if (drive.recorder) drive.recorder->Release();
  if (imageRecorderInfo) imageRecorderInfo->Release();
  if (images) ImageList_Destroy(images);
}

INT_PTR CBurnCDDlg::DoModal(HWND parent) {
  // The drive list is an extended combo box (icons beside the names).
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_USEREX_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const INT_PTR result = RunModal(GetModuleHandleW(nullptr), IDD_BURNCD, parent);
  if (result == -1) {
    wchar_t text[128];
    swprintf(text, 128, L"The burner window cannot be opened (error %lu).", GetLastError());
    cdforgeMessageBox(parent, text, kProductName, MB_OK | MB_ICONERROR);
  }
  return result;
}

INT_PTR CBurnCDDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      SetWindowLongPtrW(window, DWLP_MSGRESULT, OnNotify(reinterpret_cast<NMHDR*>(lParam)));
      return TRUE;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return TRUE;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {minTrack.cx, minTrack.cy};
      return TRUE;
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wParam);
      std::vector<std::wstring> paths;
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(length);
        paths.push_back(path);
      }
      DragFinish(drop);
      DropFiles(paths);
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        cdforgeMessageBox(window, L"Tavrel cdforge\nPuts audio files on CDs and CD images.", kProductName,
                    MB_OK | MB_ICONINFORMATION);
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    default:
      return FALSE;
  }
}

void CBurnCDDlg::OnInit() {
  HMENU system = GetSystemMenu(window, FALSE);
  if (system) {
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, L"About Box...");
  }
  DragAcceptFiles(window, TRUE);

  HWND list = GetDlgItem(window, IDC_FILELIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 1,
                            1);
  SHFILEINFOW info = {};
  if (SHGetFileInfoW(L"*.cda", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                     SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON) &&
      info.hIcon) {
    ImageList_AddIcon(images, info.hIcon);
    DestroyIcon(info.hIcon);
  }
  ListView_SetImageList(list, images, LVSIL_SMALL);
  const struct {
    const wchar_t* text;
    int width;
  } columns[] = {{L"File", 200}, {L"Length", 60}, {L"Format", 90}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(columns[i].text);
    column.cx = columns[i].width;
    ListView_InsertColumn(list, i, &column);
  }

  for (const wchar_t* speed : kSpeeds) SendDlgItemMessageW(window, IDC_SPEED, CB_ADDSTRING, 0, (LPARAM)speed);
  SendDlgItemMessageW(window, IDC_SPEED, CB_SETCURSEL, 0, 0);
  for (int i = 0; i < 3; ++i) {
    const LRESULT at = SendDlgItemMessageW(window, IDC_FORMAT, CB_ADDSTRING, 0, (LPARAM)kFormats[i]);
    SendDlgItemMessageW(window, IDC_FORMAT, CB_SETITEMDATA, at, i + 1);
  }
  SetFormat(1);
  FillDrives();
  UpdateImageControls();

  wchar_t imageFile[512] = {};
  std::wstring bin = ImagesFolder() + L"\\Disc.bin";
  if (ReadPString(kSection, L"ImageFile", imageFile) && imageFile[0]) bin = imageFile;
  SetDlgItemTextW(window, IDC_IMAGEFILE, bin.c_str());

  // Anchors for resizing: right column follows the right edge, bottom rows follow the bottom.
  RECT client;
  GetClientRect(window, &client);
  templateClient = {client.right, client.bottom};
  RECT frame;
  GetWindowRect(window, &frame);
  minTrack = {frame.right - frame.left, frame.bottom - frame.top};
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    Placement place = {child, {}, 0};
    GetWindowRect(child, &place.rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place.rect), 2);
    switch (GetDlgCtrlID(child)) {
      case IDC_DRIVE:
      case IDC_IMAGEFILE:
        place.anchor = 2;
        break;
      case IDC_IMAGEBROWSE:
      case IDC_ADDFILES:
      case IDC_ADDPLAYLIST:
      case IDC_CDIMAGE:
      case IDC_MOVEUP:
      case IDC_MOVEDOWN:
        place.anchor = 1;
        break;
      case IDC_FILELIST:
        place.anchor = 2 | 8;
        break;
      case IDC_DELETE_HINT:
      case IDC_DISCINFO:
        place.anchor = 2 | 4;
        break;
      case IDCANCEL:
      case IDC_HELPBUTTON:
        place.anchor = 1 | 4;
        break;
      default:
        place.anchor = 4;
        break;
    }
    if (GetDlgCtrlID(child) == IDC_DRIVE_LABEL || GetDlgCtrlID(child) == IDC_IMAGEFILE_LABEL) place.anchor = 0;
    placements.push_back(place);
  }

  for (const std::wstring& path : startFiles) AddOnePath(path);
  CdImage image;
  CCdImageFile file;
  const std::wstring name = !startImage.empty() ? startImage
                            : rows.empty()      ? std::wstring(CCdImageFile::kWorkingImageName)
                                                : std::wstring();
  if (!name.empty() && file.Load(CCdImageFile::PathForName(ImagesFolder(), name), image)) ApplyImage(image);
  RefreshList(-1);

  RECT saved = {};
  UINT32 size = sizeof(saved);
  if (GetProfileBinary(kSection, L"WindowRect", &saved, &size) && size == sizeof(saved) &&
      saved.right - saved.left >= minTrack.cx / 2 && saved.bottom - saved.top >= minTrack.cy / 2) {
    SetWindowPos(window, nullptr, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

namespace {

// Adds a drive list entry with the shell's small icon for `shellPath` (a drive root, or a file type).
void AddDriveEntry(HWND combo, const wchar_t* text, const wchar_t* shellPath, bool fileType) {
  SHFILEINFOW info = {};
  const HIMAGELIST system = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(shellPath, fileType ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof(info),
                     SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (fileType ? SHGFI_USEFILEATTRIBUTES : 0)));
  // The system image list is shared by the process and never destroyed here.
  if (system && !SendMessageW(combo, CBEM_GETIMAGELIST, 0, 0))
    SendMessageW(combo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(system));
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | (system ? CBEIF_IMAGE | CBEIF_SELECTEDIMAGE : 0);
  item.iItem = -1;
  item.pszText = const_cast<wchar_t*>(text);
  item.iImage = item.iSelectedImage = info.iIcon;
  SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void CBurnCDDlg::FillDrives() {
  HWND combo = GetDlgItem(window, IDC_DRIVE);
  IEnumDiscRecorders* recorders = nullptr;
  if (platformMaster && SUCCEEDED(platformMaster->EnumDiscRecorders(&recorders)) && recorders) {
    IDiscRecorder* recorder = nullptr;
    ULONG fetched = 0;
    while (recorders->Next(1, &recorder, &fetched) == S_OK && fetched == 1 && recorder) {
      BSTR path = nullptr, vendor = nullptr, product = nullptr, revision = nullptr;
      recorder->GetPath(&path);
      recorder->GetDisplayNames(&vendor, &product, &revision);
      std::wstring letter = L"E:";
      wchar_t device[MAX_PATH];
      for (wchar_t d = L'A'; d <= L'Z' && path; ++d) {
        const wchar_t drive[3] = {d, L':', 0};
        if (QueryDosDeviceW(drive, device, MAX_PATH) && _wcsicmp(device, path) == 0) {
          letter = drive;
          break;
        }
      }
      wchar_t text[600];
      swprintf(text, 600, L"%ls %ls %ls (%ls)", vendor ? vendor : L"", product ? product : L"",
               revision ? revision : L"", letter.c_str());
      SysFreeString(path);
      SysFreeString(vendor);
      SysFreeString(product);
      SysFreeString(revision);
      drives.push_back({recorder, false});  // keeps Next's reference
      AddDriveEntry(combo, text, (letter + L"\\").c_str(), false);
      recorder = nullptr;
    }
    recorders->Release();
  }
  drives.push_back({nullptr, true});
  AddDriveEntry(combo, kImageRecorderText, L"*.iso", true);
  SendMessageW(combo, CB_SETCURSEL, 0, 0);
  imageRecorderInfo = new CImageRecorder(L"", L"", CAudioImageWriter::kBlocks74Minutes);
}

std::wstring CBurnCDDlg::ImagesFolder() {
  wchar_t custom[512] = {};
  std::wstring folder;
  if (ReadPString(L"Settings", L"CDImagesDir", custom) && custom[0]) {
    folder = custom;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
  }
  wchar_t appData[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData);
  folder = std::wstring(appData) + L"\\cdforge";
  CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\CDImages";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::wstring CBurnCDDlg::LengthText(UINT32 frames) {
  wchar_t text[32];
  swprintf(text, 32, L"%02d:%02d:%02d", static_cast<int>(frames / 4500), static_cast<int>(frames / 75 % 60),
           static_cast<int>(frames % 75));
  return text;
}

void CBurnCDDlg::AddPath(const std::wstring& path) {
  IPlaylist* playlist = nullptr;
  if (SUCCEEDED(PlaylistCreateFromFile(path.c_str(), &playlist)) && playlist) {
    wchar_t item[260];
    playlist->Rewind();
    while (SUCCEEDED(playlist->GetNext(item))) AddOnePath(item);
    playlist->Destroy();
  } else {
    AddOnePath(path);
  }
  if (window) RefreshList(-1);
}

void CBurnCDDlg::AddOnePath(const std::wstring& path) {
  CONVFORMAT format = {};
  if (FAILED(ConvGetFormatOf(&format, path.c_str()))) return;
  IConvertSource* source = nullptr;
  if (FAILED(ConvCreateSource(&format, &source)) || !source) return;
  if (!source->SetFileName(path.c_str())) {
    source->Release();
    return;
  }
  BurnRow row;
  row.path = path;
  row.source = source;
  row.formatName = format.name;
  if (source->Open()) {
    row.opened = true;
    UINT32 size = 0;
    WAVEFORMATEX pcm = {};
    if (source->GetDataSize(&size, 0, -1) && source->GetFormat(&pcm) && pcm.nAvgBytesPerSec > 0)
      row.frames = static_cast<UINT32>((static_cast<UINT64>(size) * 75 + pcm.nAvgBytesPerSec - 1) / pcm.nAvgBytesPerSec);
    source->Close();
  }
  rows.push_back(std::move(row));
}

void CBurnCDDlg::RefreshList(int select) {
  if (!window) return;
  HWND list = GetDlgItem(window, IDC_FILELIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t i = 0; i < rows.size(); ++i) {
    wchar_t text[600];
    swprintf(text, 600, L"%d. %ls", static_cast<int>(i + 1), FileTitle(rows[i].path).c_str());
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(i);
    item.pszText = text;
    item.iImage = 0;
    ListView_InsertItem(list, &item);
    std::wstring length = rows[i].opened ? LengthText(rows[i].frames) : L"?";
    ListView_SetItemText(list, static_cast<int>(i), 1, &length[0]);
    ListView_SetItemText(list, static_cast<int>(i), 2, &rows[i].formatName[0]);
  }
  if (select >= 0 && select < static_cast<int>(rows.size())) {
    ListView_SetItemState(list, select, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, select, FALSE);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  RefreshTotals();
}

UINT32 CBurnCDDlg::TotalFrames() const {
  UINT32 total = 0;
  for (const BurnRow& row : rows) total += row.frames;
  return total;
}

std::wstring CBurnCDDlg::DiscInformation() const {
  const int at = static_cast<int>(SendDlgItemMessageW(window, IDC_DRIVE, CB_GETCURSEL, 0, 0));
  if (at < 0 || at >= static_cast<int>(drives.size())) return L"";
  IDiscRecorder* recorder = drives[static_cast<size_t>(at)].image ? imageRecorderInfo : drives[static_cast<size_t>(at)].recorder;
  if (!recorder) return L"";
  long type = 0, media = 0, flags = 0;
  recorder->GetRecorderType(&type);
  if (FAILED(recorder->QueryMediaType(&media, &flags))) flags = 0;
  // Recorders report combined flags (a blank CD-R is blank and writable): a blank disc reads "blank", not
  // "unusable"; only the unusable bit or no usable bit at all gives "unusable".
  const wchar_t* state = (flags & 8) || !(flags & 7) ? L"unusable"
                         : (flags & 1)               ? L"blank"
                         : (flags & 2)               ? L"re-writeable"
                                                     : L"writable";
  wchar_t text[64];
  swprintf(text, 64, L"%ls | %ls", type == 1 ? L"CD-R" : L"CD-RW", state);
  return text;
}

void CBurnCDDlg::RefreshTotals() {
  if (!window) return;
  SetDlgItemTextW(window, IDC_LENGTH, LengthText(TotalFrames()).c_str());
  SetDlgItemTextW(window, IDC_DISCINFO, DiscInformation().c_str());
}

void CBurnCDDlg::UpdateImageControls() {
  const int at = static_cast<int>(SendDlgItemMessageW(window, IDC_DRIVE, CB_GETCURSEL, 0, 0));
  const bool image = at >= 0 && at < static_cast<int>(drives.size()) && drives[static_cast<size_t>(at)].image;
  EnableWindow(GetDlgItem(window, IDC_IMAGEFILE), image);
  EnableWindow(GetDlgItem(window, IDC_IMAGEBROWSE), image);
}

int CBurnCDDlg::Format() const {
  if (!window) return 1;
  const LRESULT at = SendDlgItemMessageW(window, IDC_FORMAT, CB_GETCURSEL, 0, 0);
  const LRESULT data = at == CB_ERR ? 1 : SendDlgItemMessageW(window, IDC_FORMAT, CB_GETITEMDATA, at, 0);
  return data >= 1 && data <= 3 ? static_cast<int>(data) : 1;
}

void CBurnCDDlg::SetFormat(int format) {
  if (format < 1 || format > 3) format = 1;
  SendDlgItemMessageW(window, IDC_FORMAT, CB_SETCURSEL, format - 1, 0);
  EnableWindow(GetDlgItem(window, IDC_SETTINGS), format != 1);
}

std::wstring CBurnCDDlg::ImageBinPath() const {
  wchar_t text[MAX_PATH] = {};
  GetDlgItemTextW(window, IDC_IMAGEFILE, text, MAX_PATH);
  std::wstring bin = text;
  const std::wstring extension = Extension(bin);
  if (_wcsicmp(extension.c_str(), L".cue") == 0 || _wcsicmp(extension.c_str(), L".iso") == 0)
    bin = bin.substr(0, bin.size() - 4) + L".bin";
  else if (extension.empty())
    bin += L".bin";
  return bin;
}

int CBurnCDDlg::SelectedRow() const {
  return ListView_GetNextItem(GetDlgItem(window, IDC_FILELIST), -1, LVNI_SELECTED);
}

void CBurnCDDlg::RemoveRow(int index) {
  if (index < 0 || index >= RowCount()) return;
  if (rows[static_cast<size_t>(index)].source) rows[static_cast<size_t>(index)].source->Release();
  rows.erase(rows.begin() + index);
  RefreshList(std::min(index, RowCount() - 1));
}

void CBurnCDDlg::RemoveAll() {
  for (BurnRow& row : rows)
    if (row.source) row.source->Release();
  rows.clear();
  RefreshList(-1);
}

void CBurnCDDlg::DeleteSelected() {
  HWND list = GetDlgItem(window, IDC_FILELIST);
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED))
    selected.push_back(i);
  if (selected.empty()) return;
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    if (rows[static_cast<size_t>(*it)].source) rows[static_cast<size_t>(*it)].source->Release();
    rows.erase(rows.begin() + *it);
  }
  RefreshList(std::min(selected.front(), RowCount() - 1));
}

void CBurnCDDlg::MoveRow(int from, int to) {
  if (from < 0 || from >= RowCount() || to < 0 || to >= RowCount() || from == to) return;
  BurnRow row = std::move(rows[static_cast<size_t>(from)]);
  rows.erase(rows.begin() + from);
  rows.insert(rows.begin() + to, std::move(row));
  RefreshList(to);
}

void CBurnCDDlg::OrderByTrackNumber() {
  // Numbered rows (1 to 99) first by number, equal numbers in list order, then the others as they were. Rows
  // already placed are never moved again, so numbers with gaps (1, 5, 7) or repeated ones sort correctly.
  std::vector<std::pair<int, size_t>> order;
  for (size_t i = 0; i < rows.size(); ++i) {
    const int n = TrackNumber(rows[i].source);
    order.emplace_back(n > 0 && n < 100 ? n : 100, i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const std::pair<int, size_t>& a, const std::pair<int, size_t>& b) { return a.first < b.first; });
  std::vector<BurnRow> sorted;
  for (const auto& entry : order) sorted.push_back(std::move(rows[entry.second]));
  rows = std::move(sorted);
  RefreshList(-1);
}

void CBurnCDDlg::DropFiles(const std::vector<std::wstring>& paths) {
  if (paths.size() == 1 && _wcsicmp(Extension(paths[0]).c_str(), CCdImageFile::kExtension) == 0) {
    CCdImageFile file;
    CdImage image;
    if (file.Load(paths[0], image))
      ApplyImage(image);
    else
      cdforgeMessageBox(window, file.LastErrorText().c_str(), kProductName, MB_OK | MB_ICONWARNING);
    return;
  }
  for (const std::wstring& path : paths) AddPath(path);
}

CdImage CBurnCDDlg::CurrentImage() const {
  CdImage image;
  image.format = Format();
  image.label = label;
  for (const BurnRow& row : rows) image.files.push_back(row.path);
  return image;
}

void CBurnCDDlg::ApplyImage(const CdImage& image) {
  for (BurnRow& row : rows)
    if (row.source) row.source->Release();
  rows.clear();
  SetFormat(image.format);
  SetLabel(image.label);
  for (const std::wstring& path : image.files) AddPath(path);
  RefreshList(-1);
}

void CBurnCDDlg::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ADDFILES:
      AddFiles();
      break;
    case IDC_ADDPLAYLIST:
      AddPlaylist();
      break;
    case IDC_CDIMAGE: {
      CCuesheetDlg dialog(*this);
      dialog.DoModal(window);
      break;
    }
    case IDC_MOVEUP:
    case IDC_MOVEDOWN: {
      const int row = SelectedRow();
      if (row >= 0) MoveRow(row, id == IDC_MOVEUP ? row - 1 : row + 1);
      break;
    }
    case IDC_SPEED:
      if (code == CBN_SELCHANGE) RefreshTotals();
      break;
    case IDC_DRIVE:
      if (code == CBN_SELCHANGE) {
        UpdateImageControls();
        RefreshTotals();
      }
      break;
    case IDC_FORMAT:
      if (code == CBN_SELCHANGE) EnableWindow(GetDlgItem(window, IDC_SETTINGS), Format() != 1);
      break;
    case IDC_SETTINGS: {
      CISOSettingsDlg dialog(Format(), label);
      if (dialog.DoModal(window) == IDOK) SetLabel(dialog.Label());
      break;
    }
    case IDC_IMAGEBROWSE:
      BrowseImageFile();
      break;
    case IDC_RECORD:
      RecordCD();
      break;
    case IDC_HELPBUTTON:
      OpenHelp(window, IDH_CDFORGE_MAIN);
      break;
    case IDM_REMOVE:
      DeleteSelected();
      break;
    case IDM_REMOVEALL:
      RemoveAll();
      break;
    case IDM_ORDERBYTRACK:
      OrderByTrackNumber();
      break;
    case IDCANCEL:
      OnClose();
      break;
    default:
      break;
  }
}

LRESULT CBurnCDDlg::OnNotify(NMHDR* header) {
  if (header->idFrom != IDC_FILELIST) return 0;
  switch (header->code) {
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE) DeleteSelected();
      return 0;
    case NM_RCLICK: {
      const int item = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
      ShowContextMenu(item >= 0, item);
      return 0;
    }
    case LVN_GETINFOTIPW: {
      NMLVGETINFOTIPW* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
      if (tip->iItem < 0 || tip->iItem >= RowCount() || !tip->pszText || tip->cchTextMax <= 0) return 0;
      const BurnRow& row = rows[static_cast<size_t>(tip->iItem)];
      CONVFORMAT format = {};
      std::wstring text = SUCCEEDED(ConvGetFormatOf(&format, row.path.c_str())) ? format.description : L"";
      WIN32_FILE_ATTRIBUTE_DATA data = {};
      if (GetFileAttributesExW(row.path.c_str(), GetFileExInfoStandard, &data) &&
          (data.nFileSizeLow || data.nFileSizeHigh)) {
        wchar_t size[64] = {};
        StrFormatByteSizeW((static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, size, 64);
        text += L" | ";
        text += size;
      }
      wchar_t folder[MAX_PATH] = {};
      if (row.source && row.source->GetFolder(folder, MAX_PATH)) text += std::wstring(L"\nLocation: ") + folder;
      wcsncpy(tip->pszText, text.c_str(), static_cast<size_t>(tip->cchTextMax) - 1);
      tip->pszText[tip->cchTextMax - 1] = 0;
      return 0;
    }
    default:
      return 0;
  }
}

void CBurnCDDlg::ShowContextMenu(bool onRow, int row) {
  HMENU menu = CreatePopupMenu();
  if (onRow) {
    AppendMenuW(menu, MF_STRING, IDM_REMOVE, L"&Remove");
    HWND list = GetDlgItem(window, IDC_FILELIST);
    if (!(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED)) {
      ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
      ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
  } else {
    AppendMenuW(menu, MF_STRING, IDM_REMOVEALL, L"&Remove All");
    AppendMenuW(menu, MF_STRING, IDM_ORDERBYTRACK, L"Order by Track Number");
  }
  POINT at;
  GetCursorPos(&at);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
  DestroyMenu(menu);
  if (chosen) OnCommand(chosen, 0);
}

void CBurnCDDlg::AddFiles() {
  std::wstring filter = L"All Supported Files";
  filter.push_back(0);
  std::wstring all, entries;
  const UINT32 count = ConvGetFormatCount();
  for (UINT32 i = 0; i < count; ++i) {
    CONVFORMAT format = {};
    if (FAILED(ConvGetFormatAt(&format, i)) || !format.sourceClass) continue;
    std::wstring patterns;
    for (const wchar_t* ext = format.extensions; *ext; ext += wcslen(ext) + 1) {
      if (!patterns.empty()) patterns += L";";
      patterns += std::wstring(L"*") + ext;
    }
    if (patterns.empty()) continue;
    if (!all.empty()) all += L";";
    all += patterns;
    entries += format.description;
    entries.push_back(0);
    entries += patterns;
    entries.push_back(0);
  }
  filter += all;
  filter.push_back(0);
  filter += entries;
  filter.push_back(0);

  std::vector<wchar_t> buffer(260000, 0);
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof(open);
  open.hwndOwner = window;
  open.lpstrFilter = filter.c_str();
  int index = 1;
  ReadPInt(kSection, L"AddFilesFilterIndex", &index);
  open.nFilterIndex = static_cast<DWORD>(std::max(index, 1));
  open.lpstrFile = buffer.data();
  open.nMaxFile = static_cast<DWORD>(buffer.size());
  open.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&open)) return;
  WritePInt(kSection, L"AddFilesFilterIndex", static_cast<int>(open.nFilterIndex));
  const std::wstring first = buffer.data();
  const wchar_t* next = buffer.data() + first.size() + 1;
  if (!*next) {
    AddOnePath(first);
  } else {
    for (; *next; next += wcslen(next) + 1) {
      std::wstring path = first;
      if (path.back() != L'\\') path += L"\\";
      AddOnePath(path + next);
    }
  }
  RefreshList(-1);
}

void CBurnCDDlg::AddPlaylist() {
  wchar_t path[MAX_PATH] = {};
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof(open);
  open.hwndOwner = window;
  open.lpstrFilter = L"Playlist Files (M3U, PLS, WAX)\0*.m3u;*.pls;*.wax;*.asx\0";
  open.lpstrFile = path;
  open.nMaxFile = MAX_PATH;
  open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&open)) AddPath(path);
}

void CBurnCDDlg::BrowseImageFile() {
  wchar_t path[MAX_PATH] = {};
  GetDlgItemTextW(window, IDC_IMAGEFILE, path, MAX_PATH);
  OPENFILENAMEW save = {};
  save.lStructSize = sizeof(save);
  save.hwndOwner = window;
  save.lpstrFilter = L"CD Image (BIN/CUE)\0*.bin\0";
  save.lpstrDefExt = L"bin";
  save.lpstrFile = path;
  save.nMaxFile = MAX_PATH;
  save.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (GetSaveFileNameW(&save)) SetDlgItemTextW(window, IDC_IMAGEFILE, path);
}

void CBurnCDDlg::RecordCD() {
  if (rows.empty()) return;
  const int at = static_cast<int>(SendDlgItemMessageW(window, IDC_DRIVE, CB_GETCURSEL, 0, 0));
  if (at < 0 || at >= static_cast<int>(drives.size())) return;
  const Drive& drive = drives[static_cast<size_t>(at)];

  BurnJob job;
  job.format = Format();
  job.volumeLabel = label;
  // "MAX" (the first choice) leaves the recorder at its fastest; the others read as "12 X" and so on.
  wchar_t speed[16] = {};
  GetDlgItemTextW(window, IDC_SPEED, speed, 16);
  job.speed = static_cast<int>(wcstol(speed, nullptr, 10));
  for (const BurnRow& row : rows) {
    row.source->AddRef();
    job.entries.push_back({row.path, row.source});
  }

  IDiscMaster* master = platformMaster;
  IDiscRecorder* recorder = drive.recorder;
  CImageDiscMaster* imageMaster = nullptr;
  if (drive.image) {
    const std::wstring bin = ImageBinPath();
    WritePString(kSection, L"ImageFile", bin.c_str());
    imageMaster = new CImageDiscMaster(bin, bin.substr(0, bin.size() - 4) + L".cue");
    imageMaster->Open();
    master = imageMaster;
    recorder = imageMaster->Recorder();
  }
  if (!master || !recorder) {
    if (imageMaster) imageMaster->Release();
    return;
  }

  CBurnCDProgress* progress = new CBurnCDProgress;
  if (!progress->Create(window)) {
    progress->Release();
    if (imageMaster) imageMaster->Release();
    return;
  }
  const bool testMode = IsDlgButtonChecked(window, IDC_TESTMODE) == BST_CHECKED &&
                        CBurnCDProgress::ConfirmTestMode(progress->Window());
  progress->SetBurning(true);
  lastOutcome = ::RecordCD(master, recorder, job, progress, progress, testMode);
  progress->SetBurning(false);
  progress->Finish();
  progress->WaitUntilClosed();
  progress->Release();
  if (imageMaster) {
    imageMaster->Close();
    imageMaster->Release();
  }
  SetForegroundWindow(window);
}

void CBurnCDDlg::OnSize(int width, int height) {
  if (placements.empty() || width == 0) return;
  const int dx = width - templateClient.cx;
  const int dy = height - templateClient.cy;
  HDWP defer = BeginDeferWindowPos(static_cast<int>(placements.size()));
  for (const Placement& place : placements) {
    RECT r = place.rect;
    if (place.anchor & 1) OffsetRect(&r, dx, 0);
    if (place.anchor & 2) r.right += dx;
    if (place.anchor & 4) OffsetRect(&r, 0, dy);
    if (place.anchor & 8) r.bottom += dy;
    if (defer)
      defer = DeferWindowPos(defer, place.control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (defer) EndDeferWindowPos(defer);
  InvalidateRect(window, nullptr, TRUE);
}

void CBurnCDDlg::OnClose() {
  CCdImageFile file;
  file.Save(CCdImageFile::PathForName(ImagesFolder(), CCdImageFile::kWorkingImageName), CurrentImage());
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof(placement);
  if (GetWindowPlacement(window, &placement))
    PutProfileBinary(kSection, L"WindowRect", &placement.rcNormalPosition, sizeof(placement.rcNormalPosition));
  EndDialog(window, IDCANCEL);
}

ListFileResult ReadConversionList(const std::wstring& path, std::vector<std::wstring>& paths) {
  paths.clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ListFileResult::CannotOpen;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A longer line is no path the platform could open; cutting it would name a different file.
    if (line.empty() || line.size() > 1023) continue;
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line.data(), static_cast<int>(line.size()), nullptr, 0);
    if (length <= 0) {
      codePage = CP_ACP;
      length = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    }
    if (length <= 0) continue;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, line.data(), static_cast<int>(line.size()), &wide[0], length);
    paths.push_back(wide);
  }
  DeleteFileW(path.c_str());
  return paths.empty() ? ListFileResult::Empty : ListFileResult::Ok;
}

int RunCdforge(int argc, wchar_t** argv, IDiscMaster* platformMaster) {
  CBurnCDDlg dialog(platformMaster);
  for (int i = 1; i < argc; ++i) {
    if (_wcsicmp(argv[i], L"/FL") == 0 && i + 1 < argc) {
      switch (ReadConversionList(argv[++i], dialog.startFiles)) {
        case ListFileResult::CannotOpen:
          cdforgeMessageBox(nullptr, L"Conversion list file cannot be opened.", CBurnCDDlg::kProductName, MB_OK | MB_ICONERROR);
          return 1;
        case ListFileResult::Empty:
          cdforgeMessageBox(nullptr, L"Conversion list file is empty.", CBurnCDDlg::kProductName, MB_OK | MB_ICONERROR);
          return 1;
        case ListFileResult::Ok:
          break;
      }
    } else if (_wcsicmp(argv[i], L"/IMG") == 0 && i + 1 < argc) {
      dialog.startImage = argv[++i];
    }
  }
  return dialog.DoModal(nullptr) == -1 ? 1 : 0;
}
