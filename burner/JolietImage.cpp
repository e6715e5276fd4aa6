#include "JolietImage.h"

#include <oleauto.h>

#include <map>
#include <utility>

#include "IsoImageWriter.h"
#include "tavcore.h"

namespace {

constexpr wchar_t kVolumeName[] = L"VolumeName";
constexpr size_t kMaxLabelChars = 32;

// The property set of the Joliet format: named string properties in memory.
class CJolietProperties : public IPropertyStorage {
 public:
  virtual ~CJolietProperties() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyStorage)) return E_NOINTERFACE;
    *out = static_cast<IPropertyStorage*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refCount;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG count, const PROPSPEC* names, PROPVARIANT* values) override {
    if (count && (!names || !values)) return E_POINTER;
    bool any = false;
    for (ULONG i = 0; i < count; ++i) {
      PropVariantInit(&values[i]);
      if (names[i].ulKind != PRSPEC_LPWSTR || !names[i].lpwstr) continue;
      auto found = strings.find(names[i].lpwstr);
      if (found == strings.end()) continue;
      values[i].vt = VT_BSTR;
      values[i].bstrVal = SysAllocString(found->second.c_str());
      if (!values[i].bstrVal) {
        for (ULONG j = 0; j <= i; ++j) PropVariantClear(&values[j]);
        return E_OUTOFMEMORY;
      }
      any = true;
    }
    return any ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG count, const PROPSPEC* names, const PROPVARIANT* values,
                                          PROPID) override {
    if (count && (!names || !values)) return E_POINTER;
    std::map<std::wstring, std::wstring> updated = strings;
    for (ULONG i = 0; i < count; ++i) {
      if (names[i].ulKind != PRSPEC_LPWSTR || !names[i].lpwstr) return STG_E_INVALIDPARAMETER;
      const wchar_t* text = values[i].vt == VT_BSTR     ? values[i].bstrVal
                            : values[i].vt == VT_LPWSTR ? values[i].pwszVal
                                                        : nullptr;
      if (!text) return STG_E_INVALIDPARAMETER;
      updated[names[i].lpwstr] = text;
    }
    strings.swap(updated);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG count, const PROPSPEC* names) override {
    for (ULONG i = 0; i < count; ++i)
      if (names[i].ulKind == PRSPEC_LPWSTR && names[i].lpwstr) strings.erase(names[i].lpwstr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID*, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID*, const LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* stat) override {
    if (!stat) return E_POINTER;
    *stat = {};
    return S_OK;
  }

  std::map<std::wstring, std::wstring> strings;

 private:
  ULONG refCount = 1;
};

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Copies the stream into a new staging file in the engine's temporary folder; empty on failure.
std::wstring StageStream(IStream* stream) {
  wchar_t folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"stg", 0, path)) return {};
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(path);
    return {};
  }
  bool ok = true;
  std::vector<BYTE> buffer(65536);
  for (;;) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &got);
    if (FAILED(hr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(file, buffer.data(), got, &written, nullptr) || written != got) {
      ok = false;
      break;
    }
  }
  ok = CloseHandle(file) && ok;
  if (!ok) {
    DeleteFileW(path);
    return {};
  }
  return path;
}

}  // namespace

CJolietImage::CJolietImage(std::wstring isoPath, long capacityBlocks)
    : isoPath(std::move(isoPath)), capacity(capacityBlocks) {}

CJolietImage::~CJolietImage() { Clear(); }

HRESULT STDMETHODCALLTYPE CJolietImage::GetTotalDataBlocks(long* blocks) {
  if (!blocks) return E_POINTER;
  *blocks = capacity;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CJolietImage::GetUsedDataBlocks(long* blocks) {
  if (!blocks) return E_POINTER;
  Fits(files, blocks);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CJolietImage::GetDataBlockSize(long* blockBytes) {
  if (!blockBytes) return E_POINTER;
  *blockBytes = static_cast<long>(CIsoImageWriter::kSectorSize);
  return S_OK;
}

bool CJolietImage::Fits(const std::vector<File>& all, long* usedBlocks) {
  CIsoImageWriter writer(label);
  for (const File& file : all) writer.AddFile(file.stagingPath, file.discPath);
  uint64_t bytes = 0;
  const bool laidOut = writer.ComputeImageSize(bytes);
  const uint64_t blocks = bytes / CIsoImageWriter::kSectorSize;
  if (usedBlocks) *usedBlocks = static_cast<long>(blocks);
  return laidOut && blocks <= static_cast<uint64_t>(capacity);
}

HRESULT CJolietImage::AddTree(IStorage* storage, const std::wstring& prefix, std::vector<File>& added) {
  IEnumSTATSTG* elements = nullptr;
  HRESULT hr = storage->EnumElements(0, nullptr, 0, &elements);
  if (FAILED(hr)) return hr;
  STATSTG stat;
  while (SUCCEEDED(hr) && elements->Next(1, &stat, nullptr) == S_OK) {
    const std::wstring name = stat.pwcsName ? stat.pwcsName : L"";
    CoTaskMemFree(stat.pwcsName);
    if (stat.type == STGTY_STREAM) {
      IStream* stream = nullptr;
      hr = storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
      if (FAILED(hr)) break;
      const std::wstring staged = StageStream(stream);
      stream->Release();
      if (staged.empty()) {
        hr = IMAPI_E_FILEACCESS;
        break;
      }
      added.push_back({prefix + name, staged});
    } else if (stat.type == STGTY_STORAGE) {
      IStorage* folder = nullptr;
      hr = storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &folder);
      if (FAILED(hr)) break;
      hr = AddTree(folder, prefix + name + L"/", added);
      folder->Release();
    }
  }
  elements->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE CJolietImage::AddData(IStorage* storage, long fileOverwrite) {
  if (!storage) return E_POINTER;
  std::vector<File> added;
  HRESULT hr = AddTree(storage, L"", added);
  std::vector<File> all = files, replaced;
  for (size_t i = 0; SUCCEEDED(hr) && i < added.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      if (SameName(added[j].discPath, added[i].discPath)) hr = STG_E_FILEALREADYEXISTS;
    for (auto it = all.begin(); SUCCEEDED(hr) && it != all.end(); ++it) {
      if (!SameName(it->discPath, added[i].discPath)) continue;
      if (!fileOverwrite) {
        hr = STG_E_FILEALREADYEXISTS;
        break;
      }
      replaced.push_back(*it);
      all.erase(it);
      break;
    }
    if (SUCCEEDED(hr)) all.push_back(added[i]);
  }
  if (SUCCEEDED(hr) && !Fits(all, nullptr)) hr = IMAPI_E_DISCFULL;
  // Nothing of a failed call stays; a replaced file's staging copy goes once its successor is in.
  for (const File& file : FAILED(hr) ? added : replaced) DeleteFileW(file.stagingPath.c_str());
  if (SUCCEEDED(hr)) files.swap(all);
  return hr;
}

HRESULT STDMETHODCALLTYPE CJolietImage::GetJolietProperties(IPropertyStorage** properties) {
  if (!properties) return E_POINTER;
  CJolietProperties* copy = new CJolietProperties();
  copy->strings[kVolumeName] = label;
  *properties = copy;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CJolietImage::SetJolietProperties(IPropertyStorage* properties) {
  if (!properties) return E_POINTER;
  PROPSPEC name = {};
  name.ulKind = PRSPEC_LPWSTR;
  name.lpwstr = const_cast<LPOLESTR>(kVolumeName);
  PROPVARIANT value;
  PropVariantInit(&value);
  HRESULT hr = properties->ReadMultiple(1, &name, &value);
  if (FAILED(hr)) return hr;
  const wchar_t* text = value.vt == VT_BSTR ? value.bstrVal : value.vt == VT_LPWSTR ? value.pwszVal : nullptr;
  if (hr == S_OK && value.vt != VT_EMPTY) {
    if (!text || wcslen(text) > kMaxLabelChars) hr = E_INVALIDARG;
    else label = text;
  }
  PropVariantClear(&value);
  return SUCCEEDED(hr) ? S_OK : hr;
}

void CJolietImage::Clear() {
  for (const File& file : files) DeleteFileW(file.stagingPath.c_str());
  files.clear();
}

HRESULT CJolietImage::WriteImage() {
  CIsoImageWriter writer(label);
  for (const File& file : files) writer.AddFile(file.stagingPath, file.discPath);
  if (writer.Write(isoPath, static_cast<uint64_t>(capacity) * CIsoImageWriter::kSectorSize)) return S_OK;
  switch (writer.LastError()) {
    case IsoError::ExceedsCapacity: return IMAPI_E_DISCFULL;
    case IsoError::SourceUnreadable: return IMAPI_E_FILEACCESS;
    default: return IMAPI_E_FILESYSTEM;
  }
}
