/* A stand-in for the converter: writes the command line it was started with into the file named by
   TAVREL_ARGS_FILE (UTF-16), so a test can read what the shell extension asked for. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR arguments, int show) {
  (void)instance;
  (void)previous;
  (void)show;
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"TAVREL_ARGS_FILE", path, MAX_PATH)) return 1;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, arguments, (DWORD)(lstrlenW(arguments) * sizeof(wchar_t)), &written, NULL);
  CloseHandle(file);
  return 0;
}
