// Strict UTF-8 validation.
#include "Utf8Text.h"

#include <climits>

bool IsValidUtf8(const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    unsigned char lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    // The range of the first continuation byte excludes overlong forms, surrogates and values past U+10FFFF.
    size_t trailing = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trailing = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trailing = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - at <= trailing) return false;
    for (size_t i = 1; i <= trailing; ++i) {
      unsigned char c = static_cast<unsigned char>(bytes[at + i]);
      if (c < low || c > high) return false;
      low = 0x80;
      high = 0xBF;
    }
    at += trailing + 1;
  }
  return true;
}

std::wstring DecodeText(const char* bytes, size_t length, UINT codePage) {
  if (length == 0 || length > INT_MAX) return {};
  int count = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
  if (count <= 0) return {};
  std::wstring text(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &text[0], count);
  return text;
}

std::string EncodeText(const std::wstring& text, UINT codePage, bool* lossy) {
  if (lossy) *lossy = false;
  if (text.empty() || text.size() > INT_MAX) return {};
  // UTF-8 (also as the system code page) takes neither the flag nor the default-character report.
  bool utf8 = codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8);
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* report = utf8 ? nullptr : &usedDefault;
  int length = static_cast<int>(text.size());
  int count = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, report);
  if (count <= 0) {
    if (lossy) *lossy = true;
    return {};
  }
  std::string bytes(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), length, &bytes[0], count, nullptr, report);
  if (lossy) *lossy = usedDefault != FALSE;
  return bytes;
}
