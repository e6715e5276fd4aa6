// Sectors come from the span that holds them: silence for a pregap outside the files, else the file's bytes.
#include "VirtualDisc.h"

#include <algorithm>
#include <cstring>

namespace {
std::string ReadText(HANDLE file, unsigned long long size) {
  std::string text(static_cast<size_t>(std::min<unsigned long long>(size, 1 << 20)), '\0');
  DWORD read = 0;
  if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) return {};
  text.resize(read);
  return text;
}

unsigned long long FileSize(HANDLE file) {
  LARGE_INTEGER size = {};
  return GetFileSizeEx(file, &size) ? static_cast<unsigned long long>(size.QuadPart) : 0;
}
}  // namespace

bool VirtualDisc::Load(const std::wstring& cuePath, std::wstring* error) {
  files.clear();
  HANDLE cue = CreateFileW(cuePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (cue == INVALID_HANDLE_VALUE) {
    if (error) *error = L"The CUE sheet cannot be opened: " + cuePath;
    return false;
  }
  const std::string text = ReadText(cue, FileSize(cue));
  CloseHandle(cue);
  CueSheet sheet;
  if (!ParseCueSheet(text, &sheet, error)) return false;
  const size_t slash = cuePath.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : cuePath.substr(0, slash + 1);
  std::vector<unsigned long long> sectors;
  for (const std::wstring& name : sheet.files) {
    const bool absolute = name.size() > 1 && (name[1] == L':' || name[0] == L'\\' || name[0] == L'/');
    const std::wstring path = absolute ? name : folder + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (error) *error = L"The image file of the sheet is missing: " + path;
      files.clear();
      return false;
    }
    files.emplace_back(file);
    sectors.push_back(FileSize(file) / kSectorBytes);
  }
  if (!LayOutDisc(sheet, sectors, &layout, error)) {
    files.clear();
    return false;
  }
  return true;
}

bool VirtualDisc::ReadSectors(DWORD lba, DWORD count, BYTE* buffer) const {
  if (files.empty() || static_cast<unsigned long long>(lba) + count > layout.leadOut) return false;
  for (DWORD done = 0; done < count;) {
    const DWORD sector = lba + done;
    auto span = std::find_if(layout.spans.begin(), layout.spans.end(), [sector](const DiscLayout::Span& s) {
      return sector >= s.first && sector - s.first < s.count;
    });
    if (span == layout.spans.end()) return false;
    const DWORD run = std::min(count - done, span->count - (sector - span->first));
    BYTE* out = buffer + static_cast<size_t>(done) * kSectorBytes;
    const size_t bytes = static_cast<size_t>(run) * kSectorBytes;
    if (span->file < 0) {
      std::memset(out, 0, bytes);
    } else {
      OVERLAPPED at = {};
      const unsigned long long offset =
          span->offset + static_cast<unsigned long long>(sector - span->first) * kSectorBytes;
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD read = 0;
      if (!ReadFile(files[static_cast<size_t>(span->file)].get(), out, static_cast<DWORD>(bytes), &read, &at) ||
          read != bytes)
        return false;
    }
    done += run;
  }
  return true;
}
