// The window mode: list files from the shell extension converted with a progress window.
#include "WindowMode.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "FileConversion.h"
#include "FormatProbe.h"
#include "ListFile.h"
#include "ProgressWindow.h"
#include "resource.h"

namespace {
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

// Shows the message and gives back the exit status that goes with it.
int Tell(const std::wstring& text, UINT icon, int status) {
  messageBoxFunction(nullptr, text.c_str(), ProgramText(IDS_APP_CAPTION).c_str(), MB_OK | MB_SETFOREGROUND | icon);
  return status;
}

std::wstring QuotedArguments(int argc, wchar_t** argv) {
  std::wstring line;
  for (int index = 1; index < argc; ++index) {
    if (index > 1) line += L' ';
    line += L'"' + std::wstring(argv[index]) + L'"';
  }
  return line.empty() ? L"(no arguments)" : line;
}

// The format's own name when the engine can write it, else empty.
std::wstring WritableFormatName(int formatIndex) {
  CONVFORMAT row;
  IConvertDestination* destination = nullptr;
  if (ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) != S_OK || ConvCreateDest(&row, &destination) != S_OK)
    return {};
  destination->Release();
  return row.name;
}

std::wstring NamingScheme() {
  wchar_t stored[512] = {};
  if (ReadPString(L"Converter", L"NamingScheme", stored) && stored[0]) return stored;
  return ConversionSettings().scheme;
}

int ConvertList(const std::vector<std::wstring>& paths, const ConversionSettings& settings,
                const std::wstring& formatName) {
  CProgressWindow progress;
  if (!progress.Create(ProgramText(IDS_PROGRESS_TITLE, formatName))) {
    return Tell(ProgramText(IDS_NO_WINDOW), MB_ICONERROR, kFailed);
  }
  const int count = static_cast<int>(paths.size());
  int converted = 0, failed = 0;
  for (int index = 0; index < count && !progress.Cancelled(); ++index) {
    progress.SetFileNumber(index + 1, count);
    progress.AddLogLine(paths[index], L"b");
    // The window shows the new file before an overwrite question about it can cover it.
    progress.PumpMessages();
    std::wstring output;
    if (ConvertFile(paths[index], settings, progress, &output) == S_OK) {
      ++converted;
      progress.AddLogLine(ProgramText(IDS_WRITTEN_TO, output), L"i");
    } else if (!progress.Cancelled()) {
      ++failed;
    }
    // A click between two files is seen before the next one starts.
    progress.PumpMessages();
  }
  if (progress.Cancelled()) progress.AddLogLine(ProgramText(IDS_CANCELLED), L"k");
  progress.Finish(SummaryText(converted, failed, count - converted - failed));
  progress.WaitUntilClosed();
  return converted == count ? kDone : kFailed;
}

int Run(int argc, wchar_t** argv) {
  const std::wstring usage = ProgramText(IDS_USAGE, QuotedArguments(argc, argv));
  if (argc < 2 || !IsWindowModeCommand(argv[1]) || wcslen(argv[1]) != 2)
    return Tell(usage, MB_ICONERROR, kBadCommandLine);
  const wchar_t action = static_cast<wchar_t>(towupper(argv[1][1]));
  // Only a complete command line names the list file for sure: nothing else is ever deleted.
  if (argc != (action == L'C' ? 4 : 3)) return Tell(usage, MB_ICONERROR, kBadCommandLine);
  const std::wstring listFile = argv[argc - 1];

  if (action != L'C') {
    DeleteFileW(listFile.c_str());
    return Tell(ProgramText(action == L'B' ? IDS_BURN_UNAVAILABLE : IDS_RIP_UNAVAILABLE), MB_ICONINFORMATION, kFailed);
  }
  ConversionSettings settings;
  settings.formatIndex = FormatIndexByName(argv[2]);
  if (settings.formatIndex < 0) {
    DeleteFileW(listFile.c_str());
    return Tell(ProgramText(IDS_UNKNOWN_FORMAT, argv[2], WritableFormatNames()), MB_ICONERROR, kBadCommandLine);
  }
  const std::wstring formatName = WritableFormatName(settings.formatIndex);
  if (formatName.empty()) {
    DeleteFileW(listFile.c_str());
    return Tell(ProgramText(IDS_FORMAT_NOT_WRITABLE, argv[2]), MB_ICONINFORMATION, kFailed);
  }
  std::vector<std::wstring> paths;
  std::wstring error;
  const bool read = ReadListFile(listFile, paths, error);
  DeleteFileW(listFile.c_str());
  if (!read) return Tell(error, MB_ICONERROR, kFailed);
  settings.scheme = NamingScheme();
  return ConvertList(paths, settings, formatName);
}

std::wstring Counted(int count, UINT one, UINT many) {
  return count == 1 ? ProgramText(one) : ProgramText(many, std::to_wstring(count));
}
}  // namespace

bool IsWindowModeCommand(const wchar_t* argument) {
  if (!argument || argument[0] != L'/') return false;
  wchar_t action = static_cast<wchar_t>(towupper(argument[1]));
  return action == L'C' || action == L'B' || action == L'R';
}

std::wstring SummaryText(int converted, int failed, int notConverted) {
  std::wstring text = Counted(converted, IDS_FILE_CONVERTED, IDS_FILES_CONVERTED);
  if (failed) text += L", " + Counted(failed, IDS_FILE_FAILED, IDS_FILES_FAILED);
  if (notConverted) text += L", " + Counted(notConverted, IDS_FILE_NOT_CONVERTED, IDS_FILES_NOT_CONVERTED);
  return text + L".";
}

int RunWindowMode(int argc, wchar_t** argv) {
  try {
    return Run(argc, argv);
  } catch (...) {
    // Out of memory is all that can get here; the shell must never see a crash.
    messageBoxFunction(nullptr, L"The converter ran out of memory.", L"Tavrel", MB_OK | MB_ICONERROR);
    return kFailed;
  }
}
