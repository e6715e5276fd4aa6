// The Windows Media metadata editor double. Error codes are the SDK's.
#include "FakeMetadataEditor.h"

#include <cstring>

namespace {

constexpr HRESULT kInvalidRequest = static_cast<HRESULT>(0xC00D002B);  // NS_E_INVALID_REQUEST
constexpr HRESULT kBufferTooSmall = static_cast<HRESULT>(0xC00D07D1);  // ASF_E_BUFFERTOOSMALL
constexpr HRESULT kNotFound = static_cast<HRESULT>(0xC00D07F0);        // ASF_E_NOTFOUND

class FakeEditor final : public IWMMetadataEditor, public IWMHeaderInfo3 {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, __uuidof(IWMMetadataEditor))) {
      *out = static_cast<IWMMetadataEditor*>(this);
    } else if (IsEqualGUID(iid, __uuidof(IWMHeaderInfo)) || IsEqualGUID(iid, __uuidof(IWMHeaderInfo2)) ||
               IsEqualGUID(iid, __uuidof(IWMHeaderInfo3))) {
      *out = static_cast<IWMHeaderInfo3*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG remaining = --refCount;
    if (remaining == 0) delete this;
    return remaining;
  }

  // IWMMetadataEditor
  HRESULT STDMETHODCALLTYPE Open(const WCHAR* name) override {
    FakeMediaFiles::log.push_back(L"Open " + std::wstring(name ? name : L""));
    if (open) return kInvalidRequest;
    if (FAILED(FakeMediaFiles::openFailure)) return FakeMediaFiles::openFailure;
    auto file = FakeMediaFiles::files.find(name ? name : L"");
    if (file == FakeMediaFiles::files.end()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    path = file->first;
    working = file->second;
    open = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    FakeMediaFiles::log.push_back(L"Close");
    if (!open) return kInvalidRequest;
    open = false;  // unsaved changes are dropped
    return S_OK;
  }
  // Saves the changes and closes the file.
  HRESULT STDMETHODCALLTYPE Flush() override {
    FakeMediaFiles::log.push_back(L"Flush");
    if (!open) return kInvalidRequest;
    if (FAILED(FakeMediaFiles::flushFailure)) return FakeMediaFiles::flushFailure;
    FakeMediaFiles::files[path] = working;
    open = false;
    return S_OK;
  }

  // IWMHeaderInfo
  HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream, WORD* count) override {
    if (!open) return kInvalidRequest;
    if (!count) return E_POINTER;
    *count = stream == 0 ? static_cast<WORD>(working.size()) : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                                WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override {
    if (!open) return kInvalidRequest;
    if (!stream || !nameLength || !type || !length) return E_POINTER;
    if (*stream != 0 || index >= working.size()) return E_INVALIDARG;
    const FakeAttribute& attribute = working[index];
    WORD needed = static_cast<WORD>(attribute.name.size() + 1);
    if (name) {
      if (*nameLength < needed) return kBufferTooSmall;
      std::memcpy(name, attribute.name.c_str(), needed * sizeof(WCHAR));
    }
    *nameLength = needed;
    *type = attribute.type;
    return CopyValue(attribute, value, length);
  }
  HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                               WORD* length) override {
    if (!open) return kInvalidRequest;
    if (!stream || !name || !type || !length) return E_POINTER;
    if (*stream != 0) return kNotFound;
    for (const FakeAttribute& attribute : working) {
      if (attribute.name != name) continue;
      *type = attribute.type;
      return CopyValue(attribute, value, length);
    }
    return kNotFound;
  }
  // Replaces the first attribute of that name, or appends one.
  HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                                         WORD length) override {
    FakeMediaFiles::log.push_back(L"Set " + std::wstring(name ? name : L""));
    if (!open) return kInvalidRequest;
    if (stream != 0 || !name || (length && !value)) return E_INVALIDARG;
    FakeAttribute attribute{name, type, std::vector<BYTE>(value, value + length)};
    for (FakeAttribute& existing : working) {
      if (existing.name == name) {
        existing = attribute;
        return S_OK;
      }
    }
    working.push_back(attribute);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

  // IWMHeaderInfo2
  HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*, WMT_CODEC_INFO_TYPE*, WORD*,
                                         BYTE*) override {
    return E_NOTIMPL;
  }

  // IWMHeaderInfo3
  HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD, WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD, LPCWSTR, WORD*, WORD*, WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD, WORD, LPWSTR, WORD*, WMT_ATTR_DATATYPE*, WORD*, BYTE*,
                                                  DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddAttribute(WORD, LPCWSTR, WORD*, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) override {
    return E_NOTIMPL;
  }
  // The attributes after index move down by one.
  HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD stream, WORD index) override {
    if (!open) return kInvalidRequest;
    if (stream != 0 || index >= working.size()) return E_INVALIDARG;
    FakeMediaFiles::log.push_back(L"Delete " + std::to_wstring(index) + L" " + working[index].name);
    working.erase(working.begin() + index);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddCodecInfo(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, WMT_CODEC_INFO_TYPE, WORD,
                                         BYTE*) override {
    return E_NOTIMPL;
  }

 private:
  ~FakeEditor() = default;

  static HRESULT CopyValue(const FakeAttribute& attribute, BYTE* value, WORD* length) {
    WORD size = static_cast<WORD>(attribute.value.size());
    if (value) {
      if (*length < size) return kBufferTooSmall;
      if (size) std::memcpy(value, attribute.value.data(), size);
    }
    *length = size;
    return S_OK;
  }

  ULONG refCount = 1;
  bool open = false;
  std::wstring path;
  std::vector<FakeAttribute> working;
};

std::vector<BYTE> Bytes(const void* data, size_t size) {
  const BYTE* begin = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(begin, begin + size);
}

}  // namespace

std::map<std::wstring, std::vector<FakeAttribute>> FakeMediaFiles::files;
std::vector<std::wstring> FakeMediaFiles::log;
HRESULT FakeMediaFiles::openFailure = S_OK;
HRESULT FakeMediaFiles::flushFailure = S_OK;

void FakeMediaFiles::Reset() {
  files.clear();
  log.clear();
  openFailure = S_OK;
  flushFailure = S_OK;
}

FakeAttribute StringAttribute(const std::wstring& name, const std::wstring& text) {
  return {name, WMT_TYPE_STRING, Bytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t))};
}
FakeAttribute DwordAttribute(const std::wstring& name, DWORD value) {
  return {name, WMT_TYPE_DWORD, Bytes(&value, sizeof value)};
}
FakeAttribute QwordAttribute(const std::wstring& name, UINT64 value) {
  return {name, WMT_TYPE_QWORD, Bytes(&value, sizeof value)};
}
FakeAttribute BinaryAttribute(const std::wstring& name, const std::string& bytes) {
  return {name, WMT_TYPE_BINARY, Bytes(bytes.data(), bytes.size())};
}

HRESULT WINAPI CreateFakeMetadataEditor(IWMMetadataEditor** editor) {
  if (!editor) return E_POINTER;
  *editor = new FakeEditor();
  return S_OK;
}
