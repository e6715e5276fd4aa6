// The metadata exports: supported extensions, metadata objects by file kind, free-standing tags and frames.
#include <cwctype>
#include <memory>
#include <new>

#include "AbiGuard.h"
#include "CFLACMetadata.h"
#include "CMP3Metadata.h"
#include "CMetadataTag.h"
#include "CWMAMetadata.h"
#include "FrameKinds.h"
#include "tavcore.h"

namespace {

constexpr wchar_t kFormatTemplate[] = L".mp3|.mp2|.mp1|.mpg|.mpeg|.wma|.wmv|.asx|.asf|.aac|.flac|";
constexpr int kFormatTemplateLength = static_cast<int>(sizeof(kFormatTemplate) / sizeof(wchar_t)) - 1;
static_assert(kFormatTemplateLength == 57, "the extension list template");

enum class MetadataKind { Unknown, MP3, FLAC, WindowsMedia };

// The extension is the text from the last "." of the last path component.
MetadataKind KindOfPath(const wchar_t* path) {
  std::wstring text = path;
  size_t nameStart = text.find_last_of(L"\\/:");
  nameStart = nameStart == std::wstring::npos ? 0 : nameStart + 1;
  size_t dot = text.rfind(L'.');
  if (dot == std::wstring::npos || dot < nameStart) return MetadataKind::Unknown;
  std::wstring extension = text.substr(dot);
  for (wchar_t& ch : extension)
    if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch - L'A' + L'a');
  for (const wchar_t* mp3 : {L".mp3", L".mp2", L".mp1", L".mpg", L".mpeg", L".aac"})
    if (extension == mp3) return MetadataKind::MP3;
  if (extension == L".flac") return MetadataKind::FLAC;
  for (const wchar_t* windowsMedia : {L".wma", L".wmv", L".asx", L".asf"})
    if (extension == windowsMedia) return MetadataKind::WindowsMedia;
  return MetadataKind::Unknown;
}

}  // namespace

TAVCORE_API int WINAPI MetadataGetFormats(wchar_t* buffer) {
  if (buffer) {
    for (int i = 0; i < kFormatTemplateLength; ++i) buffer[i] = kFormatTemplate[i] == L'|' ? L'\0' : kFormatTemplate[i];
    buffer[kFormatTemplateLength] = L'\0';
  }
  return kFormatTemplateLength;
}

TAVCORE_API HRESULT WINAPI MetadataCreateMP3(const wchar_t* path, IMetadata** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = new CMP3Metadata(path);
    return S_OK;
  });
}

TAVCORE_API HRESULT WINAPI MetadataCreateFromFile(const wchar_t* path, IMetadata** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!path || !out) return E_INVALIDARG;
    MetadataKind kind = KindOfPath(path);
    if (kind == MetadataKind::Unknown) return E_INVALIDARG;
    *out = nullptr;
    // A failed creation is reported, never passed off as success with no object.
    switch (kind) {
      case MetadataKind::MP3:
        *out = new (std::nothrow) CMP3Metadata(path);
        break;
      case MetadataKind::FLAC:
        *out = new (std::nothrow) CFLACMetadata(path);
        break;
      case MetadataKind::WindowsMedia:
        *out = new (std::nothrow) CWMAMetadata(path);
        break;
      case MetadataKind::Unknown:
        break;
    }
    return *out ? S_OK : E_OUTOFMEMORY;
  });
}

TAVCORE_API HRESULT WINAPI MetadataCreateTag(IMetadataTag** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = new CMetadataTag();
    return S_OK;
  });
}

TAVCORE_API HRESULT WINAPI MetadataCreateFrame(UINT32 frameNumber, REFIID iid, void** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    // The frame gets its number, and with it its fields and their empty defaults, only once it is wrapped.
    auto* frame = new ID3_Frame();
    HRESULT result = WrapFrame(frame, frameNumber, true, iid, out);
    if (FAILED(result)) return result;
    frame->SetID(static_cast<ID3_FrameID>(frameNumber));
    return S_OK;
  });
}
