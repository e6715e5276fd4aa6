// Logging mix-in of the source and destination base classes.
#include "DefErrLog.h"

#include <cstdarg>

#include "EngineResources.h"

void CDefErrLog::Send(const wchar_t* style, const wchar_t* format, va_list args) {
  if (!callback) return;
  std::wstring text = FormatTextV(kMessageCapacity, format, args);
  text += L'\n';
  callback->LogStyled(text.c_str(), style);
}

void CDefErrLog::LogError(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Send(L"e", format, args);
  va_end(args);
}

void CDefErrLog::LogInfo(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Send(L"i", format, args);
  va_end(args);
}
