// One file through the engine: format lookup, source and destination, encoder options, output naming and
// the conversion job. Shared by the console and the window mode.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tavcore.h"

struct ConversionSettings {
  int formatIndex = 4;                                         // row of the output format
  std::wstring scheme = L"<sourcedir>\\<sourcename>";          // naming scheme of the outputs
  std::vector<std::pair<std::wstring, std::wstring>> options;  // destination options, in order
  int startMs = -1;
  int endMs = -1;
  CONVOPTIONS job = {};
  bool normalize = false;
  double gain = 0.0;  // 0.0: the analysed gain
  // The caller's destination, with settings chosen in its settings dialog (used once, for one file); null:
  // a new destination with the stored defaults.
  IConvertDestination* destination = nullptr;
};

// Looks up a format-table row by its name (case-insensitive, "wma" too); -1 when unknown.
int FormatIndexByName(const std::wstring& name);

// Converts `input` into the output that the settings name. Every failure has been logged through the
// callback (style "e") before this returns 0x80004005; `output` receives the output path when one was chosen.
HRESULT ConvertFile(const std::wstring& input, const ConversionSettings& settings, IConvertCallback& callback,
                    std::wstring* output);

// Checks the options against a destination of the format without converting anything: the first bad
// option's message, or empty.
std::wstring CheckOptions(const ConversionSettings& settings);
