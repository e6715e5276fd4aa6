// The per-user settings root: opened once by start-up, kept for the life of the process.
#pragma once

#include <windows.h>

// Opens (creating) HKCU\Software\Quennet\Tavrel; true when the root is open afterwards.
bool OpenSettingsRoot();
bool IsSettingsRootOpen();
