// CWavMetadata: INFO ids mapped onto ID3 frames and back; the file is read and patched in place through
// wide-path Win32 calls with 64-bit offsets.
#include "CWavMetadata.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AbiGuard.h"
#include "CMetadataFrameText.h"
#include "CMetadataTag.h"
#include "ComPtr.h"
#include "InfoList.h"
#include "MetadataText.h"
#include "RiffLayout.h"
#include "TagBuilding.h"
#include "UniqueHandles.h"

namespace {

enum class InfoRole {
  Written,   // the frame is written under this id
  Replaced,  // read into the frame, and dropped when writing: the frame is written under another id
  Kept,      // read into the frame when nothing filled it before; a role of its own, so kept when writing
};

struct InfoRow {
  const char* id;
  const char* frame;
  InfoRole role;
};

const InfoRow kInfoRows[] = {
    {"INAM", "TIT2", InfoRole::Written}, {"IART", "TPE1", InfoRole::Written},  {"IPRD", "TALB", InfoRole::Written},
    {"ICMT", "COMM", InfoRole::Written}, {"ICRD", "TYER", InfoRole::Written},  {"IGNR", "TCON", InfoRole::Written},
    {"ITRK", "TRCK", InfoRole::Written}, {"IPRT", "TRCK", InfoRole::Replaced}, {"ICOP", "TCOP", InfoRole::Written},
    {"ISFT", "TSSE", InfoRole::Written}, {"ITCH", "TENC", InfoRole::Written},  {"IENG", "TENC", InfoRole::Kept},
    {"ILNG", "TLAN", InfoRole::Written},
};

const InfoRow* RowOfId(const std::string& id) {
  for (const InfoRow& row : kInfoRows) {
    bool same = id.size() == 4;
    for (size_t i = 0; same && i < 4; ++i)
      same = (id[i] >= 'a' && id[i] <= 'z' ? static_cast<char>(id[i] - 'a' + 'A') : id[i]) == row.id[i];
    if (same) return &row;
  }
  return nullptr;
}

bool IsDigit(wchar_t ch) { return ch >= L'0' && ch <= L'9'; }

bool AllDigits(const std::wstring& text, size_t at, size_t count) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

// A creation date gives the year (its first run of four digits) and, written as YYYY-MM-DD, the day and month.
void AddDate(ID3_Tag& tag, const std::wstring& date) {
  for (size_t i = 0; i + 4 <= date.size(); ++i) {
    if (!AllDigits(date, i, 4) || (i > 0 && IsDigit(date[i - 1]))) continue;
    AttachIfFirst(tag, NewTextFrame("TYER", date.substr(i, 4)));
    break;
  }
  if (date.size() != 10 || date[4] != L'-' || date[7] != L'-' || !AllDigits(date, 0, 4) || !AllDigits(date, 5, 2) ||
      !AllDigits(date, 8, 2))
    return;
  int month = std::stoi(date.substr(5, 2));
  int day = std::stoi(date.substr(8, 2));
  if (month >= 1 && month <= 12 && day >= 1 && day <= 31)
    AttachIfFirst(tag, NewTextFrame("TDAT", date.substr(8, 2) + date.substr(5, 2)));
}

void AddFrames(const std::vector<InfoEntry>& entries, ID3_Tag& tag) {
  for (const InfoEntry& entry : entries) {
    const InfoRow* row = RowOfId(entry.id);
    if (!row) continue;
    std::wstring text = DecodeInfoText(entry.text);
    if (text.empty()) continue;
    if (std::strcmp(row->frame, "TYER") == 0) {
      AddDate(tag, text);
    } else if (std::strcmp(row->frame, "COMM") == 0) {
      ID3_Frame* comment = NewTextFrame("COMM", text);
      if (comment) SetFieldText(*comment, ID3FN_LANGUAGE, L"eng");
      AttachIfFirst(tag, comment);
    } else {
      AttachIfFirst(tag, NewTextFrame(row->frame, text));
    }
  }
}

// The first frame with that identifier; for comments the first without a description (others are private
// data of other programs), else the first at all.
ID3_Frame* FrameOf(ID3_Tag& tag, const char* identifier) {
  ID3_Frame* found = nullptr;
  bool isComment = std::strcmp(identifier, "COMM") == 0;
  ForEachFrame(tag, [&](ID3_Frame& frame) {
    const char* id = frame.GetTextID();
    if (!id || std::strcmp(id, identifier) != 0) return;
    if (!found ||
        (isComment && !FieldText(*found, ID3FN_DESCRIPTION).empty() && FieldText(frame, ID3FN_DESCRIPTION).empty()))
      found = &frame;
  });
  return found;
}

std::wstring FrameTextOf(ID3_Tag& tag, const char* identifier) {
  ID3_Frame* frame = FrameOf(tag, identifier);
  return frame ? FieldText(*frame, ID3FN_TEXT) : std::wstring();
}

// The year, with the day and month of a TDAT frame (DDMM) when both are there: YYYY-MM-DD.
std::wstring DateOf(ID3_Tag& tag) {
  std::wstring year = FrameTextOf(tag, "TYER");
  std::wstring dayMonth = FrameTextOf(tag, "TDAT");
  if (year.size() != 4 || !AllDigits(year, 0, 4) || dayMonth.size() != 4 || !AllDigits(dayMonth, 0, 4)) return year;
  return year + L"-" + dayMonth.substr(2, 2) + L"-" + dayMonth.substr(0, 2);
}

std::vector<InfoEntry> EntriesOfTag(ID3_Tag& tag) {
  std::vector<InfoEntry> entries;
  for (const InfoRow& row : kInfoRows) {
    if (row.role != InfoRole::Written) continue;
    std::wstring text;
    if (std::strcmp(row.frame, "TYER") == 0)
      text = DateOf(tag);
    else if (std::strcmp(row.frame, "TCON") == 0)
      text = GenreText(FrameTextOf(tag, row.frame));  // genre numbers mean nothing outside ID3
    else
      text = FrameTextOf(tag, row.frame);
    if (!text.empty()) entries.push_back({row.id, NarrowUtf8(text)});
  }
  return entries;
}

// What a damaged list yields past its damage rarely has an id of letters and digits.
bool IsChunkId(const std::string& id) {
  return id.size() == 4 && std::all_of(id.begin(), id.end(), [](char ch) {
           return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == ' ';
         });
}

// Entries of the file's INFO lists that no frame stands for go back in unchanged (exact repeats once).
void KeepUnmappedEntries(RiffBytes& bytes, const std::vector<const RiffChunk*>& lists,
                         std::vector<InfoEntry>* entries) {
  const size_t mapped = entries->size();
  for (const RiffChunk* list : lists) {
    for (InfoEntry& entry : ReadInfoEntries(bytes, *list)) {
      const InfoRow* row = RowOfId(entry.id);
      if ((row && row->role != InfoRole::Kept) || !IsChunkId(entry.id)) continue;
      bool repeated =
          std::any_of(entries->begin() + static_cast<std::ptrdiff_t>(mapped), entries->end(),
                      [&](const InfoEntry& kept) { return kept.id == entry.id && kept.text == entry.text; });
      if (!repeated) entries->push_back(std::move(entry));
    }
  }
}

class FileRiffBytes final : public RiffBytes {
 public:
  explicit FileRiffBytes(HANDLE file) : file(file) {
    LARGE_INTEGER length = {};
    size = GetFileSizeEx(file, &length) && length.QuadPart > 0 ? static_cast<UINT64>(length.QuadPart) : 0;
  }
  UINT64 Size() const override { return size; }
  bool ReadAt(UINT64 offset, void* buffer, size_t count) override {
    if (offset > size || size - offset < count || count > MAXDWORD) return false;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ReadFile(file, buffer, static_cast<DWORD>(count), &read, nullptr) && read == count;
  }

 private:
  HANDLE file;
  UINT64 size = 0;
};

HRESULT LastError() {
  DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

bool MoveTo(HANDLE file, UINT64 offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
}

bool WriteAt(HANDLE file, UINT64 offset, const void* data, size_t size) {
  DWORD written = 0;
  return MoveTo(file, offset) && WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

bool Resize(HANDLE file, UINT64 size) { return MoveTo(file, size) && SetEndOfFile(file); }

// The audio never moves: only bytes after the last other chunk, the ids and bodies of older INFO lists and the
// RIFF size change.
HRESULT Apply(HANDLE file, UINT64 fileSize, const InfoWritePlan& plan, const std::string& chunk) {
  // Growing first makes a full disk fail before any byte has changed.
  if (plan.newFileSize > fileSize && !Resize(file, plan.newFileSize)) return LastError();
  if (plan.padAt && !WriteAt(file, plan.padAt, "", 1)) return LastError();
  if (!chunk.empty() && !WriteAt(file, plan.writeAt, chunk.data(), chunk.size())) return LastError();
  if (plan.newFileSize < fileSize && !Resize(file, plan.newFileSize)) return LastError();
  for (const RiffChunk& list : plan.junk) {
    std::string junk = "JUNK";
    junk.append(reinterpret_cast<const char*>(&list.size), 4);
    junk.append(list.size, '\0');
    if (!WriteAt(file, list.offset, junk.data(), junk.size())) return LastError();
  }
  const UINT32 riffSize = static_cast<UINT32>(plan.newFileSize - 8);
  if (!WriteAt(file, 4, &riffSize, sizeof(riffSize))) return LastError();
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CWavMetadata::GetTag(IMetadataTag** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    ComPtr<CMetadataTag> tag = ComPtr<CMetadataTag>::Adopt(new CMetadataTag());
    tag->LinkTo(path);
    // The source may hold the file open for reading while its tag is asked for.
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    try {
      FileRiffBytes bytes(file.Get());
      RiffLayout layout;
      if (file && layout.Walk(bytes)) {
        std::vector<const RiffChunk*> lists = layout.InfoLists(bytes);
        if (lists.size() > kMostInfoLists) lists.resize(kMostInfoLists);
        for (const RiffChunk* list : lists) AddFrames(ReadInfoEntries(bytes, *list), tag->Id3());
      }
    } catch (...) {
      // What was read before the failure is the tag.
    }
    *out = tag.Detach();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CWavMetadata::SetTag(IMetadataTag* tagInterface) {
  return GuardedHResult([&]() -> HRESULT {
    CMetadataTag* tag = CMetadataTag::From(tagInterface);
    if (!tag) return E_INVALIDARG;
    // Checked first: a privileged process could otherwise open a read-only file for writing.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastError();
    FileRiffBytes bytes(file.Get());
    RiffLayout layout;
    if (!layout.Walk(bytes)) return E_FAIL;
    std::vector<const RiffChunk*> lists = layout.InfoLists(bytes);
    if (lists.size() > kMostInfoLists) return E_FAIL;
    std::vector<InfoEntry> entries = EntriesOfTag(tag->Id3());
    KeepUnmappedEntries(bytes, lists, &entries);
    std::string chunk;
    if (!BuildInfoList(entries, &chunk)) return E_FAIL;
    InfoWritePlan plan = PlanInfoWrite(bytes, layout, chunk.size());
    if (!plan.possible) return E_FAIL;
    if (chunk.empty() && lists.empty()) return S_OK;
    return Apply(file.Get(), bytes.Size(), plan, chunk);
  });
}

HRESULT CreateWavMetadata(const wchar_t* path, IMetadata** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = new CWavMetadata(path);
    return S_OK;
  });
}
