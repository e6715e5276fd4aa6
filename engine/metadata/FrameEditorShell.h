// What the frame editors ask of the shell: a file chosen by the user and a URL opened in its handler.
// Production uses the platform's file dialogs and ShellExecuteW; tests answer as a user would.
#pragma once

#include <windows.h>

#include <string>

// Fills path (it may hold a suggestion) with the file the user chose; false when the user cancelled.
// filter is in the common dialogs' form (pairs of NUL-terminated strings, an extra NUL at the end).
using ChooseFileFunction = bool (*)(HWND owner, bool save, const wchar_t* filter, std::wstring& path);
// Opens url with the system's handler for its scheme; false when that failed.
using OpenUrlFunction = bool (*)(HWND owner, const wchar_t* url);

bool ChooseFile(HWND owner, bool save, const wchar_t* filter, std::wstring& path);
bool OpenUrl(HWND owner, const wchar_t* url);

// Null restores the platform's own.
void SetChooseFileFunction(ChooseFileFunction function);
void SetOpenUrlFunction(OpenUrlFunction function);
