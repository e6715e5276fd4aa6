// voxcap: the recorder program.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "MainDlg.h"
#include "tavcore.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  HMODULE pack = nullptr;
  InitAC(L"VOXCAP", &pack);
  INITCOMMONCONTROLSEX controls = {
      sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  // The folder picker is a shell dialog that needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    CMainDlg window;
    window.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
