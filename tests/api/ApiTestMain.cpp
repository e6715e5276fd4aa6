// Test program of the engine's exports, as a front end uses them: the store is opened first.
#include <gtest/gtest.h>

#include "tavcore.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  InitAC(L"TAVTEST", nullptr);
  return RUN_ALL_TESTS();
}
