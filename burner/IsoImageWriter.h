// Writes a data CD as an ISO 9660 image with a Joliet tree: 8.3 upper-case names in the primary tree for old
// readers, full Unicode names (up to 64 UCS-2 characters) in the Joliet tree; both trees share the file data.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum class IsoError {
  None,
  SourceUnreadable,   // a source file is missing, unreadable, or changed size while being written
  PathTooDeep,        // more folder levels than ISO 9660 allows
  TooManyFolders,     // more folders than a path table can number
  FileTooLarge,       // a file of 4 GiB or more needs more than one extent
  ExceedsCapacity,    // the image would not fit the disc
  OutputFailed,       // the image could not be created, written or renamed
};

class CIsoImageWriter {
 public:
  static constexpr uint32_t kSectorSize = 2048;
  static constexpr uint64_t kCapacity650MB = 333000ull * kSectorSize;  // 74-minute disc
  static constexpr uint64_t kCapacity700MB = 360000ull * kSectorSize;  // 80-minute disc
  static constexpr size_t kMaxJolietChars = 64;
  static constexpr size_t kMaxFolderLevels = 7;  // below the root: eight levels in all

  // Where each added file ends up, in the order of AddFile; filled by ComputeImageSize and Write.
  struct Placement {
    std::wstring jolietPath;  // "Folder/Name.mp3"
    std::string isoPath;      // "FOLDER/NAME.MP3;1"
  };

  explicit CIsoImageWriter(std::wstring volumeLabel);

  // discPath: the name on the disc, folders separated by '/' or '\'. Names are cleaned and made unique when the
  // image is laid out, so two files may be given the same name.
  void AddFile(std::wstring sourcePath, std::wstring discPath);

  // Lays the image out (reading the sources' sizes) and gives its size in bytes.
  bool ComputeImageSize(uint64_t& bytes);

  // Writes the image. Refuses before creating anything when it exceeds capacityBytes. The image is written under a
  // temporary name and renamed at the end: on failure no new file is left and an older image there is kept.
  bool Write(const std::wstring& imagePath, uint64_t capacityBytes);

  IsoError LastError() const { return error; }
  const std::wstring& LastErrorText() const { return errorText; }
  const std::vector<Placement>& Placements() const { return placements; }

  // The names the trees use for one name; exposed so callers can preview them.
  static std::wstring JolietName(const std::wstring& name, bool isFolder);
  static std::string IsoName(const std::wstring& name, bool isFolder);  // without ";1"

  struct Layout;

 private:
  bool Fail(IsoError code, std::wstring text);
  bool Plan(Layout& layout);
  bool WriteTo(HANDLE file, const Layout& layout);

  std::wstring label;
  struct Source {
    std::wstring sourcePath;
    std::wstring discPath;
  };
  std::vector<Source> sources;
  std::vector<Placement> placements;
  IsoError error = IsoError::None;
  std::wstring errorText;
};
