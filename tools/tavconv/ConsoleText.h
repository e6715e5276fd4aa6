// Writing wide text to the console or, when redirected, as UTF-8 bytes.
#pragma once

#include <cstdio>
#include <string>

void WriteText(FILE* stream, const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// True when the stream is a console window (not a file or a pipe).
bool IsTerminal(FILE* stream);
