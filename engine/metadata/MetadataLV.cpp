// The metadata list view. Rows hold the tags' own frames (one slot per file); the tags own them, so a row is
// only a view, and editing a row writes through to every file's tag.
#include "MetadataLV.h"

#include <id3/tag.h>

#include <algorithm>
#include <cstring>

#include "AbiGuard.h"
#include "CMetadataFrame.h"
#include "CMetadataTag.h"
#include "EngineMessageBox.h"
#include "EngineResources.h"
#include "FrameKinds.h"
#include "MetadataText.h"
#include "resource.h"

namespace {

constexpr UINT kFirstChoice = 10000;   // menu commands: 10000 + frame number, or 10000 + value index
constexpr UINT kMostValues = 101;      // distinct values offered in a row's menu
constexpr UINT32 kLastFrameNumber = 100;
const char kRepeatable[] = "TXXX|WXXX|COMM|WCOM|WOAR|LINK|PRIV|UFID|AENC|GEOB|USLT|SYLT|POPM";
const wchar_t kSaveFailed[] =
    L"At least one file could not be saved. Please make sure it is not used by other applications.";
constexpr size_t kNamedFailures = 10;  // the message names this many files that failed, then counts the rest

// Icons of the strip, by the kind of editor a frame has.
enum Icon { kIconText, kIconUrl, kIconComment, kIconPicture, kIconUser, kIconOther, kIconCount };
const struct {
  wchar_t letter;
  COLORREF color;
} kIconLooks[kIconCount] = {{L'T', RGB(40, 90, 180)},  {L'W', RGB(30, 130, 60)}, {L'C', RGB(200, 110, 20)},
                            {L'P', RGB(130, 50, 160)}, {L'X', RGB(20, 130, 140)}, {L'?', RGB(120, 120, 120)}};

Icon IconOf(FrameWrapper wrapper) {
  switch (wrapper) {
    case FrameWrapper::None: return kIconOther;
    case FrameWrapper::Picture: return kIconPicture;
    case FrameWrapper::Comment: return kIconComment;
    case FrameWrapper::Url:
    case FrameWrapper::UserUrl: return kIconUrl;
    case FrameWrapper::UserText: return kIconUser;
    default: return kIconText;
  }
}

// A 16-pixel strip drawn here rather than shipped as a bitmap: a coloured tile with the kind's letter per icon,
// and for the state list one mark for rows whose files disagree.
HIMAGELIST MakeStrip(int count, void (*draw)(HDC, int, RECT)) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, count, 0);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP strip = CreateCompatibleBitmap(screen, 16 * count, 16);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBitmap = SelectObject(dc, strip);
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg");
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT all = {0, 0, 16 * count, 16};
  HBRUSH transparent = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(dc, &all, transparent);
  DeleteObject(transparent);
  SetBkMode(dc, TRANSPARENT);
  for (int index = 0; index < count; ++index) draw(dc, index, RECT{16 * index, 0, 16 * index + 16, 16});
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(font);
  DeleteDC(dc);
  ImageList_AddMasked(images, strip, RGB(255, 0, 255));
  DeleteObject(strip);
  return images;
}

void DrawKindIcon(HDC dc, int index, RECT box) {
  HBRUSH fill = CreateSolidBrush(kIconLooks[index].color);
  HGDIOBJ oldBrush = SelectObject(dc, fill);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  RoundRect(dc, box.left + 1, box.top + 1, box.right, box.bottom, 5, 5);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(fill);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextW(dc, &kIconLooks[index].letter, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawDifferMark(HDC dc, int, RECT box) {
  const POINT triangle[] = {{box.left + 8, box.top + 1}, {box.left + 15, box.top + 14}, {box.left + 1, box.top + 14}};
  HBRUSH fill = CreateSolidBrush(RGB(240, 180, 0));
  HGDIOBJ oldBrush = SelectObject(dc, fill);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Polygon(dc, triangle, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(fill);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT mark = {box.left, box.top + 3, box.right, box.bottom};
  DrawTextW(dc, L"!", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// The engine's wrapper of a frame that stays in its tag; null for kinds without one.
ComPtr<IMetadataFrame> Wrap(ID3_Frame* frame) {
  IMetadataFrame* wrapper = nullptr;
  if (!frame || FAILED(WrapFrame(frame, static_cast<UINT32>(frame->GetID()), false, IID_IMetadataFrame,
                                 reinterpret_cast<void**>(&wrapper))))
    return nullptr;
  return ComPtr<IMetadataFrame>::Adopt(wrapper);
}

std::wstring DisplayTextOf(ID3_Frame* frame) {
  if (ComPtr<IMetadataFrame> wrapper = Wrap(frame)) {
    wchar_t text[1024] = {};
    wrapper->GetDisplayText(text, 1024);
    return text;
  }
  // Kinds without a wrapper still show the text or address they carry.
  std::wstring text;
  if (frame && !GetFieldText(*frame, ID3FN_TEXT, &text)) GetFieldText(*frame, ID3FN_URL, &text);
  return text;
}

bool SameFrame(const ID3_Frame& one, const ID3_Frame& other) {
  return &one == &other || (one.GetID() == other.GetID() && RenderFrame(one) == RenderFrame(other));
}

// "Encoding" and value of one field of a frame: text with its encoding, anything else as hexadecimal bytes.
std::pair<std::wstring, std::wstring> FieldLine(const ID3_Frame& frame, const ID3_Field& field) {
  if (field.GetType() == ID3FTY_TEXTSTRING) {
    const bool ascii = field.GetEncoding() == ID3TE_ISO8859_1;
    return {ascii ? L"ASCII" : L"Unicode", FieldText(frame, field.GetID())};
  }
  std::wstring bytes;
  auto addByte = [&](unsigned value) { bytes += FormatText(8, L"%02lX", static_cast<unsigned long>(value & 0xFF)); };
  if (field.GetType() == ID3FTY_INTEGER) {
    const uint32 value = field.Get();
    for (size_t i = field.Size(); i-- > 0;) addByte(static_cast<unsigned>(i < 4 ? value >> (8 * i) : 0));
  } else if (const uchar* raw = field.GetRawBinary()) {
    // Long binary data (a picture) is cut: the line is for a look, not for the whole file.
    const size_t shown = std::min<size_t>(field.Size(), 256);
    for (size_t i = 0; i < shown; ++i) addByte(raw[i]);
    if (shown < field.Size()) bytes += L"...";
  }
  return {L"", bytes};
}

void SetItemText(HWND list, int item, int column, const std::wstring& text) {
  LVITEMW cell = {};
  cell.iSubItem = column;
  cell.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

// Where a menu opens: the point, moved onto the nearest monitor when it lies off every screen.
POINT OnScreen(POINT point) {
  if (MonitorFromPoint(point, MONITOR_DEFAULTTONULL)) return point;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor)) return point;
  point.x = std::clamp(point.x, monitor.rcWork.left, monitor.rcWork.right - 1);
  point.y = std::clamp(point.y, monitor.rcWork.top, monitor.rcWork.bottom - 1);
  return point;
}

}  // namespace

bool CMetadataLV::IsRepeatable(const char* id) {
  if (!id || std::strlen(id) != 4) return false;
  for (const char* at = kRepeatable; *at; at += 5)
    if (std::strncmp(at, id, 4) == 0) return true;
  return false;
}

ID3_Frame* CMetadataLV::Row::First() const {
  for (ID3_Frame* frame : frames)
    if (frame) return frame;
  return nullptr;
}

bool CMetadataLV::Row::Differs() const {
  const ID3_Frame* first = First();
  for (ID3_Frame* frame : frames)
    if (!frame || !SameFrame(*first, *frame)) return true;
  return false;
}

CMetadataLV::~CMetadataLV() {
  // The list may outlive the view: it must not keep pointers to rows that are gone.
  if (list && IsWindow(list)) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_STATE, 0);
  }
  if (icons) ImageList_Destroy(icons);
  if (states) ImageList_Destroy(states);
}

void STDMETHODCALLTYPE CMetadataLV::Attach(HWND listControl) {
  GuardedCall<int>(0, 0, [&] {
    list = listControl;
    if (!list) return 0;
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP |
                           LVS_EX_DOUBLEBUFFER;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    if (!icons) icons = MakeStrip(kIconCount, &DrawKindIcon);
    if (!states) states = MakeStrip(1, &DrawDifferMark);
    // The list does not destroy image lists it shares with the view.
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(states));
    const struct {
      const wchar_t* title;
      int width;
    } columns[] = {{L"", 60}, {L"Name", 160}, {L"Content", 160}};
    // The identifier column holds a state mark and an icon besides four letters: it is made wide enough for
    // them in the list's font rather than clip the identifier.
    const int identifierWidth =
        static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"WWWW"))) + 2 * 16 + 14;
    for (int index = 0; index < 3; ++index) {
      LVCOLUMNW column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.pszText = const_cast<wchar_t*>(columns[index].title);
      column.cx = index == 0 ? std::max(columns[index].width, identifierWidth) : columns[index].width;
      column.iSubItem = index;
      SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }
    return 0;
  });
}

void CMetadataLV::Clear() {
  if (list) SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  rows.clear();
  tags.clear();
  files.clear();
}

HRESULT STDMETHODCALLTYPE CMetadataLV::SetFiles(IMetadata** newFiles, UINT32 count) {
  return GuardedHResult([&]() -> HRESULT {
    Clear();
    readOnly = false;
    modified = false;
    if (!newFiles) count = 0;
    for (UINT32 index = 0; index < count; ++index) {
      IMetadata* file = newFiles[index];
      if (!file) continue;
      if (!(file->GetCapabilities() & kMetadataCanWrite)) readOnly = true;
      IMetadataTag* tag = nullptr;
      // A tag the engine cannot walk is shown empty; saving then replaces it.
      if (FAILED(file->GetTag(&tag)) || !tag || !CMetadataTag::From(tag)) {
        if (tag) tag->Release();
        tag = nullptr;
        MetadataCreateTag(&tag);
      }
      files.emplace_back(file);
      tags.push_back(ComPtr<IMetadataTag>::Adopt(tag));
    }

    // A frame joins the first row of its identifier that has no frame of this file yet.
    std::vector<std::unique_ptr<Row>> built;
    for (size_t fileIndex = 0; fileIndex < tags.size(); ++fileIndex) {
      ForEachFrame(CMetadataTag::From(tags[fileIndex].Get())->Id3(), [&](ID3_Frame& frame) {
        const char* textId = frame.GetTextID();
        const std::string id = textId ? textId : "";
        auto found = std::find_if(built.begin(), built.end(), [&](const std::unique_ptr<Row>& row) {
          return row->id == id && !row->frames[fileIndex];
        });
        if (found == built.end()) {
          auto row = std::make_unique<Row>();
          row->id = id;
          row->number = static_cast<UINT32>(frame.GetID());
          const FrameKind* kind = FindFrameKind(row->number);
          row->name = kind && kind->displayName[0] ? WidenAnsi(kind->displayName) : L"???";
          row->frames.assign(tags.size(), nullptr);
          ComPtr<IMetadataFrame> wrapper = Wrap(&frame);
          row->readOnly = !wrapper || wrapper->IsReadOnly();
          built.push_back(std::move(row));
          found = built.end() - 1;
        }
        (*found)->frames[fileIndex] = &frame;
      });
    }
    if (list) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (auto& row : built) AddRow(std::move(row));
    if (list) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    return S_OK;
  });
}

void CMetadataLV::AddRow(std::unique_ptr<Row> row) {
  Row* added = row.get();
  rows.push_back(std::move(row));
  if (!list) return;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  std::wstring id = WidenAnsi(added->id);
  item.pszText = id.data();
  item.lParam = reinterpret_cast<LPARAM>(added);
  item.iImage = IconOf(WrapperOf(added->number));
  const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index >= 0) FillItem(*added, index);
}

void CMetadataLV::FillItem(const Row& row, int item) {
  SetItemText(list, item, 1, row.name);
  SetItemText(list, item, 2, DisplayTextOf(row.First()));
  LVITEMW state = {};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(row.Differs() ? 1 : 0);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
}

int CMetadataLV::ItemOf(const Row* row) const {
  if (!list) return -1;
  LVFINDINFOW find = {};
  find.flags = LVFI_PARAM;
  find.lParam = reinterpret_cast<LPARAM>(row);
  return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

CMetadataLV::Row* CMetadataLV::RowAt(int item) const {
  if (!list || item < 0) return nullptr;
  LVITEMW query = {};
  query.mask = LVIF_PARAM;
  query.iItem = item;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) return nullptr;
  // Field lines carry no row; a pointer that is no row of ours is never followed.
  auto* row = reinterpret_cast<Row*>(query.lParam);
  for (const auto& owned : rows)
    if (owned.get() == row) return row;
  return nullptr;
}

CMetadataLV::Row* CMetadataLV::SelectedRow() const {
  if (!list) return nullptr;
  return RowAt(static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
}

void CMetadataLV::ShowFieldLines(Row& row, bool show) {
  const int item = ItemOf(&row);
  if (item < 0) return;
  if (row.expanded) {
    // The lines are the items below the row up to the next row.
    while (item + 1 < SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) && !RowAt(item + 1))
      SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(item + 1), 0);
    row.expanded = false;
  }
  if (!show) return;
  ID3_Frame* frame = row.First();
  ID3_Frame::Iterator* fields = frame->CreateIterator();
  if (!fields) return;
  int index = 0;
  while (ID3_Field* field = fields->GetNext()) {
    const auto [encoding, value] = FieldLine(*frame, *field);
    std::wstring number = FormatText(8, L"%02d", index);
    LVITEMW line = {};
    line.mask = LVIF_TEXT | LVIF_PARAM | LVIF_INDENT;
    line.iItem = item + 1 + index;
    line.iIndent = 1;
    line.pszText = number.data();
    line.lParam = 0;
    const int added = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&line)));
    if (added >= 0) {
      SetItemText(list, added, 1, encoding);
      SetItemText(list, added, 2, value);
    }
    ++index;
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
  delete fields;  // handed out with new; the library has no destroy function
#pragma GCC diagnostic pop
  row.expanded = true;
}

void CMetadataLV::RemoveRow(Row* row) {
  for (size_t fileIndex = 0; fileIndex < row->frames.size(); ++fileIndex) {
    if (!row->frames[fileIndex]) continue;
    delete CMetadataTag::From(tags[fileIndex].Get())->Id3().RemoveFrame(row->frames[fileIndex]);
  }
  if (row->expanded) ShowFieldLines(*row, false);
  const int item = ItemOf(row);
  if (item >= 0) SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(item), 0);
  rows.erase(std::find_if(rows.begin(), rows.end(), [&](const std::unique_ptr<Row>& owned) { return owned.get() == row; }));
  modified = true;
}

void CMetadataLV::SpreadFrame(Row& row, const ID3_Frame& source) {
  for (size_t fileIndex = 0; fileIndex < row.frames.size(); ++fileIndex) {
    ID3_Frame*& frame = row.frames[fileIndex];
    if (frame == &source) continue;
    if (frame) {
      *frame = source;
      continue;
    }
    auto copy = std::make_unique<ID3_Frame>(source);
    if (CMetadataTag::From(tags[fileIndex].Get())->Id3().AttachFrame(copy.get())) frame = copy.release();
  }
  const int item = ItemOf(&row);
  if (item >= 0) {
    FillItem(row, item);
    if (row.expanded) ShowFieldLines(row, true);
  }
  modified = true;
}

bool CMetadataLV::AddFrame(UINT32 number) {
  IMetadataFrame* created = nullptr;
  if (FAILED(MetadataCreateFrame(number, IID_IMetadataFrame, reinterpret_cast<void**>(&created))) || !created)
    return false;
  ComPtr<IMetadataFrame> frame = ComPtr<IMetadataFrame>::Adopt(created);
  if (frame->Edit(Owner()) != IDOK) return false;
  CMetadataFrameCore* core = CMetadataFrameCore::From(frame.Get());
  if (!core) return false;
  auto row = std::make_unique<Row>();
  row->number = number;
  const FrameKind* kind = FindFrameKind(number);
  row->id = kind ? kind->id : "";
  row->name = kind && kind->displayName[0] ? WidenAnsi(kind->displayName) : L"???";
  row->readOnly = frame->IsReadOnly();
  row->frames.assign(tags.size(), nullptr);
  Row& added = *row;
  AddRow(std::move(row));
  SpreadFrame(added, *core->frame);
  return true;
}

HRESULT STDMETHODCALLTYPE CMetadataLV::Save() {
  return GuardedHResult([&]() -> HRESULT {
    HRESULT first = S_OK, last = S_OK;
    std::vector<std::wstring> failed;
    // Each file is written on its own: one that fails keeps its old tag and the others are still saved.
    for (size_t index = 0; index < files.size(); ++index) {
      last = files[index]->SetTag(tags[index].Get());
      if (SUCCEEDED(last)) continue;
      if (SUCCEEDED(first)) first = last;
      CMetadataTag* tag = CMetadataTag::From(tags[index].Get());
      failed.push_back(tag ? tag->LinkedPath() : std::wstring());
    }
    if (failed.empty()) {
      modified = false;
      return last;
    }
    std::wstring message = kSaveFailed;
    message += L"\n";
    for (size_t index = 0; index < failed.size() && index < kNamedFailures; ++index)
      if (!failed[index].empty()) message += L"\n" + failed[index];
    if (failed.size() > kNamedFailures)
      message += FormatText(64, L"\n(%u more)", static_cast<unsigned>(failed.size() - kNamedFailures));
    EngineMessageBox(Owner(), message.c_str(), MB_OK | MB_ICONERROR);
    return first;
  });
}

HRESULT STDMETHODCALLTYPE CMetadataLV::ShowAddMenu(POINT* screenPoint) {
  return GuardedHResult([&]() -> HRESULT {
    if (readOnly || !list) return E_FAIL;
    HMENU menu = CreatePopupMenu();
    for (UINT32 number = 1; number <= kLastFrameNumber; ++number) {
      const FrameKind* kind = FindFrameKind(number);
      if (!kind || !kind->id[0] || kind->wrapper == FrameWrapper::None || kind->wrapper == FrameWrapper::TextReadOnly ||
          kind->wrapper == FrameWrapper::TextSongLen)
        continue;
      const bool present = std::any_of(rows.begin(), rows.end(),
                                       [&](const std::unique_ptr<Row>& row) { return row->number == number; });
      if (present && !IsRepeatable(kind->id)) continue;
      AppendMenuW(menu, MF_STRING, kFirstChoice + number, WidenAnsi(kind->displayName).c_str());
    }
    POINT at = screenPoint ? OnScreen(*screenPoint) : POINT{};
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, list, nullptr));
    DestroyMenu(menu);
    if (chosen >= kFirstChoice) AddFrame(chosen - kFirstChoice);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CMetadataLV::EditSelected() {
  return GuardedHResult([&]() -> HRESULT {
    Row* row = SelectedRow();
    if (readOnly || !row || row->readOnly) return E_FAIL;
    ID3_Frame* first = row->First();
    ComPtr<IMetadataFrame> wrapper = Wrap(first);
    if (!wrapper) return E_FAIL;
    // The editors store nothing they refused, so after Cancel the frame is as it was.
    if (wrapper->Edit(Owner()) != IDOK) return S_FALSE;
    SpreadFrame(*row, *first);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CMetadataLV::DeleteSelected() {
  return GuardedHResult([&]() -> HRESULT {
    Row* row = SelectedRow();
    if (readOnly || !row) return E_FAIL;
    RemoveRow(row);
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CMetadataLV::DeleteAll() {
  return GuardedHResult([&]() -> HRESULT {
    if (readOnly) return S_OK;
    modified = true;
    if (list) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    while (!rows.empty()) RemoveRow(rows.back().get());
    if (list) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    return S_OK;
  });
}

void CMetadataLV::ShowRowMenu(Row& row, POINT screen) {
  HMENU resource = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_METADATA_LV));
  if (!resource) resource = LoadMenuW(EngineModule(), MAKEINTRESOURCEW(IDM_METADATA_LV));
  if (!resource) return;
  HMENU menu = GetSubMenu(resource, 0);
  SetMenuDefaultItem(menu, IDC_METADATA_LV_EDIT, FALSE);
  if (readOnly || row.readOnly) EnableMenuItem(menu, IDC_METADATA_LV_EDIT, MF_BYCOMMAND | MF_GRAYED);
  if (readOnly) {
    EnableMenuItem(menu, IDC_METADATA_LV_REMOVE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, IDC_METADATA_LV_ADD, MF_BYCOMMAND | MF_GRAYED);
  }
  // The distinct values of a row the files disagree on, any of which can be given to every file.
  std::vector<ID3_Frame*> values;
  if (!readOnly && !row.readOnly && row.Differs()) {
    for (ID3_Frame* frame : row.frames) {
      if (!frame || values.size() >= kMostValues) continue;
      if (std::none_of(values.begin(), values.end(), [&](ID3_Frame* seen) { return SameFrame(*seen, *frame); }))
        values.push_back(frame);
    }
    if (!values.empty()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (size_t index = 0; index < values.size(); ++index)
      AppendMenuW(menu, MF_STRING, kFirstChoice + index, DisplayTextOf(values[index]).c_str());
  }
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, list, nullptr));
  DestroyMenu(resource);
  if (chosen == IDC_METADATA_LV_EDIT) {
    EditSelected();
  } else if (chosen == IDC_METADATA_LV_ADD) {
    ShowAddMenu(&screen);
  } else if (chosen == IDC_METADATA_LV_REMOVE) {
    DeleteSelected();
  } else if (chosen >= kFirstChoice && chosen - kFirstChoice < values.size()) {
    SpreadFrame(row, *values[chosen - kFirstChoice]);
  }
}

void CMetadataLV::ShowListMenu(POINT screen) {
  HMENU resource = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_METADATA_LV));
  if (!resource) resource = LoadMenuW(EngineModule(), MAKEINTRESOURCEW(IDM_METADATA_LV));
  if (!resource) return;
  HMENU menu = GetSubMenu(resource, 1);
  if (readOnly) {
    EnableMenuItem(menu, IDC_METADATA_LV_REMOVE_ALL, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, IDC_METADATA_LV_ADD, MF_BYCOMMAND | MF_GRAYED);
  }
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, list, nullptr));
  DestroyMenu(resource);
  if (chosen == IDC_METADATA_LV_REMOVE_ALL) DeleteAll();
  if (chosen == IDC_METADATA_LV_ADD) ShowAddMenu(&screen);
}

LRESULT STDMETHODCALLTYPE CMetadataLV::OnNotify(NMHDR* notification) {
  return GuardedCall<LRESULT>(0, 0, [&]() -> LRESULT {
    if (!notification || !list || notification->hwndFrom != list) return 0;
    switch (notification->code) {
      case LVN_GETINFOTIPW: {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(notification);
        const Row* row = RowAt(tip->iItem);
        const wchar_t* description = row ? KindDescription(row->id.c_str()) : nullptr;
        if (description && tip->pszText && tip->cchTextMax > 0) CopyToBuffer(tip->pszText, tip->cchTextMax, description);
        return 0;
      }
      case NM_CLICK:
      case NM_DBLCLK: {
        auto* click = reinterpret_cast<NMITEMACTIVATE*>(notification);
        LVHITTESTINFO hit = {};
        hit.pt = click->ptAction;
        SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        Row* row = RowAt(hit.iItem);
        if (!row) return 0;
        if (notification->code == NM_CLICK && hit.iSubItem == 0 && (hit.flags & LVHT_ONITEMICON)) {
          ShowFieldLines(*row, !row->expanded);
        } else if (notification->code == NM_DBLCLK && (hit.flags & LVHT_ONITEMLABEL)) {
          EditSelected();
        }
        return 0;
      }
      case NM_RETURN:
        EditSelected();
        return 0;
      case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<NMLVKEYDOWN*>(notification)->wVKey;
        if (key == VK_DELETE) DeleteSelected();
        if (key == VK_INSERT) {
          // From the keyboard the menu opens at the list's top left corner.
          POINT corner = {0, 0};
          ClientToScreen(list, &corner);
          ShowAddMenu(&corner);
        }
        return 0;
      }
      case NM_RCLICK: {
        auto* click = reinterpret_cast<NMITEMACTIVATE*>(notification);
        POINT screen = click->ptAction;
        ClientToScreen(list, &screen);
        if (Row* row = RowAt(click->iItem)) {
          ShowRowMenu(*row, screen);
        } else if (click->iItem < 0) {
          ShowListMenu(screen);
        }
        return 0;
      }
      default:
        return 0;
    }
  });
}

TAVCORE_API HRESULT WINAPI CreateMetaDataLV(IMetadataLV** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = new CMetadataLV();
    return S_OK;
  });
}
