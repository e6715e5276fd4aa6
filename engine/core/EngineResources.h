// The engine's own module, its current resource module (itself or a language pack) and numbered strings.
#pragma once

#include <windows.h>

#include <string>

// The module the engine's code is linked into (tavcore.dll, or a test program that links the engine).
HMODULE EngineModule();
// Folder of the engine's file, without a trailing separator.
std::wstring EngineFolder();

// Where numbered strings and dialogs come from; swapped atomically when a language pack is loaded.
HMODULE ResourceModule();
void SetResourceModule(HMODULE module);

// A numbered string of the current resource module; the engine's own text when the pack lacks it;
// empty when neither has it.
std::wstring LoadEngineString(UINT id);

// printf-style wide formatting with the platform's conventions (%s wide, %hs narrow), cut to fit
// a buffer of `capacity` characters including the terminator.
std::wstring FormatText(size_t capacity, const wchar_t* format, ...);
std::wstring FormatTextV(size_t capacity, const wchar_t* format, va_list args);

// The system's own words for an error code ("There is not enough space on the disk."), without the line
// break; empty when it has none.
std::wstring SystemErrorText(DWORD code);
