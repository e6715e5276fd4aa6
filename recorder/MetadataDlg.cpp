// "Edit ID3" and the tag writer.
#include "MetadataDlg.h"

#include "UserMessage.h"
#include "resource.h"

namespace {
// Holds one reference of an engine object.
template <class T>
class Held {
 public:
  Held() = default;
  ~Held() {
    if (object) object->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* operator->() const { return object; }
  T* get() const { return object; }
  T** out() { return &object; }
  void** outVoid() { return reinterpret_cast<void**>(&object); }

 private:
  T* object = nullptr;
};

HRESULT AddTextFrame(IMetadataTag* tag, UINT32 number, const std::wstring& text) {
  Held<IMetadataFrameText> frame;
  HRESULT result = MetadataCreateFrame(number, IID_IMetadataFrameText, frame.outVoid());
  if (FAILED(result) || !frame.get()) return FAILED(result) ? result : E_FAIL;
  if (!frame->SetText(text.c_str())) return E_FAIL;
  frame->AttachTo(tag);
  return S_OK;
}

HRESULT AddCommentFrame(IMetadataTag* tag, const std::wstring& text) {
  Held<IMetadataFrameComment> frame;
  HRESULT result = MetadataCreateFrame(kFrameComment, IID_IMetadataFrameComment, frame.outVoid());
  if (FAILED(result) || !frame.get()) return FAILED(result) ? result : E_FAIL;
  if (!frame->SetText(text.c_str())) return E_FAIL;
  frame->AttachTo(tag);
  return S_OK;
}

std::wstring Number(int value) { return std::to_wstring(value); }

std::wstring TrimmedGenre(UINT32 index) {
  const wchar_t* name = GenreGet(index);
  std::wstring text = name ? name : L"";
  while (!text.empty() && text.back() == L' ') text.pop_back();
  return text;
}
}  // namespace

HRESULT WriteRecordingTags(IConvertDestination* destination, const RecordingTags& tags) {
  if (!destination) return E_POINTER;
  Held<IMetadata> metadata;
  if (!destination->GetMetadata(metadata.out()) || !metadata.get()) return S_FALSE;
  Held<IMetadataTag> tag;
  HRESULT result = MetadataCreateTag(tag.out());
  if (FAILED(result) || !tag.get()) return FAILED(result) ? result : E_FAIL;
  // A frame that cannot be made is left out; the others are still written.
  if (!tags.title.empty()) AddTextFrame(tag.get(), kFrameTitle, tags.title);
  if (!tags.album.empty()) AddTextFrame(tag.get(), kFrameAlbum, tags.album);
  if (!tags.artist.empty()) AddTextFrame(tag.get(), kFrameLeadArtist, tags.artist);
  if (tags.year > 0) AddTextFrame(tag.get(), kFrameYear, Number(tags.year));
  if (tags.genre >= 0) AddTextFrame(tag.get(), kFrameGenre, L"(" + Number(tags.genre) + L")");
  if (tags.track > 0) AddTextFrame(tag.get(), kFrameTrackNumber, Number(tags.track));
  if (!tags.comment.empty()) AddCommentFrame(tag.get(), tags.comment);
  return metadata->SetTag(tag.get());
}

INT_PTR CMetadataDlg::Run(HWND parent) { return RunModal(GetModuleHandleW(nullptr), IDD_METADATA, parent); }

INT_PTR CMetadataDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_TAG_RESET:
          OnReset();
          return TRUE;
        case IDOK:
          OnOK();
          return TRUE;
        case IDCANCEL:
          EndDialog(window, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void CMetadataDlg::OnInit() {
  for (int id : {IDC_TAG_TITLE, IDC_TAG_ARTIST, IDC_TAG_ALBUM})
    SendDlgItemMessageW(window, id, EM_LIMITTEXT, RecordingTags::kTextLength - 1, 0);
  SendDlgItemMessageW(window, IDC_TAG_COMMENT, EM_LIMITTEXT, RecordingTags::kCommentLength - 1, 0);
  SendDlgItemMessageW(window, IDC_TAG_YEAR, EM_LIMITTEXT, 4, 0);
  SendDlgItemMessageW(window, IDC_TAG_TRACK, EM_LIMITTEXT, 3, 0);
  HWND genres = GetDlgItem(window, IDC_TAG_GENRE);
  SendMessageW(genres, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
  for (UINT32 index = 0; index < GenreGetCount(); ++index)
    SendMessageW(genres, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TrimmedGenre(index).c_str()));
  Show(tags);
}

void CMetadataDlg::Show(const RecordingTags& shown) {
  SetDlgItemTextW(window, IDC_TAG_TITLE, shown.title.c_str());
  SetDlgItemTextW(window, IDC_TAG_ARTIST, shown.artist.c_str());
  SetDlgItemTextW(window, IDC_TAG_ALBUM, shown.album.c_str());
  SetDlgItemTextW(window, IDC_TAG_YEAR, shown.year > 0 ? Number(shown.year).c_str() : L"");
  SetDlgItemTextW(window, IDC_TAG_TRACK, shown.track > 0 ? Number(shown.track).c_str() : L"");
  SetDlgItemTextW(window, IDC_TAG_COMMENT, shown.comment.c_str());
  const int count = static_cast<int>(SendDlgItemMessageW(window, IDC_TAG_GENRE, CB_GETCOUNT, 0, 0));
  const int entry = shown.genre + 1 < count ? shown.genre + 1 : 0;
  SendDlgItemMessageW(window, IDC_TAG_GENRE, CB_SETCURSEL, static_cast<WPARAM>(entry < 0 ? 0 : entry), 0);
}

void CMetadataDlg::OnReset() {
  if (ShowMessage(window, L"Do you want to reset all fields?", L"Question", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  Show(RecordingTags());
}

void CMetadataDlg::OnOK() {
  RecordingTags edited;
  edited.title = ItemText(IDC_TAG_TITLE);
  edited.artist = ItemText(IDC_TAG_ARTIST);
  edited.album = ItemText(IDC_TAG_ALBUM);
  edited.comment = ItemText(IDC_TAG_COMMENT);
  edited.year = static_cast<int>(GetDlgItemInt(window, IDC_TAG_YEAR, nullptr, FALSE));
  edited.track = static_cast<int>(GetDlgItemInt(window, IDC_TAG_TRACK, nullptr, FALSE));
  const LRESULT entry = SendDlgItemMessageW(window, IDC_TAG_GENRE, CB_GETCURSEL, 0, 0);
  edited.genre = entry > 0 ? static_cast<int>(entry) - 1 : -1;
  tags = edited;
  EndDialog(window, IDOK);
}
