// Telling UTF-8 text from text in a single-byte code page.
#pragma once

#include <string>

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const std::string& bytes);
