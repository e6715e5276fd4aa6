// The CD image (".fgx"): the burner's list of files with its disc format and volume label, kept as a small XML
// document read and written through the platform's XML DOM (MSXML 3).
//
//   <!--product notice--><!--product notice-->
//   <cdimage version="1">
//     <format id="redbook|mp3cd|wmacd"/>
//     <volume label="..."/>
//     <tracklist><track idx="0" file="C:\full\path.mp3"/>...</tracklist>
//   </cdimage>
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CdImage {
  static constexpr int kFormatRedBook = 1;
  static constexpr int kFormatMp3Cd = 2;
  static constexpr int kFormatWmaCd = 3;
  static constexpr size_t kMaxLabelChars = 32;

  int format = kFormatRedBook;
  std::wstring label;
  std::vector<std::wstring> files;  // full paths, in row order
};

enum class CdImageError {
  None,
  NotFound,       // Load: no file at that path
  InvalidFormat,  // Load: unreadable, not XML, or not a "cdimage" document
  SaveFailed,     // Save: the DOM could not build it, a text cannot be stored in XML, or the file could not be written
};

class CCdImageFile {
 public:
  static constexpr const wchar_t* kExtension = L".fgx";
  static constexpr const wchar_t* kWorkingImageName = L"WorkingCDImage";
  static constexpr size_t kMaxFileBytes = 64u << 20;  // far above any real list; bounds memory for a wrong file

  // Texts of the "CD Images" dialog.
  static constexpr const wchar_t* kMsgEnterSaveName = L"Please enter a name for the CD image you would like to save.";
  static constexpr const wchar_t* kMsgOverwrite = L"This CD image file already exists. Would you like to overwrite it?";
  static constexpr const wchar_t* kMsgCannotSave = L"The CD image cannot be saved.";
  static constexpr const wchar_t* kMsgEnterLoadName = L"Please enter or select the name of the CD image to load.";
  static constexpr const wchar_t* kMsgNotExist = L"The CD image file does not exist.";
  static constexpr const wchar_t* kMsgLoseCurrent = L"The current CD image is lost after loading. Continue?";
  static constexpr const wchar_t* kMsgCannotLoad = L"The selected CD image cannot be loaded (probably invalid format).";
  static constexpr const wchar_t* kMsgEnterDeleteName = L"Please enter or select the name of the CD image to delete.";
  static constexpr const wchar_t* kMsgConfirmDelete = L"Do you want to delete the selected CD image?";

  // Reads an image. The label is cut to kMaxLabelChars; entries whose files are missing are kept (see MissingFiles).
  // On failure `image` is left unchanged and LastErrorText() is the message to show.
  bool Load(const std::wstring& path, CdImage& image);

  // Writes an image under a temporary name in the same folder, then replaces `path` with it: on failure the file
  // already at `path` is left as it was and no temporary file remains.
  bool Save(const std::wstring& path, const CdImage& image);

  CdImageError LastError() const { return error; }
  const std::wstring& LastErrorText() const { return errorText; }      // one of the messages above, or empty
  const std::wstring& LastErrorDetail() const { return errorDetail; }  // what exactly failed, for logs

  // The path a name typed or picked in the dialog stands for: a name without folder lies in imagesFolder and gets
  // kExtension (unless it already ends with it); a name with a folder is taken as it is.
  static std::wstring PathForName(const std::wstring& imagesFolder, const std::wstring& name);

  // Indexes of the entries whose files do not exist (their rows show an unknown length).
  static std::vector<size_t> MissingFiles(const CdImage& image);

  static const wchar_t* FormatId(int format);       // "redbook", "mp3cd", "wmacd"
  static int FormatFromId(const std::wstring& id);  // unknown ids give kFormatRedBook

 private:
  bool Fail(CdImageError code, std::wstring detail);

  CdImageError error = CdImageError::None;
  std::wstring errorText;
  std::wstring errorDetail;
};
