// Probing the engine's readers and writers with a temporary file in the temporary folder.
#include "FormatProbe.h"

#include <cwctype>
#include <vector>

#include "PcmFormat.h"
#include "QuietCallback.h"
#include "tavcore.h"

namespace {

// Keeps the first error line; everything else a probe says is dropped.
class CaptureCallback : public CQuietCallback {
 public:
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override {
    if (firstError.empty() && text && style && wcschr(style, L'e')) {
      firstError = text;
      while (!firstError.empty() && (firstError.back() == L'\n' || firstError.back() == L'\r')) firstError.pop_back();
    }
  }

  std::wstring firstError;
};

// A file name in the temporary folder that no other process uses, with the extension given.
std::wstring TemporaryPath(const wchar_t* extension) {
  wchar_t folder[MAX_PATH];
  ACTempPath(folder);
  static LONG counter = 0;
  return std::wstring(folder) + L"~tavprobe" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(InterlockedIncrement(&counter)) + extension;
}

// The embedded sample of one of the row's extensions, as the extension and its bytes; empty when there is none.
bool FindSample(const CONVFORMAT& row, std::wstring& extension, const void** data, DWORD* size) {
  for (const wchar_t* item = row.extensions; *item; item += wcslen(item) + 1) {
    std::wstring name = L"PROBE_";
    for (const wchar_t* c = item + 1; *c; ++c) name += static_cast<wchar_t>(towupper(*c));
    HRSRC found = FindResourceW(nullptr, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    if (!loaded) continue;
    extension = item;
    *data = LockResource(loaded);
    *size = SizeofResource(nullptr, found);
    return *data != nullptr;
  }
  return false;
}

bool WriteWholeFile(const std::wstring& path, const void* data, DWORD size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, data, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return ok;
}

// The readers use COM objects of the platform, as they do on the conversion job's thread.
struct ComApartment {
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComApartment() {
    if (SUCCEEDED(initialized)) CoUninitialize();
  }
};

template <class T>
struct Released {
  T* object = nullptr;
  ~Released() {
    if (object) object->Release();
  }
};

}  // namespace

FormatAbility ProbeReading(UINT32 index) {
  CONVFORMAT row;
  if (ConvGetFormatAt(&row, index) != S_OK || !row.sourceClass) return {Ability::kNo, L""};
  Released<IConvertSource> source;
  if (ConvCreateSource(&row, &source.object) != S_OK) return {Ability::kNo, L"no reader in this build"};
  if (IsEqualGUID(*row.sourceClass, CLSID_CWavConvSource)) return {Ability::kYes, L""};
  std::wstring extension;
  const void* data = nullptr;
  DWORD size = 0;
  if (!FindSample(row, extension, &data, &size))
    return {Ability::kUnchecked, L"depends on the decoders installed on this machine"};
  const std::wstring path = TemporaryPath(extension.c_str());
  if (!WriteWholeFile(path, data, size)) return {Ability::kUnchecked, L"the temporary folder cannot be written"};
  ComApartment apartment;
  CaptureCallback capture;
  source.object->SetCallback(&capture);
  source.object->SetFileName(path.c_str());
  const bool opened = source.object->Open();
  source.object->Close();
  source.object->SetCallback(nullptr);
  DeleteFileW(path.c_str());
  return {opened ? Ability::kYes : Ability::kNo, capture.firstError};
}

FormatAbility ProbeWriting(UINT32 index) {
  CONVFORMAT row;
  if (ConvGetFormatAt(&row, index) != S_OK || !row.destinationClass) return {Ability::kNo, L""};
  Released<IConvertDestination> destination;
  if (ConvCreateDest(&row, &destination.object) != S_OK) return {Ability::kNo, L"no writer in this build"};
  CaptureCallback capture;
  destination.object->SetCallback(&capture);
  const std::wstring path = TemporaryPath(row.extensions);
  const WAVEFORMATEX pcm = MakePcmFormat(16, 2, 44100);
  std::vector<BYTE> silence(pcm.nAvgBytesPerSec / 10);
  bool ok = destination.object->SetFileName(path.c_str()) && destination.object->SetFormat(&pcm) &&
            destination.object->Open();
  if (ok) ok = destination.object->Write(static_cast<UINT32>(silence.size()), silence.data());
  ok = destination.object->Close() && ok;
  destination.object->SetCallback(nullptr);
  DeleteFileW(path.c_str());
  return {ok ? Ability::kYes : Ability::kNo, capture.firstError};
}

std::wstring WritableFormatNames() {
  std::wstring names;
  for (UINT32 index = 0; index < ConvGetFormatCount(); ++index) {
    CONVFORMAT row;
    if (ConvGetFormatAt(&row, index) != S_OK || ProbeWriting(index).ability != Ability::kYes) continue;
    if (!names.empty()) names += L", ";
    names += row.name;
  }
  return names;
}
