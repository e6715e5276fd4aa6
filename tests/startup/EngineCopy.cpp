// A private, separately loaded copy of the engine.
#include "EngineCopy.h"

#include <gtest/gtest.h>

namespace {
template <class Function>
void Resolve(HMODULE module, const char* name, Function& target) {
  target = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  EXPECT_NE(nullptr, reinterpret_cast<void*>(target)) << name;
}
}  // namespace

EngineCopy::EngineCopy() {
  std::wstring original = ProgramFolder() + L"\\tavcore.dll";
  EXPECT_TRUE(CopyFileW(original.c_str(), DllPath().c_str(), FALSE)) << "tavcore.dll beside the test program";
}

EngineCopy::~EngineCopy() {
  if (module) FreeLibrary(module);
}

void EngineCopy::Load() {
  module = LoadLibraryW(DllPath().c_str());
  ASSERT_NE(nullptr, module);
  Resolve(module, "InitAC", initAC);
  Resolve(module, "AddReferer", addReferer);
  Resolve(module, "ACTempPath", tempPath);
  Resolve(module, "ConvGetFormatAt", getFormatAt);
  Resolve(module, "WritePString", writeString);
  Resolve(module, "ReadPString", readString);
  Resolve(module, "PlayEventSound", playEventSound);
  Resolve(module, "GetTavcoreDllDateString", dateString);
}

std::wstring DescriptionOf(const EngineCopy& engine, UINT32 row) {
  CONVFORMAT format = {};
  if (engine.getFormatAt(&format, row) != S_OK) return L"(failed)";
  return format.description;
}
