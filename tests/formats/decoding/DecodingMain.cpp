// The decoding tests run in a COM apartment, as the conversion job's thread does.
#include <gtest/gtest.h>

#include <objbase.h>

#include "tavcore.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  InitAC(L"TAVTEST", nullptr);
  int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
