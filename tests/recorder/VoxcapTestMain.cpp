// Test program of the recorder window: the settings store, the common controls and COM, as voxcap.exe has them.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "tavcore.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  InitAC(L"TAVTEST", nullptr);
  INITCOMMONCONTROLSEX controls = {
      sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_LINK_CLASS};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return RUN_ALL_TESTS();
}
