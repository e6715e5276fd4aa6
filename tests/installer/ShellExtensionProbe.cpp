// Creates the context-menu class as the file manager does, through its registration alone, and reports each step.
#include <windows.h>
#include <shlobj.h>
#include <cstdio>

namespace {
// {8DA09D52-A809-430B-801C-BB91B50A2552}
constexpr CLSID kConvertShellExt = {0x8DA09D52, 0xA809, 0x430B, {0x80, 0x1C, 0xBB, 0x91, 0xB5, 0x0A, 0x25, 0x52}};
}  // namespace

// Exit status 0 when the class is created and answers the shell's two interfaces; the failing step otherwise.
int main() {
  if (FAILED(CoInitialize(nullptr))) return 10;
  int status = 0;
  IShellExtInit* init = nullptr;
  const HRESULT created = CoCreateInstance(kConvertShellExt, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                           reinterpret_cast<void**>(&init));
  std::printf("CoCreateInstance: 0x%08lX\n", static_cast<unsigned long>(created));
  if (FAILED(created)) {
    status = 1;
  } else {
    IContextMenu* menu = nullptr;
    const HRESULT queried = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    std::printf("QueryInterface(IContextMenu): 0x%08lX\n", static_cast<unsigned long>(queried));
    if (FAILED(queried)) status = 2;
    if (menu) menu->Release();
    init->Release();
  }
  CoUninitialize();
  return status;
}
