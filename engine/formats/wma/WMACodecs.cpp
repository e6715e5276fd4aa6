// Codec formats are only meaningful under the enumeration settings they were listed with: every lookup applies
// the mode's settings first.
#include "WMACodecs.h"

#include <cstring>
#include <cwchar>
#include <mutex>

#include "WMSdk.h"
#include "tavcore.h"

// The language interface of stream configurations, which the platform headers here lack. It has external
// linkage: the compiler may treat a call through an interface local to this file, which nothing here
// implements, as unreachable.
struct IWMStreamConfig2Declared : public IWMStreamConfig {
  virtual HRESULT STDMETHODCALLTYPE GetTransportType(int* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTransportType(int type) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDataUnitExtension(GUID system, WORD size, BYTE* info, DWORD infoSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataUnitExtensionCount(WORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataUnitExtension(WORD index, GUID* system, WORD* size, BYTE* info,
                                                         DWORD* infoSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAllDataUnitExtensions() = 0;
};
struct IWMStreamConfig3Declared : public IWMStreamConfig2Declared {
  virtual HRESULT STDMETHODCALLTYPE GetLanguage(WCHAR* language, WORD* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLanguage(WCHAR* language) = 0;
};

namespace {

const wchar_t kSection[] = L"WMA9";
const wchar_t kValue[] = L"General";
const wchar_t kProfileName[] = L"Tavrel Custom Profile";
// The stream configuration's property names for the variable bit rate's peak.
const wchar_t kVbrBitrateMax[] = L"_RMAX";
const wchar_t kVbrQuality[] = L"_VBRQUALITY";

constexpr GUID kIidStreamConfig3 = {0xCB164104, 0x3AA9, 0x45A7, {0x9A, 0xC9, 0x4D, 0xAE, 0xE1, 0x31, 0xD6, 0xE1}};

// Windows Media Audio 9, 128 kbps, 44 kHz stereo, variable bit rate.
const wchar_t kDefaultProfile[] =
    L"<profile version=\"589824\" storageformat=\"1\" name=\"Tavrel Custom Profile\" description=\"\">"
    L"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" streamname=\"Audio Stream\""
    L" inputname=\"\" bitrate=\"128016\" bufferwindow=\"0\" reliabletransport=\"0\" decodercomplexity=\"\""
    L" rfc1766langid=\"en-us\" vbrenabled=\"1\" bitratemax=\"0\" bufferwindowmax=\"0\">"
    L"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\""
    L" btemporalcompression=\"0\" lsamplesize=\"0\">"
    L"<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"16002\""
    L" nBlockAlign=\"5945\" wBitsPerSample=\"16\" codecdata=\"008800000F0000000000\"/>"
    L"</wmmediatype></streamconfig></profile>";

struct LastValid {
  std::mutex lock;
  bool set = false;
  uint32_t codec = 0, format = 0, mode = 0;
} lastValid;

bool Matches(const WMAFormatEntry& entry) {
  const DWORD thousands = entry.bitrate / 1000;
  return thousands >= 95 && thousands <= 98 && entry.bits == 16 && entry.channels == 2 && entry.sampleRate == 44100;
}

// The first pass wants a two-pass average-bit-rate format of about 96 kbps, CD quality; the second any mode.
void FindLastValid(uint32_t& codec, uint32_t& format, uint32_t& mode) {
  codec = format = mode = 0;
  WMACodecInfo codecs;
  if (FAILED(codecs.Open())) return;
  std::vector<std::vector<WMAFormatEntry>> lists;
  for (DWORD c = 0, count = codecs.CodecCount(); c < count; ++c) lists.push_back(codecs.ListFormats(c));
  for (bool anyMode : {false, true}) {
    for (size_t c = 0; c < lists.size(); ++c) {
      for (const WMAFormatEntry& entry : lists[c]) {
        if ((anyMode || entry.mode == 2) && Matches(entry)) {
          codec = static_cast<uint32_t>(c);
          format = entry.format;
          mode = entry.mode;
          return;
        }
      }
    }
  }
}

}  // namespace

bool ModeIsVbr(uint32_t mode) { return mode == 1 || mode == 2; }
DWORD ModePasses(uint32_t mode) { return mode >= 2 ? 2 : 1; }

HRESULT WMACodecInfo::Open() {
  HRESULT hr = CreateProfileManager(&manager);
  if (FAILED(hr)) return hr;
  if (!manager) return E_POINTER;
  return manager->QueryInterface(__uuidof(IWMCodecInfo3), reinterpret_cast<void**>(&info));
}

DWORD WMACodecInfo::CodecCount() {
  DWORD count = 0;
  if (!info || FAILED(info->GetCodecInfoCount(kWmMediaTypeAudio, &count))) return 0;
  return count;
}

std::wstring WMACodecInfo::CodecName(DWORD codec) {
  DWORD length = 0;
  if (!info || FAILED(info->GetCodecName(kWmMediaTypeAudio, codec, nullptr, &length)) || length == 0) return {};
  std::wstring name(length, L'\0');
  if (FAILED(info->GetCodecName(kWmMediaTypeAudio, codec, name.data(), &length))) return {};
  name.resize(wcsnlen(name.c_str(), name.size()));
  return name;
}

HRESULT WMACodecInfo::ApplyMode(DWORD codec, uint32_t mode) {
  if (!info) return E_POINTER;
  if (mode >= kWmaModes) return E_INVALIDARG;
  BOOL vbr = ModeIsVbr(mode) ? TRUE : FALSE;
  DWORD passes = ModePasses(mode);
  HRESULT hr = info->SetCodecEnumerationSetting(kWmMediaTypeAudio, codec, g_wszVBREnabled, WMT_TYPE_BOOL,
                                                reinterpret_cast<BYTE*>(&vbr), sizeof(vbr));
  if (FAILED(hr)) return hr;
  return info->SetCodecEnumerationSetting(kWmMediaTypeAudio, codec, g_wszNumPasses, WMT_TYPE_DWORD,
                                          reinterpret_cast<BYTE*>(&passes), sizeof(passes));
}

DWORD WMACodecInfo::FormatCount(DWORD codec) {
  DWORD count = 0;
  if (!info || FAILED(info->GetCodecFormatCount(kWmMediaTypeAudio, codec, &count))) return 0;
  return count;
}

HRESULT WMACodecInfo::Format(DWORD codec, DWORD format, IWMStreamConfig** config, std::wstring* description) {
  if (!info) return E_POINTER;
  if (!description) return info->GetCodecFormat(kWmMediaTypeAudio, codec, format, config);
  DWORD length = 0;
  HRESULT hr = info->GetCodecFormatDesc(kWmMediaTypeAudio, codec, format, nullptr, nullptr, &length);
  if (FAILED(hr)) return hr;
  description->assign(length + 1, L'\0');
  hr = info->GetCodecFormatDesc(kWmMediaTypeAudio, codec, format, config, description->data(), &length);
  if (FAILED(hr)) return hr;
  description->resize(wcsnlen(description->c_str(), description->size()));
  return S_OK;
}

std::vector<WMAFormatEntry> WMACodecInfo::ListFormats(DWORD codec) {
  std::vector<WMAFormatEntry> entries;
  for (uint32_t mode = 0; mode < kWmaModes; ++mode) {
    if (FAILED(ApplyMode(codec, mode))) continue;
    for (DWORD format = 0, count = FormatCount(codec); format < count; ++format) {
      ComPtr<IWMStreamConfig> config;
      std::wstring description;
      if (FAILED(Format(codec, format, &config, &description)) || !config) continue;
      if (description.find(L"(A/V)") != std::wstring::npos) continue;
      WAVEFORMATEX wave = {};
      DWORD bitrate = 0;
      if (!StreamWaveFormat(config.Get(), wave) || FAILED(config->GetBitrate(&bitrate))) continue;
      DWORD quality = 0;
      ComPtr<IWMPropertyVault> vault;
      if (SUCCEEDED(config->QueryInterface(__uuidof(IWMPropertyVault), reinterpret_cast<void**>(&vault))) && vault) {
        WMT_ATTR_DATATYPE kind;
        DWORD size = sizeof(quality);
        if (FAILED(vault->GetPropertyByName(kVbrQuality, &kind, reinterpret_cast<BYTE*>(&quality), &size)))
          quality = 0;
      }
      entries.push_back({mode, format, bitrate, wave.nSamplesPerSec, wave.nChannels, wave.wBitsPerSample,
                         description.find(L"Low Delay") != std::wstring::npos, quality, description});
    }
  }
  return entries;
}

bool StreamWaveFormat(IWMStreamConfig* config, WAVEFORMATEX& format) {
  ComPtr<IWMMediaProps> props;
  if (!config || FAILED(config->QueryInterface(__uuidof(IWMMediaProps), reinterpret_cast<void**>(&props))) || !props)
    return false;
  DWORD size = 0;
  if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE)) return false;
  std::vector<BYTE> buffer(size);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
  if (FAILED(props->GetMediaType(type, &size))) return false;
  if (!IsEqualGUID(type->formattype, kWmFormatWaveFormatEx) || !type->pbFormat || type->cbFormat < 16) return false;
  format = WAVEFORMATEX{};
  std::memcpy(&format, type->pbFormat, type->cbFormat < sizeof(format) ? type->cbFormat : sizeof(format));
  return true;
}

HRESULT BuildProfile(WMACodecInfo& codecs, const WMASETTINGS& settings, IWMProfile** profile) {
  if (!profile || !codecs.Manager()) return E_POINTER;
  *profile = nullptr;
  if (settings.codec >= codecs.CodecCount() || settings.mode >= kWmaModes) return E_INVALIDARG;
  HRESULT hr = codecs.ApplyMode(settings.codec, settings.mode);
  if (FAILED(hr)) return hr;
  if (settings.format >= codecs.FormatCount(settings.codec)) return E_INVALIDARG;
  ComPtr<IWMStreamConfig> config;
  hr = codecs.Format(settings.codec, settings.format, &config, nullptr);
  if (FAILED(hr) || !config) return FAILED(hr) ? hr : E_POINTER;
  ComPtr<IWMProfile> made;
  hr = codecs.Manager()->CreateEmptyProfile(WMT_VER_9_0, &made);
  if (FAILED(hr) || !made) return FAILED(hr) ? hr : E_POINTER;
  made->SetName(const_cast<WCHAR*>(kProfileName));
  ComPtr<IWMStreamConfig3Declared> languages;
  if (SUCCEEDED(config->QueryInterface(kIidStreamConfig3, reinterpret_cast<void**>(&languages))) && languages) {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH)) languages->SetLanguage(locale);
  }
  if (settings.maxBitrate && ModeIsVbr(settings.mode)) {
    ComPtr<IWMPropertyVault> vault;
    if (SUCCEEDED(config->QueryInterface(__uuidof(IWMPropertyVault), reinterpret_cast<void**>(&vault))) && vault) {
      DWORD peak = settings.maxBitrate * 1000;
      vault->SetProperty(kVbrBitrateMax, WMT_TYPE_DWORD, reinterpret_cast<BYTE*>(&peak), sizeof(peak));
    }
  }
  if (settings.bufferWindow) config->SetBufferWindow(settings.bufferWindow);
  hr = made->AddStream(config.Get());
  if (FAILED(hr)) return hr;
  *profile = made.Detach();
  return S_OK;
}

HRESULT LoadDefaultProfile(IWMProfileManager* manager, IWMProfile** profile) {
  if (!manager || !profile) return E_POINTER;
  return manager->LoadProfileByData(kDefaultProfile, profile);
}

bool SettingsFromProfile(WMACodecInfo& codecs, IWMProfile* profile, WMASETTINGS& settings) {
  DWORD streams = 0;
  if (!profile || FAILED(profile->GetStreamCount(&streams))) return false;
  for (DWORD s = 0; s < streams; ++s) {
    ComPtr<IWMStreamConfig> stream;
    GUID type = {};
    if (FAILED(profile->GetStream(s, &stream)) || !stream || FAILED(stream->GetStreamType(&type)) ||
        !IsEqualGUID(type, kWmMediaTypeAudio))
      continue;
    WAVEFORMATEX wanted = {};
    if (!StreamWaveFormat(stream.Get(), wanted)) return false;
    BOOL vbr = FALSE;
    DWORD passes = 1, peak = 0;
    ComPtr<IWMPropertyVault> vault;
    if (SUCCEEDED(stream->QueryInterface(__uuidof(IWMPropertyVault), reinterpret_cast<void**>(&vault))) && vault) {
      WMT_ATTR_DATATYPE kind;
      DWORD size = sizeof(vbr);
      if (FAILED(vault->GetPropertyByName(g_wszVBREnabled, &kind, reinterpret_cast<BYTE*>(&vbr), &size))) vbr = FALSE;
      size = sizeof(passes);
      if (FAILED(vault->GetPropertyByName(g_wszNumPasses, &kind, reinterpret_cast<BYTE*>(&passes), &size))) passes = 1;
      size = sizeof(peak);
      if (FAILED(vault->GetPropertyByName(kVbrBitrateMax, &kind, reinterpret_cast<BYTE*>(&peak), &size))) peak = 0;
    }
    const uint32_t mode = vbr ? (passes > 1 ? 2 : 1) : (passes > 1 ? 3 : 0);
    DWORD window = 0;
    stream->GetBufferWindow(&window);
    for (DWORD codec = 0, count = codecs.CodecCount(); codec < count; ++codec) {
      if (FAILED(codecs.ApplyMode(codec, mode))) continue;
      for (DWORD format = 0, formats = codecs.FormatCount(codec); format < formats; ++format) {
        ComPtr<IWMStreamConfig> config;
        WAVEFORMATEX offered = {};
        if (FAILED(codecs.Format(codec, format, &config, nullptr)) || !StreamWaveFormat(config.Get(), offered))
          continue;
        if (offered.wFormatTag != wanted.wFormatTag || offered.nChannels != wanted.nChannels ||
            offered.nSamplesPerSec != wanted.nSamplesPerSec || offered.nAvgBytesPerSec != wanted.nAvgBytesPerSec ||
            offered.nBlockAlign != wanted.nBlockAlign || offered.wBitsPerSample != wanted.wBitsPerSample)
          continue;
        DWORD ownWindow = 0;
        config->GetBufferWindow(&ownWindow);
        settings = {codec, format, mode, ModeIsVbr(mode) ? peak / 1000 : 0, window != ownWindow ? window : 0};
        return true;
      }
    }
    return false;
  }
  return false;
}

void LoadWmaSettings(WMASETTINGS& record) {
  std::lock_guard<std::mutex> hold(lastValid.lock);
  if (!lastValid.set) {
    FindLastValid(lastValid.codec, lastValid.format, lastValid.mode);
    lastValid.set = true;
  }
  record = {lastValid.codec, lastValid.format, lastValid.mode, 0, 0};
  // A value of another size is someone else's record: it is not read, and the last valid choice stands.
  BYTE stored[64] = {};
  UINT32 size = sizeof(stored);
  if (GetProfileBinary(kSection, kValue, stored, &size) && size == sizeof(WMASETTINGS))
    std::memcpy(&record, stored, sizeof(record));
  if (record.codec == lastValid.codec && record.format == lastValid.format && record.mode == lastValid.mode) return;
  WMACodecInfo codecs;
  ComPtr<IWMProfile> profile;
  if (SUCCEEDED(codecs.Open()) && SUCCEEDED(BuildProfile(codecs, record, &profile))) {
    lastValid.codec = record.codec;
    lastValid.format = record.format;
    lastValid.mode = record.mode;
    return;
  }
  record = {lastValid.codec, lastValid.format, lastValid.mode, 0, 0};
  SaveWmaSettings(record);
}

void SaveWmaSettings(const WMASETTINGS& record) { PutProfileBinary(kSection, kValue, &record, sizeof(record)); }

void ResetWmaLastValid() {
  std::lock_guard<std::mutex> hold(lastValid.lock);
  lastValid.set = false;
}
