// Expanding folders and playlists into the files to convert.
#include "InputCollector.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <set>

#include "FileIdentity.h"
#include "SafeOutput.h"
#include "tavcore.h"

namespace {
bool IsReadable(const std::wstring& path) {
  CONVFORMAT row;
  return ConvGetFormatOf(&row, path.c_str()) == S_OK && row.sourceClass;
}

struct SearchCloser {
  void operator()(HANDLE search) const { FindClose(search); }
};
using ScopedSearch = std::unique_ptr<void, SearchCloser>;

// One walk below a folder given by the user. Linked folders are followed (users link their music folders
// together), but a folder or file already reached is never taken again, which also ends link loops.
class FolderWalk {
 public:
  explicit FolderWalk(std::vector<std::wstring>& files) : files(files) {}

  void Add(const std::wstring& folder) {
    if (!FirstVisit(folder)) return;
    std::vector<std::wstring> found, subfolders;
    WIN32_FIND_DATAW data;
    HANDLE first = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (first == INVALID_HANDLE_VALUE) return;
    ScopedSearch search(first);
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        subfolders.push_back(path);
      else if (IsReadable(path))
        found.push_back(path);
    } while (FindNextFileW(first, &data));
    search.reset();
    std::sort(found.begin(), found.end());
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::wstring& file : found)
      if (FirstVisit(file)) files.push_back(file);
    for (const std::wstring& subfolder : subfolders) Add(subfolder);
  }

 private:
  // What cannot be identified is taken as new: it cannot be told apart, and dropping it would lose input.
  bool FirstVisit(const std::wstring& path) {
    FileIdentity identity;
    return !IdentityOf(path, &identity) || visited.insert(identity).second;
  }

  std::vector<std::wstring>& files;
  std::set<FileIdentity> visited;
};

bool AddPlaylist(const std::wstring& path, std::vector<std::wstring>& files) {
  // The engine tells playlist kinds apart by the exact extension, while users write it in any case: such a
  // playlist is read through a copy beside it, so relative entries still resolve against its folder.
  std::wstring extension = LowerExtension(path);
  std::wstring source = path;
  bool copied = false;
  if (path.compare(path.size() - extension.size(), extension.size(), extension) != 0) {
    source = TemporaryPlaylistName(path);
    if (source.empty() || !CopyFileW(path.c_str(), source.c_str(), TRUE)) return false;
    copied = true;
  }
  IPlaylist* playlist = nullptr;
  bool ok = PlaylistCreateFromFile(source.c_str(), &playlist) == S_OK && playlist;
  if (copied) DeleteFileW(source.c_str());
  if (!ok) return false;
  wchar_t entry[MAX_PATH] = {};
  while (playlist->GetNext(entry) == S_OK) files.push_back(entry);
  playlist->Destroy();
  return true;
}
}  // namespace

std::wstring LowerExtension(const std::wstring& path) {
  size_t dot = path.rfind(L'.');
  size_t slash = path.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
  std::wstring extension = path.substr(dot);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(towlower(c));
  return extension;
}

std::wstring AbsolutePath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2] = {};
  DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(full) : path;
}

CollectedInputs CollectInputs(const std::vector<std::wstring>& arguments) {
  CollectedInputs inputs;
  for (const std::wstring& argument : arguments) {
    std::wstring path = AbsolutePath(argument);
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      inputs.problems.push_back(L"Input not found: " + argument);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      size_t before = inputs.files.size();
      FolderWalk(inputs.files).Add(path);
      if (inputs.files.size() == before) inputs.problems.push_back(L"No audio files in folder: " + argument);
    } else if (std::wstring extension = LowerExtension(path);
               extension == L".m3u" || extension == L".m3u8" || extension == L".pls") {
      size_t before = inputs.files.size();
      if (!AddPlaylist(path, inputs.files))
        inputs.problems.push_back(L"Playlist cannot be read: " + argument);
      else if (inputs.files.size() == before)
        inputs.problems.push_back(L"Playlist has no entries: " + argument);
    } else {
      inputs.files.push_back(path);
    }
  }
  return inputs;
}
