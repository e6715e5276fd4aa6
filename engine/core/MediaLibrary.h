// Adding finished files to the platform media player's library through a small script.
#pragma once

#include <string>

// The script's text: three fixed lines (CR LF) and the call that adds `path`.
std::wstring MediaLibraryScript(const wchar_t* path);
