// Names of WAVE format tags from the engine's "TEXT" table, used to name a codec that is not installed.
#pragma once

#include <windows.h>

#include <string>

// The registered name of a tag (at most 200 characters), or its four upper-case hex digits when the
// table does not list it.
std::wstring MissingCodecName(DWORD tag);
