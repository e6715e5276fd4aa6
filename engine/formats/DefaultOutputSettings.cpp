// The stored default encoder settings of each destination class: edited in its dialog, described in a line.
#include <string>

#include "AbiGuard.h"
#include "PathText.h"
#include "tavcore.h"
#include "mp3/MP3Settings.h"
#include "wav/WAVSettings.h"
#include "wma/WMASettingsDlg.h"

namespace {
struct DefaultSettingsEntry {
  const GUID* destinationClass;
  HRESULT (*edit)(HWND parent);
  std::wstring (*describe)();
};

const DefaultSettingsEntry kEntries[] = {
    {&CLSID_CWMAConvDest, &EditStoredDefaults<CWMASettingsDlg>,
     [] { return DescribeStoredDefaults<CWMASettingsDlg>(&DescribeWmaSettings); }},
    {&CLSID_CMP3ConvDest, &EditStoredDefaults<CMP3Settings>,
     [] { return DescribeStoredDefaults<CMP3Settings>(&DescribeMp3Settings); }},
    {&CLSID_CWavConvDest, &EditStoredDefaults<CWAVSettings>,
     [] { return DescribeStoredDefaults<CWAVSettings>(&DescribeWavSettings); }},
};

const DefaultSettingsEntry* EntryFor(const CONVFORMAT* format) {
  if (!format || !format->destinationClass) return nullptr;
  for (const DefaultSettingsEntry& entry : kEntries)
    if (IsEqualGUID(*entry.destinationClass, *format->destinationClass)) return &entry;
  return nullptr;
}
}  // namespace

TAVCORE_API HRESULT WINAPI ConvDefOutputSettings(HWND parent, const CONVFORMAT* format) {
  return GuardedHResult([&]() -> HRESULT {
    const DefaultSettingsEntry* entry = EntryFor(format);
    return entry ? entry->edit(parent) : S_FALSE;
  });
}

TAVCORE_API HRESULT WINAPI ConvDefOutputSettingsString(wchar_t* buf, int cch, const CONVFORMAT* format) {
  return GuardedHResult([&]() -> HRESULT {
    const DefaultSettingsEntry* entry = EntryFor(format);
    if (!entry) return E_FAIL;
    if (!buf || cch <= 0) return E_INVALIDARG;
    CopyTruncated(buf, cch, entry->describe());
    return S_OK;
  });
}
