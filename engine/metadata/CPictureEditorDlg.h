// CPictureEditorDlg: the APIC editor (picture type, MIME type, description, the picture bytes and a preview).
#pragma once

#include <string>

#include "FrameEditorDlg.h"

// A decoded picture scaled to fit a box, drawn centred; nothing at all for bytes that do not decode.
class CPicture {
 public:
  CPicture() = default;
  CPicture(const CPicture&) = delete;
  CPicture& operator=(const CPicture&) = delete;
  ~CPicture() { Clear(); }

  // false (and nothing shown) when the bytes are no picture the platform can decode.
  bool Load(const std::string& bytes, int boxWidth, int boxHeight, COLORREF background);
  void Clear();
  bool Empty() const { return bitmap == nullptr; }
  void Draw(HDC dc, const RECT& box) const;

 private:
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
};

class CPictureEditorDlg : public CFrameEditorDlg {
 public:
  INT_PTR DoModal(HWND parent);

  std::string data;
  std::wstring mimeType;
  std::wstring description;
  // The ID3v2 picture type (0 to 20); any other value is kept as it is unless the user chooses one.
  UINT32 pictureType = 0;

 protected:
  void OnInit() override;
  bool OnOK() override;
  void OnCommand(int id, int code) override;
  bool OnDrawItem(const DRAWITEMSTRUCT& item) override;

 private:
  void LoadPicture();
  void SavePicture();
  void ResetPicture();
  // Size text, MIME field, button states and preview after the picture changed.
  void ShowPicture();

  CPicture preview;
};

// The MIME type the platform's file-type registry gives the file's extension; empty when it has none.
std::wstring MimeTypeOfFile(const std::wstring& path);
