// Telling UTF-8 text from text in a single-byte code page, and text in and out of code pages.
#pragma once

#include <windows.h>

#include <string>

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

std::wstring DecodeText(const char* bytes, size_t length, UINT codePage);
// lossy (optional) is set when a character has no form in the code page.
std::string EncodeText(const std::wstring& text, UINT codePage, bool* lossy);
