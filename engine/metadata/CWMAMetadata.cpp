// CWMAMetadata: Windows Media attributes of stream 0 mapped onto ID3 frames and back.
#include "CWMAMetadata.h"

#include <id3/readers.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "AbiGuard.h"
#include "CMetadataTag.h"
#include "ComPtr.h"
#include "EngineResources.h"
#include "Id3File.h"
#include "MetadataText.h"
#include "TagBuilding.h"
#include "WMEditor.h"

namespace {

// How an attribute is read and whether frames are written to it.
enum class ReadAs { String, Skipped, TrackNumber, Track, Duration, FileSize };

struct AttributeRow {
  const wchar_t* name;
  const char* frame;
  ReadAs read;
  bool written;  // frames of this identifier are written to the attribute as strings
};

const AttributeRow kAttributes[] = {
    {L"Author", "TPE1", ReadAs::String, true},
    {L"Copyright", "TCOP", ReadAs::String, true},
    {L"CopyrightURL", "WCOP", ReadAs::String, true},
    {L"Description", "COMM", ReadAs::String, true},
    {L"Title", "TIT2", ReadAs::String, true},
    {L"WM/AlbumArtist", "TPE2", ReadAs::String, true},
    {L"WM/AlbumSortOrder", "TSOA", ReadAs::Skipped, false},
    {L"WM/AlbumTitle", "TALB", ReadAs::String, true},
    {L"WM/ArtistSortOrder", "TSOP", ReadAs::Skipped, false},
    {L"WM/AudioFileURL", "WOAF", ReadAs::String, true},
    {L"WM/AudioSourceURL", "WOAS", ReadAs::String, true},
    {L"WM/AuthorURL", "WOAR", ReadAs::String, true},
    {L"WM/BeatsPerMinute", "TBPM", ReadAs::String, true},
    {L"WM/Comments", "COMM", ReadAs::String, false},
    {L"WM/Composer", "TCOM", ReadAs::String, true},
    {L"WM/Conductor", "TPE3", ReadAs::String, true},
    {L"WM/ContentGroupDescription", "TIT1", ReadAs::String, true},
    {L"WM/EncodedBy", "TENC", ReadAs::String, true},
    {L"WM/EncodingSettings", "TSSE", ReadAs::String, true},
    {L"WM/GenreID", "TCON", ReadAs::String, true},
    {L"WM/InitialKey", "TKEY", ReadAs::String, true},
    {L"WM/ISRC", "TSRC", ReadAs::String, true},
    {L"WM/Language", "TLAN", ReadAs::String, true},
    {L"WM/ModifiedBy", "TPE4", ReadAs::String, true},
    {L"WM/Mood", "TMOO", ReadAs::Skipped, false},
    {L"WM/OriginalAlbumTitle", "TOAL", ReadAs::String, true},
    {L"WM/OriginalArtist", "TOPE", ReadAs::String, true},
    {L"WM/OriginalFilename", "TOFN", ReadAs::String, true},
    {L"WM/OriginalLyricist", "TOLY", ReadAs::String, true},
    {L"WM/OriginalReleaseYear", "TORY", ReadAs::String, true},
    {L"WM/PartOfSet", "TPOS", ReadAs::String, true},
    {L"WM/PlaylistDelay", "TDLY", ReadAs::String, true},
    {L"WM/Publisher", "TPUB", ReadAs::String, true},
    {L"WM/RadioStationName", "TRSN", ReadAs::String, true},
    {L"WM/RadioStationOwner", "TRSO", ReadAs::String, true},
    {L"WM/SetSubTitle", "TSST", ReadAs::Skipped, false},
    {L"WM/SubTitle", "TIT3", ReadAs::String, true},
    {L"WM/TitleSortOrder", "TSOT", ReadAs::Skipped, false},
    {L"WM/TrackNumber", "TRCK", ReadAs::TrackNumber, true},
    {L"WM/Track", "TRCK", ReadAs::Track, false},
    {L"WM/UniqueFileIdentifier", "UFID", ReadAs::String, true},
    {L"WM/Writer", "TEXT", ReadAs::String, true},
    {L"WM/Year", "TYER", ReadAs::String, true},
    {L"Duration", "TLEN", ReadAs::Duration, false},
    {L"FileSize", "TSIZ", ReadAs::FileSize, false},
};

constexpr WORD kStream = 0;
constexpr WORD kNameCapacity = 1024;

bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    wchar_t x = (*a >= L'a' && *a <= L'z') ? static_cast<wchar_t>(*a - L'a' + L'A') : *a;
    wchar_t y = (*b >= L'a' && *b <= L'z') ? static_cast<wchar_t>(*b - L'a' + L'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

const AttributeRow* RowOfName(const wchar_t* name) {
  for (const AttributeRow& row : kAttributes)
    if (EqualsIgnoringAsciiCase(row.name, name)) return &row;
  return nullptr;
}

const AttributeRow* WriteRowOfFrame(const char* identifier) {
  for (const AttributeRow& row : kAttributes)
    if (row.written && std::strcmp(row.frame, identifier) == 0) return &row;
  return nullptr;
}

// Attributes that writing replaces. Rows without a frame in the tag library are never read, and the UFID
// attribute cannot be carried by a frame: deleting those would lose them, so they stay.
bool IsOwnedByMapping(const wchar_t* name) {
  if (std::wcscmp(name, L"ID3") == 0 || std::wcsncmp(name, L"ID3/", 4) == 0) return true;
  for (const AttributeRow& row : kAttributes) {
    if (std::wcscmp(row.name, name) != 0) continue;
    return row.read != ReadAs::Skipped && row.read != ReadAs::Track && row.read != ReadAs::Duration &&
           row.read != ReadAs::FileSize && std::strcmp(row.frame, "UFID") != 0;
  }
  return false;
}

struct AttributeValue {
  WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
  std::vector<BYTE> bytes;
};

HRESULT FetchValue(IWMHeaderInfo* info, const wchar_t* name, AttributeValue* value) {
  WORD stream = kStream;
  WORD length = 0;
  HRESULT result = info->GetAttributeByName(&stream, name, &value->type, nullptr, &length);
  if (FAILED(result)) return result;
  value->bytes.assign(length, 0);
  stream = kStream;
  result = info->GetAttributeByName(&stream, name, &value->type, value->bytes.data(), &length);
  if (SUCCEEDED(result)) value->bytes.resize(length);
  return result;
}

std::wstring StringValue(const AttributeValue& value) {
  size_t count = value.bytes.size() / sizeof(wchar_t);
  std::wstring text(count, L'\0');
  if (count) std::memcpy(text.data(), value.bytes.data(), count * sizeof(wchar_t));
  size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  return text;
}

bool NumberValue(const AttributeValue& value, UINT64* number) {
  if (value.type == WMT_TYPE_QWORD && value.bytes.size() >= 8) {
    std::memcpy(number, value.bytes.data(), 8);
    return true;
  }
  if (value.type == WMT_TYPE_DWORD && value.bytes.size() >= 4) {
    DWORD small = 0;
    std::memcpy(&small, value.bytes.data(), 4);
    *number = small;
    return true;
  }
  return false;
}

void AddTrack(ID3_Tag& tag, const AttributeValue& value, bool fromZero) {
  long long number = 0;
  if (value.type == WMT_TYPE_DWORD && value.bytes.size() >= 4) {
    DWORD dword = 0;
    std::memcpy(&dword, value.bytes.data(), 4);
    number = dword;
  } else if (value.type == WMT_TYPE_STRING) {
    number = std::wcstol(StringValue(value).c_str(), nullptr, 10);
  } else {
    return;
  }
  if (fromZero) ++number;
  if (number < 1 || number > 99) return;
  AttachIfFirst(tag, NewTextFrame("TRCK", std::to_wstring(number)));
}

void AddId3Attribute(ID3_Tag& tag, const wchar_t* name, const AttributeValue& value) {
  std::wstring wideIdentifier = std::wstring(name + 4).substr(0, 4);
  if (wideIdentifier.size() != 4) return;
  std::string identifier = NarrowAnsi(wideIdentifier);
  if (value.type == WMT_TYPE_BINARY) {
    auto frame = std::make_unique<ID3_Frame>();
    ID3_MemoryReader reader(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
    if (value.bytes.empty() || !frame->Parse(reader) || frame->GetID() == ID3FID_NOFRAME) return;
    NormalizeFrameEncodings(*frame);
    AttachIfFirst(tag, frame.release());
  } else if (value.type == WMT_TYPE_STRING) {
    AttachIfFirst(tag, NewTextFrame(identifier.c_str(), StringValue(value)));
  }
}

void ReadAttributes(IWMHeaderInfo* info, ID3_Tag& tag) {
  WORD count = 0;
  if (FAILED(info->GetAttributeCount(kStream, &count))) return;
  for (WORD index = 0; index < count; ++index) {
    wchar_t name[kNameCapacity] = {};
    WORD nameLength = kNameCapacity;
    WORD stream = kStream;
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    WORD valueLength = 0;
    if (FAILED(info->GetAttributeByIndex(index, &stream, name, &nameLength, &type, nullptr, &valueLength))) continue;
    name[kNameCapacity - 1] = L'\0';
    AttributeValue value;
    if (FAILED(FetchValue(info, name, &value))) continue;
    if (EqualsIgnoringAsciiCase(name, L"ID3")) {
      if (value.type != WMT_TYPE_BINARY) continue;
      // A whole ID3v2 tag replaces the frames read so far.
      tag.Clear();
      ParseId3v2(std::string(value.bytes.begin(), value.bytes.end()), tag);
      continue;
    }
    if (std::wcslen(name) > 4 && name[3] == L'/' && EqualsIgnoringAsciiCase(std::wstring(name, 3).c_str(), L"ID3")) {
      AddId3Attribute(tag, name, value);
      continue;
    }
    const AttributeRow* row = RowOfName(name);
    if (!row) continue;
    UINT64 number = 0;
    switch (row->read) {
      case ReadAs::String:
        if (value.type == WMT_TYPE_STRING) {
          std::wstring text = StringValue(value);
          if (!text.empty()) AttachIfFirst(tag, NewTextFrame(row->frame, text));
        }
        break;
      case ReadAs::TrackNumber:
        AddTrack(tag, value, false);
        break;
      case ReadAs::Track:
        AddTrack(tag, value, std::wcscmp(name, L"WM/Track") == 0);
        break;
      case ReadAs::Duration:
        if (value.type == WMT_TYPE_QWORD && NumberValue(value, &number))
          AttachIfFirst(tag, NewTextFrame(row->frame, std::to_wstring(number / 10000)));
        break;
      case ReadAs::FileSize:
        if (value.type == WMT_TYPE_QWORD && NumberValue(value, &number))
          AttachIfFirst(tag, NewTextFrame(row->frame, std::to_wstring(number)));
        break;
      case ReadAs::Skipped:
        break;
    }
  }
}

HRESULT SetString(IWMHeaderInfo3* info, const std::wstring& name, const std::wstring& text) {
  // Lengths are 16-bit byte counts including the terminator.
  size_t characters = std::min<size_t>(text.size(), 0x7FFE);
  std::wstring value = text.substr(0, characters);
  return info->SetAttribute(kStream, name.c_str(), WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<WORD>((characters + 1) * sizeof(wchar_t)));
}

void DeleteOwnedAttributes(IWMHeaderInfo3* info) {
  WORD count = 0;
  if (FAILED(info->GetAttributeCount(kStream, &count))) return;
  for (WORD index = 0; index < count;) {
    wchar_t name[kNameCapacity] = {};
    WORD nameLength = kNameCapacity;
    WORD stream = kStream;
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    WORD valueLength = 0;
    bool owned =
        SUCCEEDED(info->GetAttributeByIndex(index, &stream, name, &nameLength, &type, nullptr, &valueLength)) &&
        (name[kNameCapacity - 1] = L'\0', IsOwnedByMapping(name));
    // A deletion moves the following attributes down: the same index is examined again.
    if (owned && SUCCEEDED(info->DeleteAttribute(kStream, index)) &&
        SUCCEEDED(info->GetAttributeCount(kStream, &count)))
      continue;
    ++index;
  }
}

void WriteFrame(IWMHeaderInfo3* info, ID3_Frame& frame) {
  const char* identifier = frame.GetTextID();
  if (!identifier || std::strlen(identifier) != 4) return;
  if (const AttributeRow* row = WriteRowOfFrame(identifier)) {
    std::wstring text;
    if (GetFieldText(frame, ID3FN_TEXT, &text) || GetFieldText(frame, ID3FN_URL, &text))
      SetString(info, row->name, text);
    return;
  }
  std::wstring name = FormatText(16, L"ID3/%hs", identifier);
  size_t fields = frame.NumFields();
  if (fields == 2 && frame.Contains(ID3FN_TEXTENC) && frame.Contains(ID3FN_TEXT)) {
    SetString(info, name, FieldText(frame, ID3FN_TEXT));
  } else if (fields == 1 && frame.Contains(ID3FN_URL)) {
    SetString(info, name, FieldText(frame, ID3FN_URL));
  } else {
    std::string bytes = RenderFrame(frame);
    if (bytes.size() > 0xFFFF) return;
    info->SetAttribute(kStream, name.c_str(), WMT_TYPE_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<WORD>(bytes.size()));
  }
}

// Closes the editor whatever happens to the code that uses it.
// The editor opened on one file, closed again when the session ends.
struct EditorSession {
  ComPtr<IWMMetadataEditor> editor;
  bool open = false;
  ~EditorSession() {
    if (open) editor->Close();
  }
  // Creates the editor, opens the file and asks for a header-info interface.
  template <class Info>
  HRESULT Open(const std::wstring& path, REFIID infoId, ComPtr<Info>& info) {
    HRESULT result = CreateMetadataEditor(&editor);
    if (FAILED(result)) return result;
    result = editor->Open(path.c_str());
    if (FAILED(result)) return result;
    open = true;
    return editor->QueryInterface(infoId, reinterpret_cast<void**>(&info));
  }
};

}  // namespace

HRESULT STDMETHODCALLTYPE CWMAMetadata::GetTag(IMetadataTag** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    ComPtr<CMetadataTag> tag = ComPtr<CMetadataTag>::Adopt(new CMetadataTag());
    tag->LinkTo(path);
    EditorSession session;
    ComPtr<IWMHeaderInfo> info;
    HRESULT result = session.Open(path, __uuidof(IWMHeaderInfo), info);
    if (FAILED(result)) return result;
    ReadAttributes(info.Get(), tag->Id3());
    *out = tag.Detach();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE CWMAMetadata::SetTag(IMetadataTag* tagInterface) {
  return GuardedHResult([&]() -> HRESULT {
    CMetadataTag* tag = CMetadataTag::From(tagInterface);
    if (!tag) return E_INVALIDARG;
    EditorSession session;
    ComPtr<IWMHeaderInfo3> info;
    HRESULT result = session.Open(path, __uuidof(IWMHeaderInfo3), info);
    if (FAILED(result)) return result;
    DeleteOwnedAttributes(info.Get());
    ForEachFrame(tag->Id3(), [&](ID3_Frame& frame) { WriteFrame(info.Get(), frame); });
    return session.editor->Flush();
  });
}
