// CPictureEditorDlg: loads and saves the picture bytes, looks up their MIME type, previews them through WIC.
#include "CPictureEditorDlg.h"

#include <objbase.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cwchar>

#include "ComPtr.h"
#include "EngineMessageBox.h"
#include "EngineResources.h"
#include "FrameEditorShell.h"
#include "UniqueHandles.h"
#include "resource.h"

namespace {

// The attached-picture types of ID3v2 in the standard's order and wording.
const wchar_t* const kPictureTypes[] = {
    L"Other",
    L"32x32 pixels 'file icon' (PNG only)",
    L"Other file icon",
    L"Cover (front)",
    L"Cover (back)",
    L"Leaflet page",
    L"Media (e.g. lable side of CD)",
    L"Lead artist/lead performer/soloist",
    L"Artist/performer",
    L"Conductor",
    L"Band/Orchestra",
    L"Composer",
    L"Lyricist/text writer",
    L"Recording Location",
    L"During recording",
    L"During performance",
    L"Movie/video screen capture",
    L"A bright coloured fish",
    L"Illustration",
    L"Band/artist logotype",
    L"Publisher/Studio logotype",
};
constexpr UINT32 kPictureTypeCount = sizeof(kPictureTypes) / sizeof(kPictureTypes[0]);

const wchar_t kPictureFilter[] = L"JPEG files (.jpg)\0*.jpg;*.jpeg\0PNG files (.png)\0*.png\0All files (*.*)\0*.*\0";
const wchar_t kNoMimeType[] = L"Unable to get MIME type of the picture file.";
const wchar_t kNotAPicture[] = L"File selected is not a picture.";
const wchar_t kInteroperability[] = L"PNG or JPEG format should be used if interoperability is desired.\n";
const wchar_t kNoDescription[] = L"Please enter description for attached picture.";
const wchar_t kNoPicture[] = L"Please load a picture.";
const wchar_t kNotRead[] = L"The picture file cannot be read.";
const wchar_t kTooBig[] = L"The picture file is too big for a tag.";
const wchar_t kNotWritten[] = L"The picture file cannot be written.";

// An ID3v2 tag cannot be larger than its 28-bit size field allows.
constexpr LONGLONG kLargestPicture = 0x0FFFFFFF - 1024;
// Pictures beyond this many pixels are not decoded for the preview.
constexpr UINT64 kLargestPreviewSource = 64ull * 1024 * 1024;

enum class ReadResult { Read, Failed, TooBig };

ReadResult ReadWholeFile(const std::wstring& path, std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return ReadResult::Failed;
  if (size.QuadPart > kLargestPicture) return ReadResult::TooBig;
  std::string read(static_cast<size_t>(size.QuadPart), '\0');
  DWORD done = 0;
  if (!read.empty() &&
      (!ReadFile(file.Get(), read.data(), static_cast<DWORD>(read.size()), &done, nullptr) || done != read.size()))
    return ReadResult::Failed;
  bytes = std::move(read);
  return ReadResult::Read;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD done = 0;
  bool written =
      bytes.empty() ||
      (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size());
  if (!written) {
    // Not a broken picture left behind under the chosen name.
    file.Reset();
    DeleteFileW(path.c_str());
  }
  return written;
}

bool SameText(const std::wstring& text, const wchar_t* other) { return _wcsicmp(text.c_str(), other) == 0; }

}  // namespace

std::wstring MimeTypeOfFile(const std::wstring& path) {
  const wchar_t* extension = PathFindExtensionW(path.c_str());
  if (!extension || !*extension) return {};
  wchar_t type[256] = {};
  DWORD size = sizeof(type);
  if (RegGetValueW(HKEY_CLASSES_ROOT, extension, L"Content Type", RRF_RT_REG_SZ, nullptr, type, &size) == ERROR_SUCCESS)
    return type;
  // A system whose file-type registry lacks the usual pictures (a fresh Wine prefix has no content types at all)
  // can still load them.
  static const struct {
    const wchar_t* extension;
    const wchar_t* type;
  } kUsualPictures[] = {{L".jpg", L"image/jpeg"}, {L".jpeg", L"image/jpeg"}, {L".jpe", L"image/jpeg"},
                        {L".png", L"image/png"},  {L".gif", L"image/gif"},   {L".bmp", L"image/bmp"}};
  for (const auto& usual : kUsualPictures)
    if (_wcsicmp(extension, usual.extension) == 0) return usual.type;
  return {};
}

bool CPicture::Load(const std::string& bytes, int boxWidth, int boxHeight, COLORREF background) {
  Clear();
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu || boxWidth <= 0 || boxHeight <= 0) return false;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return false;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT sourceWidth = 0, sourceHeight = 0;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                          static_cast<DWORD>(bytes.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&sourceWidth, &sourceHeight)) || sourceWidth == 0 ||
      sourceHeight == 0 || static_cast<UINT64>(sourceWidth) * sourceHeight > kLargestPreviewSource)
    return false;
  // Fits the box, keeping the proportions.
  double scale = std::min(static_cast<double>(boxWidth) / sourceWidth, static_cast<double>(boxHeight) / sourceHeight);
  int fitWidth = std::max(1, static_cast<int>(sourceWidth * scale));
  int fitHeight = std::max(1, static_cast<int>(sourceHeight * scale));
  ComPtr<IWICBitmapScaler> scaler;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(frame.Get(), static_cast<UINT>(fitWidth), static_cast<UINT>(fitHeight),
                                WICBitmapInterpolationModeFant)) ||
      FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = fitWidth;
  info.bmiHeader.biHeight = -fitHeight;  // top-down, as WIC delivers the rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!made) return false;
  UINT stride = static_cast<UINT>(fitWidth) * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(fitHeight), static_cast<BYTE*>(bits)))) {
    DeleteObject(made);
    return false;
  }
  // Transparent parts show the dialog's colour (the pixels are premultiplied).
  BYTE* pixel = static_cast<BYTE*>(bits);
  const BYTE under[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (size_t i = 0, count = static_cast<size_t>(fitWidth) * fitHeight; i < count; ++i, pixel += 4) {
    for (int channel = 0; channel < 3; ++channel)
      pixel[channel] = static_cast<BYTE>(pixel[channel] + under[channel] * (255 - pixel[3]) / 255);
    pixel[3] = 255;
  }
  bitmap = made;
  width = fitWidth;
  height = fitHeight;
  return true;
}

void CPicture::Clear() {
  if (bitmap) DeleteObject(bitmap);
  bitmap = nullptr;
  width = height = 0;
}

void CPicture::Draw(HDC dc, const RECT& box) const {
  if (!bitmap) return;
  HDC source = CreateCompatibleDC(dc);
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  int x = box.left + ((box.right - box.left) - width) / 2;
  int y = box.top + ((box.bottom - box.top) - height) / 2;
  BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
}

INT_PTR CPictureEditorDlg::DoModal(HWND parent) {
  // WIC decodes the preview; an apartment the caller already chose is used as it is.
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INT_PTR result = CFrameEditorDlg::DoModal(parent, IDD_FRAME_PICTURE);
  preview.Clear();
  if (SUCCEEDED(initialized)) CoUninitialize();
  return result;
}

void CPictureEditorDlg::OnInit() {
  for (const wchar_t* type : kPictureTypes) Send(IDC_PICTURE_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
  Send(IDC_PICTURE_TYPE, CB_SETCURSEL, pictureType < kPictureTypeCount ? pictureType : static_cast<WPARAM>(-1));
  Send(IDC_FRAME_DESCRIPTION, EM_LIMITTEXT, kFrameTextLimit);
  SetItemText(IDC_FRAME_DESCRIPTION, description);
  ShowPicture();
}

void CPictureEditorDlg::ShowPicture() {
  SetItemText(IDC_PICTURE_MIME, mimeType);
  SetItemText(IDC_PICTURE_SIZE, FormatText(64, L"(%d bytes)", static_cast<int>(data.size())));
  Enable(IDC_PICTURE_SAVE, !data.empty());
  Enable(IDC_PICTURE_RESET, !data.empty());
  HWND frame = GetDlgItem(window, IDC_PICTURE_PREVIEW);
  RECT box = {};
  GetClientRect(frame, &box);
  // Inside the frame's sunken edge.
  preview.Load(data, box.right - box.left - 4, box.bottom - box.top - 4, GetSysColor(COLOR_BTNFACE));
  InvalidateRect(frame, nullptr, TRUE);
}

bool CPictureEditorDlg::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID != IDC_PICTURE_PREVIEW) return false;
  RECT box = item.rcItem;
  FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(item.hDC, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  preview.Draw(item.hDC, box);
  return true;
}

void CPictureEditorDlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_PICTURE_LOAD) LoadPicture();
  if (id == IDC_PICTURE_SAVE) SavePicture();
  if (id == IDC_PICTURE_RESET) ResetPicture();
}

void CPictureEditorDlg::LoadPicture() {
  std::wstring path;
  if (!ChooseFile(window, false, kPictureFilter, path)) return;
  std::wstring type = MimeTypeOfFile(path);
  if (type.empty()) {
    EngineMessageBox(window, kNoMimeType, MB_OK | MB_ICONERROR);
    return;
  }
  if (_wcsnicmp(type.c_str(), L"image", 5) != 0) {
    EngineMessageBox(window, kNotAPicture, MB_OK | MB_ICONERROR);
    return;
  }
  if (!SameText(type, L"image/jpeg") && !SameText(type, L"image/png"))
    EngineMessageBox(window, kInteroperability, MB_OK | MB_ICONINFORMATION);
  std::string bytes;
  switch (ReadWholeFile(path, bytes)) {
    case ReadResult::Failed:
      EngineMessageBox(window, kNotRead, MB_OK | MB_ICONERROR);
      return;
    case ReadResult::TooBig:
      EngineMessageBox(window, kTooBig, MB_OK | MB_ICONERROR);
      return;
    case ReadResult::Read:
      break;
  }
  data = std::move(bytes);
  mimeType = type;
  ShowPicture();
}

void CPictureEditorDlg::SavePicture() {
  if (data.empty()) return;
  std::wstring path;
  if (!ChooseFile(window, true, kPictureFilter, path)) return;
  if (!WriteWholeFile(path, data)) EngineMessageBox(window, kNotWritten, MB_OK | MB_ICONERROR);
}

void CPictureEditorDlg::ResetPicture() {
  data.clear();
  mimeType.clear();
  SetItemText(IDC_FRAME_DESCRIPTION, L"");
  ShowPicture();
}

bool CPictureEditorDlg::OnOK() {
  std::wstring typed = ItemText(IDC_FRAME_DESCRIPTION);
  if (typed.empty()) {
    Refuse(kNoDescription, IDC_FRAME_DESCRIPTION);
    return false;
  }
  if (data.empty()) {
    Refuse(kNoPicture, IDC_PICTURE_LOAD);
    return false;
  }
  description = typed;
  LRESULT chosen = Send(IDC_PICTURE_TYPE, CB_GETCURSEL);
  if (chosen >= 0) pictureType = static_cast<UINT32>(chosen);
  return true;
}
