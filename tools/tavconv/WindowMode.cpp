// The window mode: list files from the shell extension converted with a progress window.
#include "WindowMode.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "ComPtr.h"
#include "FileConversion.h"
#include "FormatProbe.h"
#include "InputCollector.h"
#include "ListFile.h"
#include "ProgressWindow.h"
#include "resource.h"

namespace {
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

std::wstring Counted(int count, UINT one, UINT many) {
  return count == 1 ? ProgramText(one) : ProgramText(many, std::to_wstring(count));
}

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

// One entry of the batch: a file to convert, or an entry of the list that yields none (an empty folder).
struct BatchItem {
  std::wstring path;
  std::wstring problem;
};

// Folders in the list are expanded as the console mode expands them; files stay as they are, so a file that
// has gone is still reported in its place.
std::vector<BatchItem> ExpandList(const std::vector<std::wstring>& paths) {
  std::vector<BatchItem> items;
  for (const std::wstring& path : paths) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      items.push_back({path, {}});
      continue;
    }
    CollectedInputs inputs = CollectInputs({path});
    for (const std::wstring& file : inputs.files) items.push_back({file, {}});
    for (const std::wstring& problem : inputs.problems) items.push_back({path, problem});
  }
  return items;
}

ULONGLONG SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring SettingsTextOf(IConvertDestination* destination) {
  wchar_t text[512] = {};
  if (!destination || !destination->GetSettingsText(text, 512)) return {};
  return text;
}

// The encoder settings the user chose with "Settings...": one destination per file, because the settings
// dialog copies its choice only into destinations that exist when the user clicks OK.
class ChosenSettings {
 public:
  ChosenSettings(int formatIndex, size_t files) : formatIndex(formatIndex), files(files) {}

  // Text of the stored defaults until the user chooses, then of the choice.
  std::wstring Text() {
    if (chosen) return SettingsTextOf(destinations[0].Get());
    ComPtr<IConvertDestination> fresh = NewDestination();
    return SettingsTextOf(fresh.Get());
  }
  // Shows the format's settings dialog over `owner`; true when the user chose OK.
  bool Show(HWND owner) {
    if (destinations.empty()) {
      for (size_t index = 0; index < std::max<size_t>(files, 1); ++index) {
        destinations.push_back(NewDestination());
        if (!destinations.back()) return false;
      }
    }
    std::vector<IConvertDestination*> others;
    for (size_t index = 1; index < destinations.size(); ++index) others.push_back(destinations[index].Get());
    others.push_back(nullptr);
    if (destinations[0]->ShowSettings(owner, others.data())) chosen = true;
    return chosen;
  }
  // The destination for the file at `index`, or null for one with the stored defaults.
  IConvertDestination* ForFile(size_t index) const {
    return chosen && index < destinations.size() ? destinations[index].Get() : nullptr;
  }

 private:
  ComPtr<IConvertDestination> NewDestination() const {
    CONVFORMAT row;
    IConvertDestination* destination = nullptr;
    if (ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) != S_OK || ConvCreateDest(&row, &destination) != S_OK)
      return {};
    return ComPtr<IConvertDestination>::Adopt(destination);
  }

  int formatIndex;
  size_t files;
  std::vector<ComPtr<IConvertDestination>> destinations;
  bool chosen = false;
};

int ConvertList(const std::vector<std::wstring>& paths, ConversionSettings settings, const std::wstring& formatName) {
  CProgressWindow progress;
  if (!progress.Create(ProgramText(IDS_PROGRESS_TITLE, formatName))) {
    return Tell(ProgramText(IDS_NO_WINDOW), MB_ICONERROR, kFailed);
  }
  const std::vector<BatchItem> items = ExpandList(paths);
  const int count = static_cast<int>(items.size());
  ChosenSettings chosen(settings.formatIndex, items.size());
  const std::wstring naming = ProgramText(IDS_NAMING, settings.scheme);
  auto showDetails = [&] { progress.SetDetails(naming, ProgramText(IDS_FORMAT_SETTINGS, formatName, chosen.Text())); };
  showDetails();
  for (const BatchItem& item : items) progress.AddLogLine(item.path, L"");
  const std::wstring ready = ProgramText(IDS_READY_FILES, Counted(count, IDS_ONE_FILE, IDS_MANY_FILES), formatName);
  if (!progress.WaitForStart(ready, [&] {
        if (chosen.Show(progress.Window())) showDetails();
      }))
    return kFailed;

  progress.ClearLog();
  std::vector<ULONGLONG> sizes;
  for (const BatchItem& item : items) sizes.push_back(item.problem.empty() ? SizeOf(item.path) : 0);
  progress.StartBatch(sizes);
  BatchCounts counts;
  counts.total = count;
  for (int index = 0; index < count && !progress.Cancelled(); ++index) {
    const BatchItem& item = items[static_cast<size_t>(index)];
    progress.SetFileNumber(index + 1, count);
    progress.AddLogLine(item.path, L"b");
    // The window shows the new file before an overwrite question about it can cover it.
    progress.PumpMessages();
    if (!item.problem.empty()) {
      progress.AddLogLine(item.problem, L"e");
      ++counts.failed;
      continue;
    }
    std::wstring output;
    settings.destination = chosen.ForFile(static_cast<size_t>(index));
    const HRESULT result = ConvertFile(item.path, settings, progress, &output);
    if (result == S_OK) {
      ++counts.converted;
      progress.AddLogLine(ProgramText(IDS_WRITTEN_TO, output), L"i");
    } else if (progress.Cancelled()) {
      // Counted as not converted.
    } else if (result == S_FALSE || progress.DeclinedOverwrite()) {
      ++counts.skipped;
    } else {
      ++counts.failed;
    }
    // A click between two files is seen before the next one starts.
    progress.PumpMessages();
  }
  if (progress.Cancelled()) progress.AddLogLine(ProgramText(IDS_CANCELLED), L"k");
  progress.Finish(counts);
  progress.WaitUntilClosed();
  return counts.converted + counts.skipped == count ? kDone : kFailed;
}

// The burner gets the list file and deletes it once read; false when it cannot be started (the list stays ours).
bool StartBurner(const std::wstring& listFile) {
  std::wstring program = burnerProgram;
  if (program.empty()) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (!length || length >= MAX_PATH) return false;
    program = self;
    program = program.substr(0, program.find_last_of(L'\\') + 1) + L"cdforge.exe";
  }
  std::wstring line = L"\"" + program + L"\" /FL \"" + listFile + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int Run(int argc, wchar_t** argv) {
  const std::wstring usage = ProgramText(IDS_USAGE, QuotedArguments(argc, argv));
  if (argc < 2 || !IsWindowModeCommand(argv[1]) || wcslen(argv[1]) != 2)
    return Tell(usage, MB_ICONERROR, kBadCommandLine);
  const wchar_t action = static_cast<wchar_t>(towupper(argv[1][1]));
  // Only a complete command line names the list file for sure: nothing else is ever deleted.
  if (argc != (action == L'C' ? 4 : 3)) return Tell(usage, MB_ICONERROR, kBadCommandLine);
  const std::wstring listFile = argv[argc - 1];

  if (action == L'B' && StartBurner(listFile)) return kDone;
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

}  // namespace

std::wstring burnerProgram;

bool IsWindowModeCommand(const wchar_t* argument) {
  if (!argument || argument[0] != L'/') return false;
  wchar_t action = static_cast<wchar_t>(towupper(argument[1]));
  return action == L'C' || action == L'B' || action == L'R';
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
