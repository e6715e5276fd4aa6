#include "JolietImage.h"

#include <oleauto.h>

#include <map>
#include <utility>

#include "IsoImageWriter.h"
#include "PropertySet.h"
#include "tavcore.h"

namespace {

constexpr wchar_t kVolumeName[] = L"VolumeName";
constexpr size_t kMaxLabelChars = 32;

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
  CPropertySet* copy = new CPropertySet();
  copy->values[kVolumeName] = {VT_BSTR, label, 0};
  *properties = copy;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CJolietImage::SetJolietProperties(IPropertyStorage* properties) {
  if (!properties) return E_POINTER;
  CPropertySet::Value given;
  const HRESULT hr = CPropertySet::Read(properties, kVolumeName, &given);
  if (FAILED(hr)) return hr;
  if (given.type == VT_EMPTY) return S_OK;  // no label given: the current one stays
  if (given.type != VT_BSTR || given.text.size() > kMaxLabelChars) return E_INVALIDARG;
  label = given.text;
  return S_OK;
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
