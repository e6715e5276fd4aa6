// Strict UTF-8 validation.
#include "Utf8Text.h"

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
