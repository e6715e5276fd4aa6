// Self-registration of the module: its two classes, its type library and the file manager's handler keys.
#pragma once

#include <windows.h>

HRESULT RegisterShellExtension();
HRESULT UnregisterShellExtension();
