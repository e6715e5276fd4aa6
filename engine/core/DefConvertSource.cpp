// Default behaviour and state checks shared by every source.
#include "DefConvertSource.h"

#include <algorithm>
#include <cwchar>

#include "EngineResources.h"
#include "PathText.h"
#include "resource.h"

UINT32 MulDivRounded(UINT32 a, UINT32 b, UINT32 c) {
  if (c == 0) return 0;
  return static_cast<UINT32>((static_cast<unsigned long long>(a) * b + c / 2) / c);
}

bool CDefConvertSource::SetFileName(const wchar_t* path) {
  if (!path) return false;
  size_t length = wcslen(path);
  if (length >= MAX_PATH) return false;
  wmemcpy(fileName, path, length + 1);
  return true;
}

bool CDefConvertSource::GetFileName(wchar_t* buf, int cch) {
  size_t length = wcslen(fileName);
  if (!buf || cch <= 0 || static_cast<size_t>(cch) <= length) return false;
  wmemcpy(buf, fileName, length + 1);
  return true;
}

bool CDefConvertSource::GetFileTitle(wchar_t* buf, int cch) {
  if (!fileName[0]) return false;
  return CopyTruncated(buf, cch, PathFileName(fileName));
}

bool CDefConvertSource::GetFolder(wchar_t* buf, int cch) {
  if (!fileName[0] || !buf || cch <= 0) return false;
  std::wstring truncated(fileName, std::min(wcslen(fileName), static_cast<size_t>(cch) - 1));
  std::wstring folder = PathFolder(truncated);
  CopyTruncated(buf, cch, folder);
  return !folder.empty();
}

bool CDefConvertSource::Open() {
  if (opened) {
    LogError(LoadEngineString(IDS_SOURCE_ALREADY_OPENED).c_str());
    return false;
  }
  opened = TRUE;
  return true;
}

bool CDefConvertSource::Fail(const std::wstring& message) {
  Close();
  LogError(L"%s", message.c_str());
  return false;
}

bool CDefConvertSource::SetStartTime(int ms) {
  startTimeMs = ms;
  return true;
}

bool CDefConvertSource::ReadAll(IPlayCallback*) {
  if (opened) return true;
  LogError(L"Source object is not opened");
  return false;
}

bool CDefConvertSource::Close() {
  opened = FALSE;
  return true;
}

bool CDefConvertSource::GetMetadata(IMetadata**) { return false; }

bool CDefConvertSource::GetDataSize(UINT32* bytes, int startMs, int endMs) {
  if (!bytes || !opened) return false;
  UINT32 end = dataSize;
  if (endMs > -1) end = std::min(MulDivRounded(format.nAvgBytesPerSec, static_cast<UINT32>(endMs), 1000), dataSize);
  UINT32 start = 0;
  if (startMs > -1) start = std::min(MulDivRounded(format.nAvgBytesPerSec, static_cast<UINT32>(startMs), 1000), end);
  *bytes = end - start;
  return true;
}

bool CDefConvertSource::GetFormat(WAVEFORMATEX* out) {
  if (!out || !opened) return false;
  *out = format;
  return true;
}
