// The ID3v1 genre table (0 to 79), names right-padded with blanks to 15 characters.
#pragma once

#include <windows.h>

#include <string>

constexpr UINT32 kGenreCount = 80;

// Padded name, null when index >= kGenreCount.
const wchar_t* GenreName(UINT32 index);
// The name without its padding; empty for unknown numbers.
std::wstring GenreTrimmedName(UINT32 index);
// First index whose trimmed name equals name exactly; -1 when none.
int GenreIndexOf(const wchar_t* name);
