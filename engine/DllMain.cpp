// Entry point of tavcore.dll. Nothing happens under the loader lock: the settings root is opened by
// InitAC and closed by the static owner when the module unloads.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
