// Logging mix-in of the source and destination base classes: formatted lines to the caller's callback.
#pragma once

#include "tavcore.h"

class CDefErrLog {
 public:
  static constexpr size_t kMessageCapacity = 1024;

 protected:
  // Formats (cut to 1024 characters), appends "\n" and sends the line with style "e" / "i".
  // Without a callback the line is dropped.
  void LogError(const wchar_t* format, ...);
  void LogInfo(const wchar_t* format, ...);

  IConvertCallback* callback = nullptr;  // borrowed, never reference-counted

 private:
  void Send(const wchar_t* style, const wchar_t* format, va_list args);
};
