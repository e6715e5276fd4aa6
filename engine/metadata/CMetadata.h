// CMetadata<T>: the metadata object of one file (path and reference count); T adds the format's tag access.
#pragma once

#include <string>

#include "RefCounted.h"
#include "tavcore.h"

template <class T>
class CMetadata : public CRefCounted<IMetadata, IID_IMetadata, T> {
 public:
  explicit CMetadata(const wchar_t* filePath) : path(filePath ? filePath : L"") {}
  CMetadata(const CMetadata&) = delete;
  CMetadata& operator=(const CMetadata&) = delete;

  const std::wstring& Path() const { return path; }
  // A file marked read-only keeps its tags: its object reads but does not offer to write.
  UINT32 WritableCapabilities() const {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    return readOnly ? kMetadataCanRead : kMetadataCanRead | kMetadataCanWrite;
  }

 protected:
  ~CMetadata() = default;

  std::wstring path;
};
