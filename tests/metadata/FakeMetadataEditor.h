// A double of the Windows Media metadata editor and its header information: an attribute store per file (names,
// types, values) that changes only on Flush, deletion that moves later attributes down, a call log, and
// failures on request.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include <map>
#include <string>
#include <vector>

struct FakeAttribute {
  std::wstring name;
  WMT_ATTR_DATATYPE type;
  std::vector<BYTE> value;
};

FakeAttribute StringAttribute(const std::wstring& name, const std::wstring& text);
FakeAttribute DwordAttribute(const std::wstring& name, DWORD value);
FakeAttribute QwordAttribute(const std::wstring& name, UINT64 value);
FakeAttribute BinaryAttribute(const std::wstring& name, const std::string& bytes);

// The "files" the editor opens, and what happened to them.
struct FakeMediaFiles {
  static std::map<std::wstring, std::vector<FakeAttribute>> files;
  static std::vector<std::wstring> log;
  static HRESULT openFailure;   // Open fails with this code when set
  static HRESULT flushFailure;  // Flush fails with this code (nothing saved) when set
  static void Reset();
};

// The editor factory the engine calls in place of the SDK's.
HRESULT WINAPI CreateFakeMetadataEditor(IWMMetadataEditor** editor);
