// Default behaviour shared by every destination, and the output-path preparation of Open.
#include "DefConvertDestination.h"

#include <cwchar>

#include "EngineResources.h"
#include "PathText.h"
#include "resource.h"

CDefConvertDestination::~CDefConvertDestination() {
  if (source) source->Release();
}

bool CDefConvertDestination::SetFileName(const wchar_t* path) {
  // Longer paths are refused rather than cut: a cut name would write somewhere the caller did not ask for.
  if (!path) return false;
  size_t length = wcslen(path);
  if (length >= MAX_PATH) return false;
  wmemcpy(fileName, path, length + 1);
  return true;
}

bool CDefConvertDestination::GetFileName(wchar_t* buf, int cch) {
  if (!fileName[0]) return false;
  return CopyTruncated(buf, cch, fileName);
}

bool CDefConvertDestination::Open() {
  std::wstring folder = PathFolder(fileName);
  if (!folder.empty() && !CreateFolderChain(folder)) {
    LogError(LoadEngineString(IDS_DIRECTORY_NOT_CREATED).c_str(), folder.c_str());
    return false;
  }
  // Each answer is checked again, since another program may recreate the file meanwhile; a file that
  // keeps coming back is reported as not replaceable rather than asked about forever.
  for (int attempt = 0; PathExists(fileName); ++attempt) {
    if (!callback || !callback->ConfirmOverwrite(fileName)) {
      LogError(LoadEngineString(IDS_OUTPUT_EXISTS).c_str());
      return false;
    }
    if (attempt >= 8 || !DeleteFileW(fileName)) {
      LogError(LoadEngineString(IDS_OUTPUT_NOT_REPLACED).c_str());
      return false;
    }
  }
  return true;
}

bool CDefConvertDestination::Fail(const std::wstring& message) {
  Close();
  LogError(L"%s", message.c_str());
  return false;
}

bool CDefConvertDestination::GetMetadata(IMetadata**) { return false; }

bool CDefConvertDestination::SetSource(IConvertSource* src) {
  if (source) {
    source->Release();
    source = nullptr;
  }
  if (!src) return false;
  src->AddRef();
  source = src;
  return true;
}

bool CDefConvertDestination::EstimateSize(UINT32, const WAVEFORMATEX*, UINT32*) { return false; }

bool CDefConvertDestination::SetFormat(const WAVEFORMATEX* fmt) {
  if (!fmt) return false;
  format = *fmt;
  return true;
}

bool CDefConvertDestination::GetSettingsText(wchar_t* buf, int cch) { return CopyTruncated(buf, cch, L"None"); }

bool CDefConvertDestination::SetOption(const wchar_t*, const wchar_t*, wchar_t*) { return false; }
