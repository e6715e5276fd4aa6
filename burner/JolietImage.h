// The Joliet format of the image disc master: AddData copies the streams of an IStorage tree (sub-storages are
// folders) into staging files; WriteImage lays them out as an ISO 9660 + Joliet image.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Imapi.h"
#include "RefCounted.h"

class CJolietImage : public CRefCounted<IJolietDiscMaster, IID_IJolietDiscMaster, CJolietImage> {
 public:
  // capacityBlocks: 2048-byte sectors the disc holds.
  CJolietImage(std::wstring isoPath, long capacityBlocks);
  virtual ~CJolietImage();
  CJolietImage(const CJolietImage&) = delete;
  CJolietImage& operator=(const CJolietImage&) = delete;


  HRESULT STDMETHODCALLTYPE GetTotalDataBlocks(long* blocks) override;
  // Sectors of the image as laid out now, file system included.
  HRESULT STDMETHODCALLTYPE GetUsedDataBlocks(long* blocks) override;
  HRESULT STDMETHODCALLTYPE GetDataBlockSize(long* blockBytes) override;
  // IMAPI_E_DISCFULL when the image would no longer fit; STG_E_FILEALREADYEXISTS for a name already staged
  // without fileOverwrite. A failure keeps nothing of this call.
  HRESULT STDMETHODCALLTYPE AddData(IStorage* storage, long fileOverwrite) override;
  // A copy holding "VolumeName" (string); the caller releases it.
  HRESULT STDMETHODCALLTYPE GetJolietProperties(IPropertyStorage** properties) override;
  // Takes "VolumeName"; E_INVALIDARG for a label that is not a string of at most 32 characters.
  HRESULT STDMETHODCALLTYPE SetJolietProperties(IPropertyStorage* properties) override;

  // Drops every staged file (ClearFormatContent).
  void Clear();
  // Writes the image at the path given at construction; IMAPI_E_DISCFULL (nothing written) when it does not fit.
  HRESULT WriteImage();
  size_t FileCount() const { return files.size(); }
  const std::wstring& VolumeLabel() const { return label; }

 private:
  struct File {
    std::wstring discPath;
    std::wstring stagingPath;
  };
  HRESULT AddTree(IStorage* storage, const std::wstring& prefix, std::vector<File>& added);
  bool Fits(const std::vector<File>& all, long* usedBlocks);

  friend class CRefCounted<IJolietDiscMaster, IID_IJolietDiscMaster, CJolietImage>;  // deletes it at the last Release
  std::wstring isoPath;
  long capacity;
  std::wstring label;
  std::vector<File> files;
};
