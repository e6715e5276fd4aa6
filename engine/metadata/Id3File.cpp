// ID3 tags of a file on disk. The library is given memory, never the file: its file functions take narrow
// names only, and its ID3v1 parsing damages non-ASCII ID3v2 text, so the ID3v1 tag is read and written here.
#include "Id3File.h"

#include <id3/readers.h>

#include <algorithm>
#include <cstring>

#include "Genres.h"
#include "Id3v24Conversion.h"
#include "MetadataText.h"
#include "PathText.h"
#include "UniqueHandles.h"

namespace {

constexpr size_t kV1Size = 128;
constexpr size_t kV2HeaderSize = 10;

struct FileLayout {
  UINT64 fileSize = 0;
  UINT64 v2Length = 0;  // the ID3v2 tag in front (header, body and footer), cut to the file
  bool hasV1 = false;
};

bool ReadAt(HANDLE file, UINT64 offset, void* buffer, size_t size) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
  char* target = static_cast<char*>(buffer);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
    DWORD read = 0;
    if (!ReadFile(file, target, chunk, &read, nullptr) || read == 0) return false;
    target += read;
    size -= read;
  }
  return true;
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* source = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, source, chunk, &written, nullptr) || written == 0) return false;
    source += written;
    size -= written;
  }
  return true;
}

bool Seek(HANDLE file, UINT64 offset) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != 0;
}

// Total length of an ID3v2 tag from its header; 0 when the bytes are no ID3v2 header.
UINT64 Id3v2Length(const unsigned char* header) {
  if (std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF) return 0;
  UINT64 size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return 0;
    size = (size << 7) | header[i];
  }
  bool footer = header[3] >= 4 && (header[5] & 0x10);
  return kV2HeaderSize + size + (footer ? kV2HeaderSize : 0);
}

bool ReadLayout(HANDLE file, FileLayout* layout) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return false;
  layout->fileSize = static_cast<UINT64>(size.QuadPart);
  unsigned char header[kV2HeaderSize];
  if (layout->fileSize >= kV2HeaderSize && ReadAt(file, 0, header, kV2HeaderSize))
    layout->v2Length = std::min(Id3v2Length(header), layout->fileSize);
  if (layout->fileSize >= layout->v2Length + kV1Size) {
    char tag[3];
    layout->hasV1 = ReadAt(file, layout->fileSize - kV1Size, tag, 3) && std::memcmp(tag, "TAG", 3) == 0;
  }
  return true;
}

std::string ReadRange(HANDLE file, UINT64 offset, UINT64 length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  if (length && !ReadAt(file, offset, bytes.data(), bytes.size())) return {};
  return bytes;
}

// A fixed ID3v1 text field: cut at the first NUL, trailing blanks removed.
std::wstring V1Text(const char* field, size_t length) {
  std::string text(field, strnlen(field, length));
  text.erase(text.find_last_not_of(' ') + 1);
  return WidenAnsi(text);
}

ID3_Frame* FirstFrame(ID3_Tag& tag, ID3_FrameID id) {
  ID3_Frame* found = nullptr;
  ForEachFrame(tag, [&](ID3_Frame& frame) {
    if (!found && frame.GetID() == id) found = &frame;
  });
  return found;
}

void AddFrameIfMissing(ID3_Tag& tag, ID3_FrameID id, const std::wstring& text) {
  if (text.empty() || FirstFrame(tag, id)) return;
  auto* frame = new ID3_Frame(id);
  SetFieldText(*frame, ID3FN_TEXT, text);
  if (id == ID3FID_COMMENT) {
    SetFieldText(*frame, ID3FN_DESCRIPTION, L"");
    SetFieldText(*frame, ID3FN_LANGUAGE, L"eng");
  }
  tag.AttachFrame(frame);
}

void MergeId3v1(const char* v1, ID3_Tag& tag) {
  AddFrameIfMissing(tag, ID3FID_TITLE, V1Text(v1 + 3, 30));
  AddFrameIfMissing(tag, ID3FID_LEADARTIST, V1Text(v1 + 33, 30));
  AddFrameIfMissing(tag, ID3FID_ALBUM, V1Text(v1 + 63, 30));
  AddFrameIfMissing(tag, ID3FID_YEAR, V1Text(v1 + 93, 4));
  // ID3v1.1: a zero byte before the last comment byte makes that byte the track number.
  bool hasTrack = v1[125] == 0 && v1[126] != 0;
  AddFrameIfMissing(tag, ID3FID_COMMENT, V1Text(v1 + 97, hasTrack ? 28 : 30));
  if (hasTrack) AddFrameIfMissing(tag, ID3FID_TRACKNUM, std::to_wstring(static_cast<unsigned char>(v1[126])));
  unsigned genre = static_cast<unsigned char>(v1[127]);
  if (genre != 255) AddFrameIfMissing(tag, ID3FID_CONTENTTYPE, L"(" + std::to_wstring(genre) + L")");
}

void NormalizeEncodings(ID3_Tag& tag) {
  ForEachFrame(tag, [](ID3_Frame& frame) { NormalizeFrameEncodings(frame); });
}

int LeadingNumber(const std::wstring& text) {
  size_t start = text.find_first_not_of(L" (");
  if (start == std::wstring::npos || !iswdigit(text[start])) return -1;
  return static_cast<int>(std::wcstol(text.c_str() + start, nullptr, 10));
}

int V1Genre(const std::wstring& text) {
  if (!text.empty() && text[0] == L'(') {
    int number = LeadingNumber(text);
    if (number >= 0 && number < 255) return number;
  }
  std::wstring trimmed = text;
  trimmed.erase(0, trimmed.find_first_not_of(L' '));
  trimmed.erase(trimmed.find_last_not_of(L' ') + 1);
  int index = GenreIndexOf(trimmed.c_str());
  if (index >= 0) return index;
  int number = LeadingNumber(text);
  return number >= 0 && number < 255 ? number : 255;
}

}  // namespace

// The tag library keeps text as read; text in encodings that ID3v2.3 lacks is stored again by the encoding
// rule so that what is written later is valid ID3v2.3.
void NormalizeFrameEncodings(ID3_Frame& frame) {
  ID3_FieldID toStore[ID3FN_LASTFIELDID];
  size_t count = 0;
  ID3_Frame::Iterator* iterator = frame.CreateIterator();
  while (ID3_Field* field = iterator ? iterator->GetNext() : nullptr) {
    ID3_TextEnc encoding = field->GetEncoding();
    if (field->IsEncodable() && (encoding == ID3TE_UTF8 || encoding == ID3TE_UTF16BE) && count < ID3FN_LASTFIELDID)
      toStore[count++] = field->GetID();
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
  delete iterator;
#pragma GCC diagnostic pop
  for (size_t i = 0; i < count; ++i) SetFieldText(frame, toStore[i], FieldText(frame, toStore[i]));
}

bool ParseId3v2(const std::string& bytes, ID3_Tag& tag) {
  if (bytes.size() < kV2HeaderSize) return false;
  try {
    // The library stops at ID3v2.4 headers: such tags are handed over as ID3v2.3.
    std::string converted = bytes[3] == 4 ? ConvertId3v24To23(bytes) : std::string();
    const std::string& input = converted.empty() ? bytes : converted;
    ID3_MemoryReader reader(input.data(), input.size());
    bool parsed = tag.Parse(reader);
    NormalizeEncodings(tag);
    return parsed;
  } catch (...) {
    return false;
  }
}

void ReadId3File(const std::wstring& path, ID3_Tag& tag) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  FileLayout layout;
  if (!ReadLayout(file.Get(), &layout)) return;
  if (layout.v2Length) ParseId3v2(ReadRange(file.Get(), 0, layout.v2Length), tag);
  if (layout.hasV1) {
    char v1[kV1Size];
    if (ReadAt(file.Get(), layout.fileSize - kV1Size, v1, kV1Size)) {
      try {
        MergeId3v1(v1, tag);
      } catch (...) {
      }
    }
  }
}

std::string RenderId3v1(ID3_Tag& tag) {
  std::string v1(kV1Size, '\0');
  std::memcpy(v1.data(), "TAG", 3);
  auto put = [&](size_t offset, size_t length, ID3_FrameID id) {
    ID3_Frame* frame = FirstFrame(tag, id);
    if (!frame) return;
    std::string text = NarrowAnsi(FieldText(*frame, ID3FN_TEXT));
    std::memcpy(v1.data() + offset, text.data(), std::min(text.size(), length));
  };
  put(3, 30, ID3FID_TITLE);
  put(33, 30, ID3FID_LEADARTIST);
  put(63, 30, ID3FID_ALBUM);
  put(93, 4, ID3FID_YEAR);
  put(97, 28, ID3FID_COMMENT);
  if (ID3_Frame* track = FirstFrame(tag, ID3FID_TRACKNUM)) {
    int number = LeadingNumber(FieldText(*track, ID3FN_TEXT));
    if (number > 0 && number < 256) v1[126] = static_cast<char>(number);
  }
  ID3_Frame* genre = FirstFrame(tag, ID3FID_CONTENTTYPE);
  v1[127] = static_cast<char>(genre ? V1Genre(FieldText(*genre, ID3FN_TEXT)) : 255);
  return v1;
}

unsigned WriteId3File(const std::wstring& path, ID3_Tag& tag, bool writeV2, bool writeV1) {
  // Checked first: a privileged process could otherwise open a read-only file for writing.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return 0;
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  FileLayout layout;
  if (!ReadLayout(file.Get(), &layout)) return 0;
  UINT64 audioStart = layout.v2Length;
  UINT64 audioEnd = layout.fileSize - (layout.hasV1 ? kV1Size : 0);

  std::string v2;
  if (writeV2) {
    v2 = RenderId3v2(tag);
  } else {
    v2 = ReadRange(file.Get(), 0, layout.v2Length);
    if (v2.size() != layout.v2Length) return 0;
  }
  std::string v1;
  if (writeV1) {
    if (tag.NumFrames() > 0) v1 = RenderId3v1(tag);
  } else if (layout.hasV1) {
    v1 = ReadRange(file.Get(), audioEnd, kV1Size);
    if (v1.size() != kV1Size) return 0;
  }
  unsigned written = (writeV2 ? ID3TT_ID3V2 : 0) | (writeV1 ? ID3TT_ID3V1 : 0);

  if (v2.size() == layout.v2Length) {
    // Same room in front: only the tags are rewritten, the audio stays where it is.
    if (writeV2 && !(Seek(file.Get(), 0) && WriteAll(file.Get(), v2.data(), v2.size()))) return 0;
    if (!Seek(file.Get(), audioEnd) || !WriteAll(file.Get(), v1.data(), v1.size()) || !SetEndOfFile(file.Get()))
      return 0;
    return written;
  }

  // The audio moves: the whole file is written beside the original and then replaces it, so a failure
  // leaves the original untouched.
  std::wstring temporary;
  UniqueFile output;
  for (int attempt = 0; attempt < 100 && !output; ++attempt) {
    temporary = path + L".tav" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    output.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!output) return 0;
  bool ok = WriteAll(output.Get(), v2.data(), v2.size()) && Seek(file.Get(), audioStart);
  std::string buffer(1 << 20, '\0');
  for (UINT64 remaining = audioEnd - audioStart; ok && remaining > 0;) {
    size_t chunk = static_cast<size_t>(std::min<UINT64>(remaining, buffer.size()));
    ok = ReadAt(file.Get(), audioEnd - remaining, buffer.data(), chunk) && WriteAll(output.Get(), buffer.data(), chunk);
    remaining -= chunk;
  }
  ok = ok && WriteAll(output.Get(), v1.data(), v1.size()) && FlushFileBuffers(output.Get());
  output.Reset();
  file.Reset();
  if (!ok || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return 0;
  }
  return written;
}
