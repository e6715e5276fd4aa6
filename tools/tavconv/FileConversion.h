// One file through the engine: format lookup, source and destination, encoder options, output naming and
// the conversion job. Shared by the console and the window mode.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tavcore.h"

struct ConversionSettings {
  int formatIndex = 4;                                 // row of the output format
  std::wstring scheme = L"<sourcedir>\\<sourcename>";  // naming scheme of the outputs
  std::wstring outputPath;                             // one input's output, named by the user instead of the scheme
  std::vector<std::pair<std::wstring, std::wstring>> options;  // destination options, in order
  int startMs = -1;
  int endMs = -1;
  CONVOPTIONS job = {};
  bool normalize = false;
  double gain = 0.0;  // 0.0: the analysed gain
  // The caller's destination, with settings chosen in its settings dialog (used once, for one file); null:
  // a new destination with the stored defaults.
  IConvertDestination* destination = nullptr;
  // Called with each source once it knows its file (CD tracks get their disc's CDDB data here); may run on
  // several threads at once.
  std::function<void(IConvertSource*)> prepareSource;
  // CD tracks are named "<tracknum> <title>" by default instead of "<sourcename>".
  bool titledCdTracks = false;
};

// Looks up a format-table row by its name or a usual short name ("wav", "mp3", "ogg", "vorbis", "aif", "wma",
// "flac": any extension of a row), case-insensitive; -1 when unknown.
int FormatIndexByName(const std::wstring& name);

// The format-table row of CD tracks (".cda").
bool IsCdTrackRow(const CONVFORMAT& row);

// Converts `input` into the output that the settings name. Every failure has been logged through the
// callback (style "e") before this returns 0x80004005; S_FALSE when the output exists and the user kept it
// (logged with style "i"); `output` receives the output path when one was chosen.
HRESULT ConvertFile(const std::wstring& input, const ConversionSettings& settings, IConvertCallback& callback,
                    std::wstring* output, const std::function<void(IConvertSource*)>& onSource = {});
// The default scheme's output for an input that is already of the output format would be the input itself:
// " (1)" goes before the extension instead.
std::wstring SameFormatOutput(const std::wstring& path);

// Checks the options against a destination of the format without converting anything: the first bad
// option's message, or empty.
std::wstring CheckOptions(const ConversionSettings& settings);
