// cdforge.exe: the burner program.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include "BurnCDDlg.h"
#include "Imapi.h"
#include "tavcore.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HMODULE pack = nullptr;
  InitAC(L"CDFORGE", &pack);
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  LoadLibraryW(L"riched20.dll");  // the progress window's log
  // OLE for drag and drop and the XML document object of the CD images.
  OleInitialize(nullptr);

  // Without the platform's disc master (or when it cannot be opened) only the image recorder is offered.
  IDiscMaster* master = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                 IID_IDiscMaster, reinterpret_cast<void**>(&master))) &&
      master && FAILED(master->Open())) {
    MessageBoxW(nullptr, L"init dm errr", CBurnCDDlg::kProductName, MB_OK | MB_ICONWARNING);
    master->Release();
    master = nullptr;
  }

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const int result = RunCdforge(argc, argv, master);
  LocalFree(argv);
  if (master) {
    master->Close();
    master->Release();
  }
  OleUninitialize();
  return result;
}
