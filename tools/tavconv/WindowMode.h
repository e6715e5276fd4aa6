// The window mode: the command lines the shell extension starts the converter application with.
#pragma once

#include <string>

// True for the first arguments that select the window mode: "/C", "/B" or "/R" in any case.
bool IsWindowModeCommand(const wchar_t* argument);

// Runs /C "<format name>" "<list file>", /B "<list file>" or /R "<list file>" and deletes the list file; /B hands
// the list file to the burner (cdforge.exe /FL "<list file>"), which then owns it.
// 0 when every file was converted or kept at the user's word; 1 when a file failed, the user cancelled, the list file
// was missing or empty or the action is not available; 2 for a command line it does not understand.
int RunWindowMode(int argc, wchar_t** argv);

// The burner /B starts; empty: cdforge.exe beside this program. Tests put a stand-in here.
extern std::wstring burnerProgram;
