// The format table and its lookup exports.
#include "FormatTable.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

#include "AbiGuard.h"
#include "EngineResources.h"
#include "PathText.h"
#include "resource.h"

namespace {
#define EXTENSIONS(list) list L"\0", sizeof(list L"\0") / sizeof(wchar_t)

const FormatRow kRows[kConvFormatCount] = {
    {EXTENSIONS(L".mp3"), IDS_FORMAT_MP3, 0x1, L"MP3", &CLSID_CWMAConvSource, &CLSID_CMP3ConvDest},
    {EXTENSIONS(L".mp1\0.mp2\0.mpg\0.mpeg\0.mpa\0.mpe\0.m1v\0.mp4\0.m4p\0.m4a"), IDS_FORMAT_MPEG, 0x1, L"MPEG A/V",
     &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".avi"), IDS_FORMAT_AVI, 0x1, L"AVI", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".au\0.snd"), IDS_FORMAT_AU, 0x0, L"Unix AU/SND", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".wav"), IDS_FORMAT_WAVE, 0x0, L"Wave", &CLSID_CWavConvSource, &CLSID_CWavConvDest},
    {EXTENSIONS(L".wma\0.wmv\0.asf\0.asx"), IDS_FORMAT_WMA, 0x3, L"Windows Media", &CLSID_CWMAConvSource,
     &CLSID_CWMAConvDest},
    {EXTENSIONS(L".aif\0.aiff\0.aifc\0.iff"), IDS_FORMAT_AIFF, 0x4, L"AIFF", &CLSID_CDirectShowConvSource,
     &CLSID_CAIFFConvDest},
    {EXTENSIONS(L".cda"), IDS_FORMAT_CDA, 0x4, L"CD Track", &CLSID_CAudioCDTrack, nullptr},
    {EXTENSIONS(L".ogg"), IDS_FORMAT_OGG, 0x4, L"Ogg Vorbis", &CLSID_CDirectShowConvSource, &CLSID_COggConvDest},
    {EXTENSIONS(L".qcp"), IDS_FORMAT_QCP, 0x4, L"PureVoice QCP", &CLSID_CQCPConvSource, nullptr},
    {EXTENSIONS(L".aac"), IDS_FORMAT_AAC, 0x4, L"AAC", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".mid\0.midi\0.rmi"), IDS_FORMAT_MIDI, 0x4, L"MIDI", &CLSID_CMIDIConvSource, nullptr},
    {EXTENSIONS(L".mpc"), IDS_FORMAT_MPC, 0x4, L"Musepack MPC", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".ac3"), IDS_FORMAT_AC3, 0x4, L"AC3", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".flac"), IDS_FORMAT_FLAC, 0x4, L"FLAC", &CLSID_CDirectShowConvSource, nullptr},
    {EXTENSIONS(L".ra\0.rm\0.ram\0.rmvb\0.rmj"), IDS_FORMAT_REALAUDIO, 0x4, L"RealAudio", &CLSID_CDirectShowConvSource,
     nullptr},
    {EXTENSIONS(L".ape"), IDS_FORMAT_APE, 0x4, L"Monkey's APE", &CLSID_CDirectShowConvSource, nullptr},
};
#undef EXTENSIONS

bool EqualNoCase(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

// The extension of the file-name part, dot included; empty when the name has no dot.
std::wstring ExtensionOf(const wchar_t* path) {
  std::wstring name = PathFileName(path);
  size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

bool RowHasExtension(const FormatRow& row, const std::wstring& extension) {
  for (const wchar_t* item = row.extensions; *item; item += wcslen(item) + 1) {
    if (EqualNoCase(item, extension.c_str())) return true;
  }
  return false;
}
}  // namespace

const FormatRow& FormatRowAt(UINT32 index) { return kRows[index]; }

void CopyFormatRow(UINT32 index, CONVFORMAT* out) {
  const FormatRow& row = kRows[index];
  CONVFORMAT copy = {};
  wmemcpy(copy.extensions, row.extensions, row.extensionsLength);
  std::wstring description = LoadEngineString(row.descriptionId);
  description.copy(copy.description, std::min<size_t>(description.size(), 259));
  copy.descriptionId = row.descriptionId;
  copy.flags = row.flags;
  wcsncpy(copy.name, row.name, 15);
  copy.sourceClass = row.sourceClass;
  copy.destinationClass = row.destinationClass;
  *out = copy;
}

TAVCORE_API UINT32 WINAPI ConvGetFormatCount() { return kConvFormatCount; }

TAVCORE_API HRESULT WINAPI ConvGetFormatAt(CONVFORMAT* out, UINT32 index) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out || index >= kConvFormatCount) return E_INVALIDARG;
    CopyFormatRow(index, out);
    return S_OK;
  });
}

TAVCORE_API HRESULT WINAPI ConvGetFormatOf(CONVFORMAT* out, const wchar_t* path) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out || !path) return E_INVALIDARG;
    std::wstring extension = ExtensionOf(path);
    if (extension.empty()) return E_FAIL;
    for (UINT32 index = 0; index < kConvFormatCount; ++index) {
      if (RowHasExtension(kRows[index], extension)) {
        CopyFormatRow(index, out);
        return S_OK;
      }
    }
    return E_FAIL;
  });
}

TAVCORE_API HRESULT WINAPI ConvGetFormatByName(CONVFORMAT* out, const wchar_t* name) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out || !name) return E_INVALIDARG;
    for (UINT32 index = 0; index < kConvFormatCount; ++index) {
      bool windowsMediaAlias = EqualNoCase(kRows[index].name, L"Windows Media") && EqualNoCase(name, L"wma");
      if (EqualNoCase(name, kRows[index].name) || windowsMediaAlias) {
        CopyFormatRow(index, out);
        return S_OK;
      }
    }
    return E_FAIL;
  });
}

TAVCORE_API UINT32 WINAPI ConvGetFormatPos(const CONVFORMAT* format) {
  if (!format) return 0xFFFFFFFF;
  // The caller's name may lack its terminator; never read past the field.
  std::wstring name(format->name, wcsnlen(format->name, 16));
  for (UINT32 index = 0; index < kConvFormatCount; ++index) {
    if (EqualNoCase(name.c_str(), kRows[index].name)) return index;
  }
  return 0xFFFFFFFF;
}
