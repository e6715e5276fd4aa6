// The engine's message boxes: the application's caption, the owner's window, and a seam for tests.
#pragma once

#include <windows.h>

using EngineMessageBoxFunction = int(WINAPI*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Shows text with the application caption ("Tavrel"); type as for MessageBoxW (MB_ICONERROR, ...).
int EngineMessageBox(HWND owner, const wchar_t* text, UINT type);
// Replaces the platform's message box (null restores it); tests record what the user would have seen.
void SetEngineMessageBoxFunction(EngineMessageBoxFunction function);
