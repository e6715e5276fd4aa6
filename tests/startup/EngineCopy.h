// A private copy of tavcore.dll in a fresh folder, loaded on its own: each test gets an engine whose
// one-time start-up has not run yet and whose folder it can fill (Ref.txt, language packs).
#pragma once

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "tavcore.h"

class EngineCopy {
public:
  EngineCopy();
  ~EngineCopy();
  EngineCopy(const EngineCopy&) = delete;
  EngineCopy& operator=(const EngineCopy&) = delete;

  // Files that must be beside the engine before it loads.
  std::wstring PathOf(const std::wstring& name) const { return folder / name; }
  std::wstring DllPath() const { return PathOf(L"tavcore.dll"); }
  void Load();

  decltype(&InitAC) initAC = nullptr;
  decltype(&AddReferer) addReferer = nullptr;
  decltype(&ACTempPath) tempPath = nullptr;
  decltype(&ConvGetFormatAt) getFormatAt = nullptr;
  decltype(&WritePString) writeString = nullptr;
  decltype(&ReadPString) readString = nullptr;
  decltype(&PlayEventSound) playEventSound = nullptr;
  decltype(&GetTavcoreDllDateString) dateString = nullptr;

private:
  TempFolder folder;
  HMODULE module = nullptr;
};

// The description of a format row as the loaded engine gives it out.
std::wstring DescriptionOf(const EngineCopy& engine, UINT32 row);
