// The double keeps to the documented contracts the engine relies on: two-call size queries with
// ASF_E_BUFFERTOOSMALL, formats listed under the codec's current enumeration settings, preprocessing passes only
// between BeginWriting and the first WriteSample, and NS_E_INVALID_REQUEST for calls out of order.
#include "FakeWMSdk.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "WMACodecs.h"
#include "WMSdk.h"

namespace {

constexpr GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kFormatWaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID kIidStreamConfig3 = {0xCB164104, 0x3AA9, 0x45A7, {0x9A, 0xC9, 0x4D, 0xAE, 0xE1, 0x31, 0xD6, 0xE1}};
constexpr GUID kIidFakeConfig = {0x5E1F0C11, 0x7A31, 0x4F53, {0x9C, 0x2D, 0x11, 0x42, 0x6B, 0x77, 0x30, 0x01}};
constexpr HRESULT kBufferTooSmall = static_cast<HRESULT>(0xC00D07D1);
constexpr HRESULT kInvalidRequest = static_cast<HRESULT>(0xC00D002B);
constexpr HRESULT kInvalidProfile = static_cast<HRESULT>(0xC00D0BC6);
constexpr HRESULT kInvalidInputFormat = static_cast<HRESULT>(0xC00D0BB8);
const char kOutputMagic[8] = {'F', 'A', 'K', 'E', 'W', 'M', 'A', 0};

FakeWMSdk* current = nullptr;

HRESULT Injected(const char* method) {
  if (!current) return S_OK;
  const auto at = current->failures.find(method);
  return at == current->failures.end() ? S_OK : at->second;
}

GUID SubtypeOf(WORD tag) {
  GUID subtype = kMediaTypeAudio;
  subtype.Data1 = tag;
  return subtype;
}

// Two-call text answers: the length with the terminator, then the text when the room suffices.
template <class Size>
HRESULT CopyText(const std::wstring& text, WCHAR* out, Size* size) {
  if (!size) return E_POINTER;
  const Size needed = static_cast<Size>(text.size() + 1);
  if (!out) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) {
    *size = needed;
    return kBufferTooSmall;
  }
  std::memcpy(out, text.c_str(), needed * sizeof(WCHAR));
  *size = needed;
  return S_OK;
}

// The reference count every object of the double shares: one overrider serves all of an object's interfaces,
// and the object is deleted at the last Release.
template <class... Interfaces>
class Counted : public Interfaces... {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = --references;
    if (!left) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  virtual ~Counted() = default;

 private:
  LONG references = 1;
};

struct StreamConfig3 : public IWMStreamConfig {
  virtual HRESULT STDMETHODCALLTYPE GetTransportType(int*) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTransportType(int) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDataUnitExtension(GUID, WORD, BYTE*, DWORD) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataUnitExtensionCount(WORD*) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataUnitExtension(WORD, GUID*, WORD*, BYTE*, DWORD*) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAllDataUnitExtensions() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLanguage(WCHAR*, WORD*) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLanguage(WCHAR*) = 0;
};

class Config : public Counted<StreamConfig3, IWMMediaProps, IWMPropertyVault> {
 public:
  Config() = default;
  Config(const Config& other)
      : wave(other.wave), bitrate(other.bitrate), window(other.window), properties(other.properties),
        language(other.language), description(other.description), number(other.number) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, __uuidof(IWMStreamConfig)) ||
        IsEqualGUID(iid, kIidStreamConfig3) || IsEqualGUID(iid, kIidFakeConfig))
      *out = static_cast<StreamConfig3*>(this);
    else if (IsEqualGUID(iid, __uuidof(IWMMediaProps)))
      *out = static_cast<IWMMediaProps*>(this);
    else if (IsEqualGUID(iid, __uuidof(IWMPropertyVault)))
      *out = static_cast<IWMPropertyVault*>(this);
    else
      return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  // IWMStreamConfig
  HRESULT STDMETHODCALLTYPE GetStreamType(GUID* type) override { return *type = kMediaTypeAudio, S_OK; }
  HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD* value) override { return *value = number, S_OK; }
  HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD value) override { return number = value, S_OK; }
  HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR* name, WORD* size) override { return CopyText(L"Audio Stream", name, size); }
  HRESULT STDMETHODCALLTYPE SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* size) override { return CopyText(L"", name, size); }
  HRESULT STDMETHODCALLTYPE SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBitrate(DWORD* value) override { return *value = bitrate, S_OK; }
  HRESULT STDMETHODCALLTYPE SetBitrate(DWORD value) override { return bitrate = value, S_OK; }
  HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD* value) override { return *value = window, S_OK; }
  HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD value) override { return window = value, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTransportType(int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTransportType(int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddDataUnitExtension(GUID, WORD, BYTE*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDataUnitExtensionCount(WORD* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetDataUnitExtension(WORD, GUID*, WORD*, BYTE*, DWORD*) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE RemoveAllDataUnitExtensions() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetLanguage(WCHAR* text, WORD* size) override { return CopyText(language, text, size); }
  HRESULT STDMETHODCALLTYPE SetLanguage(WCHAR* text) override {
    if (!text) return E_POINTER;
    language = text;
    return S_OK;
  }

  // IWMMediaProps
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override { return *type = kMediaTypeAudio, S_OK; }
  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    if (!size) return E_POINTER;
    const DWORD needed = sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX);
    if (!type) return *size = needed, S_OK;
    if (*size < needed) return *size = needed, kBufferTooSmall;
    auto* format = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
    *type = WM_MEDIA_TYPE{kMediaTypeAudio, SubtypeOf(wave.wFormatTag), TRUE, FALSE, 0, kFormatWaveFormatEx, nullptr,
                          sizeof(WAVEFORMATEX), format};
    std::memcpy(format, &wave, sizeof(wave));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
    if (!type || !type->pbFormat || type->cbFormat < 16) return E_INVALIDARG;
    std::memcpy(&wave, type->pbFormat, type->cbFormat < sizeof(wave) ? type->cbFormat : sizeof(wave));
    return S_OK;
  }

  // IWMPropertyVault
  HRESULT STDMETHODCALLTYPE GetPropertyCount(DWORD* count) override {
    return *count = static_cast<DWORD>(properties.size()), S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyByName(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                              DWORD* size) override {
    const auto at = properties.find(name ? name : L"");
    if (at == properties.end()) return E_INVALIDARG;
    if (type) *type = WMT_TYPE_DWORD;
    if (!size) return E_POINTER;
    if (!value) return *size = sizeof(DWORD), S_OK;
    if (*size < sizeof(DWORD)) return *size = sizeof(DWORD), kBufferTooSmall;
    std::memcpy(value, &at->second, sizeof(DWORD));
    *size = sizeof(DWORD);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* name, WMT_ATTR_DATATYPE, BYTE* value, DWORD size) override {
    if (!name || !value || size < sizeof(DWORD)) return E_INVALIDARG;
    DWORD number = 0;
    std::memcpy(&number, value, sizeof(number));
    properties[name] = number;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPropertyByIndex(DWORD, WCHAR*, DWORD*, WMT_ATTR_DATATYPE*, BYTE*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CopyPropertiesFrom(IWMPropertyVault*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear() override { return properties.clear(), S_OK; }

  DWORD Property(const wchar_t* name) const {
    const auto at = properties.find(name);
    return at == properties.end() ? 0 : at->second;
  }

  WAVEFORMATEX wave = {};
  DWORD bitrate = 0, window = 0;
  std::map<std::wstring, DWORD> properties;
  std::wstring language;
  std::wstring description;
  WORD number = 1;

 private:
  ~Config() override = default;
};

Config* FakeConfigOf(IUnknown* object) {
  Config* config = nullptr;
  if (!object || FAILED(object->QueryInterface(kIidFakeConfig, reinterpret_cast<void**>(&config)))) return nullptr;
  config->Release();  // the caller holds the object
  return config;
}

class Profile : public Counted<IWMProfile> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, __uuidof(IWMProfile))) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* out) override { return *out = version, S_OK; }
  HRESULT STDMETHODCALLTYPE GetName(WCHAR* text, DWORD* size) override { return CopyText(name, text, size); }
  HRESULT STDMETHODCALLTYPE SetName(const WCHAR* text) override { return name = text ? text : L"", S_OK; }
  HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* text, DWORD* size) override { return CopyText(L"", text, size); }
  HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) override {
    return *count = static_cast<DWORD>(streams.size()), S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** out) override {
    if (!out) return E_POINTER;
    if (index >= streams.size()) return E_INVALIDARG;
    *out = streams[index];
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD, IWMStreamConfig**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
  // The profile keeps a copy: later changes to the caller's configuration do not reach it.
  HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* config) override {
    Config* fake = FakeConfigOf(config);
    if (!fake) return E_INVALIDARG;
    streams.push_back(new Config(*fake));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID, IWMStreamConfig**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion**) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion**) override { return E_NOTIMPL; }

  WMT_VERSION version = WMT_VER_9_0;
  std::wstring name;
  std::vector<Config*> streams;

 private:
  ~Profile() override {
    for (Config* stream : streams) stream->Release();
  }
};

std::wstring Attribute(const std::wstring& text, const std::wstring& name) {
  const std::wstring key = L" " + name + L"=\"";
  const size_t at = text.find(key);
  if (at == std::wstring::npos) return {};
  const size_t start = at + key.size();
  const size_t end = text.find(L'"', start);
  return end == std::wstring::npos ? std::wstring() : text.substr(start, end - start);
}

class Manager : public Counted<IWMProfileManager, IWMCodecInfo3> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, __uuidof(IWMProfileManager)))
      *out = static_cast<IWMProfileManager*>(this);
    else if (IsEqualGUID(iid, __uuidof(IWMCodecInfo)) || IsEqualGUID(iid, __uuidof(IWMCodecInfo2)) ||
             IsEqualGUID(iid, __uuidof(IWMCodecInfo3)))
      *out = static_cast<IWMCodecInfo3*>(this);
    else
      return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateEmptyProfile(WMT_VERSION version, IWMProfile** out) override {
    if (!out) return E_POINTER;
    if (version != WMT_VER_4_0 && version != WMT_VER_7_0 && version != WMT_VER_8_0 && version != WMT_VER_9_0)
      return E_INVALIDARG;
    auto* profile = new Profile;
    profile->version = version;
    *out = profile;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LoadProfileByID(REFGUID, IWMProfile**) override { return E_NOTIMPL; }
  // Profile text: one audio stream, its wave format and its variable-bit-rate settings.
  HRESULT STDMETHODCALLTYPE LoadProfileByData(const WCHAR* text, IWMProfile** out) override {
    if (!text || !out) return E_POINTER;
    *out = nullptr;
    if (HRESULT hr = Injected("LoadProfileByData")) return hr;
    const std::wstring data = text;
    const size_t stream = data.find(L"<streamconfig");
    const size_t waveAt = data.find(L"<waveformatex");
    if (data.find(L"<profile") == std::wstring::npos || stream == std::wstring::npos || waveAt == std::wstring::npos ||
        data.find(L"</profile>") == std::wstring::npos)
      return kInvalidProfile;
    const std::wstring streamText = data.substr(stream, waveAt - stream);
    const std::wstring waveText = data.substr(waveAt);
    const std::wstring tag = Attribute(waveText, L"wFormatTag");
    const std::wstring rate = Attribute(waveText, L"nSamplesPerSec");
    if (tag.empty() || rate.empty()) return kInvalidProfile;
    auto* config = new Config;
    config->wave.wFormatTag = static_cast<WORD>(std::wcstoul(tag.c_str(), nullptr, 10));
    config->wave.nChannels = static_cast<WORD>(std::wcstoul(Attribute(waveText, L"nChannels").c_str(), nullptr, 10));
    config->wave.nSamplesPerSec = std::wcstoul(rate.c_str(), nullptr, 10);
    config->wave.nAvgBytesPerSec = std::wcstoul(Attribute(waveText, L"nAvgBytesPerSec").c_str(), nullptr, 10);
    config->wave.nBlockAlign = static_cast<WORD>(std::wcstoul(Attribute(waveText, L"nBlockAlign").c_str(), nullptr, 10));
    config->wave.wBitsPerSample =
        static_cast<WORD>(std::wcstoul(Attribute(waveText, L"wBitsPerSample").c_str(), nullptr, 10));
    config->bitrate = std::wcstoul(Attribute(streamText, L"bitrate").c_str(), nullptr, 10);
    config->window = std::wcstoul(Attribute(streamText, L"bufferwindow").c_str(), nullptr, 10);
    config->language = Attribute(streamText, L"rfc1766langid");
    config->properties[g_wszVBREnabled] = Attribute(streamText, L"vbrenabled") == L"1" ? 1 : 0;
    config->properties[L"_RMAX"] = std::wcstoul(Attribute(streamText, L"bitratemax").c_str(), nullptr, 10);
    auto* profile = new Profile;
    profile->name = Attribute(data.substr(0, stream), L"name");
    profile->streams.push_back(config);
    *out = profile;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SaveProfile(IWMProfile* profile, WCHAR* text, DWORD* length) override {
    if (!profile || !length) return E_POINTER;
    DWORD count = 0;
    profile->GetStreamCount(&count);
    std::wstring data = L"<profile version=\"589824\" storageformat=\"1\" name=\"Saved\" description=\"\">";
    for (DWORD i = 0; i < count; ++i) {
      IWMStreamConfig* stream = nullptr;
      profile->GetStream(i, &stream);
      const Config* config = FakeConfigOf(stream);
      const WAVEFORMATEX& w = config->wave;
      data += L"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"" +
              std::to_wstring(config->bitrate) + L"\" bufferwindow=\"" + std::to_wstring(config->window) +
              L"\" rfc1766langid=\"" + config->language + L"\" vbrenabled=\"" +
              std::to_wstring(config->Property(g_wszVBREnabled)) + L"\" bitratemax=\"" +
              std::to_wstring(config->Property(L"_RMAX")) + L"\"><wmmediatype><waveformatex wFormatTag=\"" +
              std::to_wstring(w.wFormatTag) + L"\" nChannels=\"" + std::to_wstring(w.nChannels) +
              L"\" nSamplesPerSec=\"" + std::to_wstring(w.nSamplesPerSec) + L"\" nAvgBytesPerSec=\"" +
              std::to_wstring(w.nAvgBytesPerSec) + L"\" nBlockAlign=\"" + std::to_wstring(w.nBlockAlign) +
              L"\" wBitsPerSample=\"" + std::to_wstring(w.wBitsPerSample) + L"\"/></wmmediatype></streamconfig>";
      stream->Release();
    }
    data += L"</profile>";
    return CopyText(data, text, length);
  }
  HRESULT STDMETHODCALLTYPE GetSystemProfileCount(DWORD* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE LoadSystemProfile(DWORD, IWMProfile**) override { return E_INVALIDARG; }

  // IWMCodecInfo3
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(REFGUID type, DWORD* count) override {
    if (!count) return E_POINTER;
    *count = IsEqualGUID(type, kMediaTypeAudio) ? static_cast<DWORD>(current->codecs.size()) : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* count) override {
    if (!count) return E_POINTER;
    if (!IsEqualGUID(type, kMediaTypeAudio) || codec >= current->codecs.size()) return E_INVALIDARG;
    *count = static_cast<DWORD>(Listed(codec).size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCodecFormat(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** out) override {
    return GetCodecFormatDesc(type, codec, format, out, nullptr, nullptr);
  }
  HRESULT STDMETHODCALLTYPE GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* size) override {
    if (!IsEqualGUID(type, kMediaTypeAudio) || codec >= current->codecs.size()) return E_INVALIDARG;
    return CopyText(current->codecs[codec].name, name, size);
  }
  HRESULT STDMETHODCALLTYPE GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** out,
                                               WCHAR* description, DWORD* size) override {
    if (!IsEqualGUID(type, kMediaTypeAudio) || codec >= current->codecs.size()) return E_INVALIDARG;
    const std::vector<const FakeFormat*> formats = Listed(codec);
    if (format >= formats.size()) return E_INVALIDARG;
    const FakeFormat& chosen = *formats[format];
    if (size) {
      const HRESULT hr = CopyText(chosen.description, description, size);
      if (FAILED(hr) || !description) return hr;
    }
    if (out) {
      auto* config = new Config;
      config->wave = chosen.wave;
      config->bitrate = chosen.bitrate;
      config->window = chosen.bufferWindow;
      config->description = chosen.description;
      config->properties[g_wszVBREnabled] = chosen.vbr ? 1 : 0;
      config->properties[g_wszNumPasses] = chosen.passes;
      if (chosen.quality) config->properties[L"_VBRQUALITY"] = chosen.quality;
      *out = config;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCodecFormatProp(REFGUID, DWORD, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                                               DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetCodecProp(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                                       WMT_ATTR_DATATYPE kind, const BYTE* value, DWORD size) override {
    if (!IsEqualGUID(type, kMediaTypeAudio) || codec >= current->codecs.size() || !name || !value) return E_INVALIDARG;
    if (std::wcscmp(name, g_wszVBREnabled) == 0 && kind == WMT_TYPE_BOOL && size == sizeof(BOOL)) {
      settings[codec].vbr = *reinterpret_cast<const BOOL*>(value) != FALSE;
      return S_OK;
    }
    if (std::wcscmp(name, g_wszNumPasses) == 0 && kind == WMT_TYPE_DWORD && size == sizeof(DWORD)) {
      settings[codec].passes = *reinterpret_cast<const DWORD*>(value);
      return S_OK;
    }
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE GetCodecEnumerationSetting(REFGUID, DWORD, const WCHAR*, WMT_ATTR_DATATYPE*, BYTE*,
                                                       DWORD*) override {
    return E_NOTIMPL;
  }

 private:
  struct Enumeration {
    bool vbr = false;
    DWORD passes = 1;
  };
  // The formats a codec offers under its current enumeration settings.
  std::vector<const FakeFormat*> Listed(DWORD codec) {
    const Enumeration& wanted = settings[codec];
    std::vector<const FakeFormat*> listed;
    for (const FakeFormat& format : current->codecs[codec].formats)
      if (format.vbr == wanted.vbr && format.passes == wanted.passes) listed.push_back(&format);
    return listed;
  }
  std::map<DWORD, Enumeration> settings;
};

class Buffer : public Counted<INSSBuffer> {
 public:
  explicit Buffer(DWORD size) : data(size), length(size) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, __uuidof(INSSBuffer))) return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLength(DWORD* out) override { return *out = length, S_OK; }
  HRESULT STDMETHODCALLTYPE SetLength(DWORD value) override {
    if (value > data.size()) return E_INVALIDARG;
    return length = value, S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* out) override { return *out = static_cast<DWORD>(data.size()), S_OK; }
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** out) override { return *out = data.data(), S_OK; }
  HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** out, DWORD* size) override {
    if (HRESULT hr = Injected("GetBufferAndLength")) return hr;
    *out = data.data();
    *size = length;
    return S_OK;
  }
  std::vector<BYTE> data;
  DWORD length;

};

class InputProps : public Counted<IWMInputMediaProps> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, __uuidof(IWMMediaProps)) &&
        !IsEqualGUID(iid, __uuidof(IWMInputMediaProps)))
      return *out = nullptr, E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetType(GUID* type) override { return *type = kMediaTypeAudio, S_OK; }
  HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    if (HRESULT hr = Injected("SetMediaType")) return hr;
    media = *type;
    format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR* name, WORD* size) override { return CopyText(L"Audio", name, size); }
  HRESULT STDMETHODCALLTYPE GetGroupName(WCHAR* name, WORD* size) override { return CopyText(L"", name, size); }
  WM_MEDIA_TYPE media = {};
  std::vector<BYTE> format;

};

class Writer : public Counted<IWMWriter, IWMWriterPreprocess> {
 public:
  Writer() { ++current->writersAlive; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, __uuidof(IWMWriter)))
      *out = static_cast<IWMWriter*>(this);
    else if (IsEqualGUID(iid, __uuidof(IWMWriterPreprocess)))
      *out = static_cast<IWMWriterPreprocess*>(this);
    else
      return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetProfileByID(REFGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProfile(IWMProfile* profile) override {
    current->calls.push_back("SetProfile");
    if (HRESULT hr = Injected("SetProfile")) return hr;
    if (!profile) return E_POINTER;
    if (writing) return kInvalidRequest;
    IWMStreamConfig* stream = nullptr;
    DWORD count = 0;
    if (FAILED(profile->GetStreamCount(&count)) || count == 0 || FAILED(profile->GetStream(0, &stream)))
      return kInvalidProfile;
    const Config* config = FakeConfigOf(stream);
    current->profileLanguage = config->language;
    current->profileMaxBitrate = config->Property(L"_RMAX");
    current->profileBufferWindow = config->window;
    current->profileWave = config->wave;
    description = config->description;
    twoPass = config->Property(g_wszNumPasses) > 1;
    stream->Release();
    hasProfile = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOutputFilename(const WCHAR* name) override {
    if (HRESULT hr = Injected("SetOutputFilename")) return hr;
    if (!name) return E_POINTER;
    output = name;
    current->outputName = name;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetInputCount(DWORD* count) override {
    if (!hasProfile) return kInvalidRequest;
    return *count = 1, S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetInputProps(DWORD input, IWMInputMediaProps** out) override {
    if (!out) return E_POINTER;
    if (!hasProfile || input != 0) return E_INVALIDARG;
    *out = new InputProps;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetInputProps(DWORD input, IWMInputMediaProps* props) override {
    current->calls.push_back("SetInputProps");
    if (HRESULT hr = Injected("SetInputProps")) return hr;
    if (input != 0 || !props) return E_INVALIDARG;
    auto* fake = static_cast<InputProps*>(props);
    const WM_MEDIA_TYPE& type = fake->media;
    if (!IsEqualGUID(type.majortype, kMediaTypeAudio) || !IsEqualGUID(type.subtype, SubtypeOf(WAVE_FORMAT_PCM)) ||
        !IsEqualGUID(type.formattype, kFormatWaveFormatEx) || fake->format.size() < sizeof(WAVEFORMATEX))
      return kInvalidInputFormat;
    current->inputType = type;
    std::memcpy(&current->inputWave, fake->format.data(), sizeof(WAVEFORMATEX));
    inputSet = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetInputFormatCount(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInputFormat(DWORD, DWORD, IWMInputMediaProps**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginWriting() override {
    current->calls.push_back("BeginWriting");
    if (HRESULT hr = Injected("BeginWriting")) return hr;
    if (!hasProfile || !inputSet || output.empty() || writing) return kInvalidRequest;
    file = CreateFileW(output.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    const DWORD chars = static_cast<DWORD>(description.size());
    Put(kOutputMagic, sizeof(kOutputMagic));
    Put(&chars, sizeof(chars));
    Put(description.data(), chars * sizeof(wchar_t));
    writing = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EndWriting() override {
    current->calls.push_back("EndWriting");
    if (!writing) return kInvalidRequest;
    writing = false;
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    return Injected("EndWriting");
  }
  HRESULT STDMETHODCALLTYPE AllocateSample(DWORD size, INSSBuffer** out) override {
    if (!out) return E_POINTER;
    if (HRESULT hr = Injected("AllocateSample")) return hr;
    *out = new Buffer(size);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE WriteSample(DWORD input, QWORD time, DWORD, INSSBuffer* sample) override {
    current->calls.push_back("WriteSample");
    if (HRESULT hr = Injected("WriteSample")) return hr;
    // Samples are written only once every planned preprocessing pass has ended.
    if (!writing || input != 0 || !sample || inPass || passesDone < passesPlanned) return kInvalidRequest;
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    Put(data, length);
    current->writeTimes.push_back(time);
    current->writeSizes.push_back(length);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }

  // IWMWriterPreprocess: audio two-pass profiles allow one pass, one-pass profiles none.
  HRESULT STDMETHODCALLTYPE GetMaxPreprocessingPasses(DWORD input, DWORD, DWORD* passes) override {
    if (!passes) return E_POINTER;
    if (!hasProfile || input != 0) return E_INVALIDARG;
    *passes = twoPass ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetNumPreprocessingPasses(DWORD input, DWORD, DWORD passes) override {
    if (!hasProfile || input != 0 || passes > (twoPass ? 1u : 0u)) return E_INVALIDARG;
    passesPlanned = passes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BeginPreprocessingPass(DWORD input, DWORD) override {
    current->calls.push_back("BeginPreprocessingPass");
    if (!writing || input != 0 || inPass || passesDone >= passesPlanned) return kInvalidRequest;
    inPass = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreprocessSample(DWORD input, QWORD time, DWORD, INSSBuffer* sample) override {
    current->calls.push_back("PreprocessSample");
    if (HRESULT hr = Injected("PreprocessSample")) return hr;
    if (!inPass || input != 0 || !sample) return kInvalidRequest;
    current->preprocessTimes.push_back(time);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EndPreprocessingPass(DWORD input, DWORD) override {
    current->calls.push_back("EndPreprocessingPass");
    if (!inPass || input != 0) return kInvalidRequest;
    inPass = false;
    ++passesDone;
    return Injected("EndPreprocessingPass");
  }

 private:
  ~Writer() override {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (current) --current->writersAlive;
  }
  void Put(const void* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size, &written, nullptr);
  }
  bool hasProfile = false, inputSet = false, writing = false, twoPass = false, inPass = false;
  DWORD passesPlanned = 0, passesDone = 0;
  std::wstring output, description;
  HANDLE file = INVALID_HANDLE_VALUE;
};

HRESULT WINAPI CreateFakeWriter(IUnknown*, IWMWriter** out) {
  if (HRESULT hr = Injected("WMCreateWriter")) return hr;
  *out = new Writer;
  return S_OK;
}

HRESULT WINAPI CreateFakeManager(IWMProfileManager** out) {
  if (HRESULT hr = Injected("WMCreateProfileManager")) return hr;
  *out = new Manager;
  return S_OK;
}

FakeFormat Wma(bool vbr, DWORD passes, DWORD rate, WORD channels, DWORD bitrate, const std::wstring& text,
               DWORD quality = 0) {
  WAVEFORMATEX wave = {0x161, channels, rate, bitrate / 8, 2229, 16, 10};
  return {vbr, passes, wave, bitrate, 3000, quality, text};
}

}  // namespace

std::vector<FakeCodec> FakeWMSdk::TypicalCodecs() {
  FakeCodec wma9{L"Windows Media Audio 9.2", {}};
  for (DWORD passes : {1u, 2u}) {
    for (DWORD kbps : {48u, 64u, 96u, 128u, 192u}) {
      const std::wstring cbr = std::to_wstring(kbps) + L" kbps, 44 kHz, stereo" + (passes == 2 ? L" 2-pass CBR" : L" CBR");
      wma9.formats.push_back(Wma(false, passes, 44100, 2, kbps * 1000 + 16, cbr));
    }
    wma9.formats.push_back(Wma(false, passes, 22050, 1, 32000, L"32 kbps, 22 kHz, mono CBR"));
    wma9.formats.push_back(Wma(false, passes, 44100, 2, 128000, L"128 kbps, 44 kHz, stereo (A/V) CBR"));
  }
  for (DWORD quality : {10u, 50u, 90u})
    wma9.formats.push_back(Wma(true, 1, 44100, 2, 0, L"VBR Quality " + std::to_wstring(quality) + L", 44 kHz, 2 channel 16 bit 1-pass VBR", quality));
  for (DWORD kbps : {64u, 96u, 128u})
    wma9.formats.push_back(
        Wma(true, 2, 44100, 2, kbps * 1000 + 16, std::to_wstring(kbps) + L" kbps, 44 kHz, stereo 2-pass VBR"));
  FakeCodec voice{L"Windows Media Audio Voice 9", {Wma(false, 1, 8000, 1, 5000, L"5 kbps, 8 kHz, mono CBR"),
                                                   Wma(false, 1, 16000, 1, 16000, L"16 kbps, 16 kHz, mono CBR")}};
  for (FakeFormat& format : voice.formats) format.wave.wFormatTag = 0x0A;
  return {voice, wma9};
}

FakeWMSdkScope::FakeWMSdkScope(std::vector<FakeCodec> codecs) : sdk(*new FakeWMSdk) {
  sdk.codecs = std::move(codecs);
  current = &sdk;
  SetWriterFactories(&CreateFakeWriter, &CreateFakeManager);
  ResetWmaLastValid();
}

FakeWMSdkScope::~FakeWMSdkScope() {
  SetWriterFactories(nullptr, nullptr);
  ResetWmaLastValid();
  current = nullptr;
  delete &sdk;
}

bool ReadFakeOutput(const std::wstring& path, std::wstring& description, std::vector<BYTE>& pcm) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), kOutputMagic, 8) != 0) return false;
  DWORD chars = 0;
  std::memcpy(&chars, bytes.data() + 8, 4);
  if (12 + chars * 2 > bytes.size()) return false;
  description.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 12), chars);
  pcm.assign(bytes.begin() + 12 + chars * 2, bytes.end());
  return true;
}
