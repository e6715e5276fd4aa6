// Batch conversion on the console: several jobs at once, a line per job, a summary and an exit status.
#include "ConsoleMode.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cwctype>
#include <mutex>
#include <optional>
#include <thread>

#include "ConsoleText.h"
#include "FileConversion.h"
#include "InputCollector.h"
#include "SafeOutput.h"

const wchar_t kConvertUsage[] =
    L"Usage: tavconv convert --to FORMAT [options] INPUT...\n"
    L"\n"
    L"INPUT is a file, a folder (every readable file below it) or an .m3u, .m3u8 or .pls playlist.\n"
    L"\n"
    L"  --to FORMAT          output format by its name in \"tavconv formats\" (Wave, MP3, wma, ...)\n"
    L"  --option NAME=VALUE  an encoder option of the output format (repeatable), e.g. wave-codec=\"IMA ADPCM\"\n"
    L"  --scheme SCHEME      output naming scheme (default <sourcedir>\\<sourcename>)\n"
    L"  --range START-END    convert only this part, in milliseconds (either side may be left out)\n"
    L"  --trim               drop the silence at the start and the end\n"
    L"  --fade-in MS         linear fade-in\n"
    L"  --fade-out MS        linear fade-out\n"
    L"  --normalize[=GAIN]   normalise to full scale, or apply a fixed gain\n"
    L"  --jobs N             conversions at once (default: the number of processors)\n"
    L"  --playlist FILE      write an .m3u or .m3u8 playlist of the outputs\n"
    L"  --overwrite          replace existing outputs\n"
    L"  --no-overwrite       keep existing outputs and report them (the default)\n"
    L"  --stats              print the elapsed time and the peak memory at the end\n";

namespace {
struct UsageError {
  std::wstring text;
};

struct BatchOptions {
  ConversionSettings settings;
  std::vector<std::wstring> inputs;
  unsigned jobs = 0;
  std::wstring playlist;
  bool overwrite = false;
  bool stats = false;
};

bool ParseNumber(const std::wstring& text, int& value, bool allowEmpty = false) {
  if (text.empty()) return allowEmpty;
  if (text.size() > 9 || !std::all_of(text.begin(), text.end(), iswdigit)) return false;
  value = std::stoi(text);
  return true;
}

BatchOptions ParseArguments(const std::vector<std::wstring>& arguments) {
  BatchOptions batch;
  std::optional<int> format;
  auto value = [&](size_t& i, const std::wstring& option) -> std::wstring {
    if (i + 1 >= arguments.size()) throw UsageError{option + L" needs a value"};
    return arguments[++i];
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (argument == L"--to") {
      std::wstring name = value(i, argument);
      int index = FormatIndexByName(name);
      if (index < 0) throw UsageError{L"Unknown output format '" + name + L"' (see \"tavconv formats\")"};
      CONVFORMAT row;
      ConvGetFormatAt(&row, static_cast<UINT32>(index));
      if (!row.destinationClass) throw UsageError{L"Files of the format '" + name + L"' cannot be written"};
      format = index;
    } else if (argument == L"--option") {
      std::wstring pair = value(i, argument);
      size_t equals = pair.find(L'=');
      if (equals == std::wstring::npos || equals == 0)
        throw UsageError{L"--option takes NAME=VALUE, not '" + pair + L"'"};
      batch.settings.options.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    } else if (argument == L"--scheme") {
      batch.settings.scheme = value(i, argument);
    } else if (argument == L"--range") {
      std::wstring range = value(i, argument);
      size_t dash = range.find(L'-');
      int start = -1, end = -1;
      if (dash == std::wstring::npos || !ParseNumber(range.substr(0, dash), start, true) ||
          !ParseNumber(range.substr(dash + 1), end, true) || (start >= 0 && end >= 0 && end <= start) ||
          (start < 0 && end < 0))
        throw UsageError{L"--range takes START-END in milliseconds, not '" + range + L"'"};
      batch.settings.startMs = start;
      batch.settings.endMs = end;
    } else if (argument == L"--trim") {
      batch.settings.job.trimLeadingSilence = batch.settings.job.trimTrailingSilence = 1;
    } else if (argument == L"--fade-in" || argument == L"--fade-out") {
      std::wstring text = value(i, argument);
      int ms = 0;
      if (!ParseNumber(text, ms)) throw UsageError{argument + L" takes milliseconds, not '" + text + L"'"};
      (argument == L"--fade-in" ? batch.settings.job.fadeInMs : batch.settings.job.fadeOutMs) = ms;
    } else if (argument == L"--normalize" || argument.rfind(L"--normalize=", 0) == 0) {
      batch.settings.normalize = true;
      if (argument.size() > 12) {
        wchar_t* end = nullptr;
        double gain = wcstod(argument.c_str() + 12, &end);
        if (*end || !(gain > 0.0) || gain > 1000.0) throw UsageError{L"--normalize=GAIN takes a gain above 0"};
        batch.settings.gain = gain;
      }
    } else if (argument == L"--jobs") {
      std::wstring text = value(i, argument);
      int jobs = 0;
      if (!ParseNumber(text, jobs) || jobs < 1 || jobs > 64) throw UsageError{L"--jobs takes a number from 1 to 64"};
      batch.jobs = static_cast<unsigned>(jobs);
    } else if (argument == L"--playlist") {
      std::wstring name = value(i, argument);
      std::wstring extension = LowerExtension(name);
      if (extension != L".m3u" && extension != L".m3u8")
        throw UsageError{L"The playlist must be an .m3u or .m3u8 file, not '" + name + L"'"};
      batch.playlist = AbsolutePath(name);
    } else if (argument == L"--stats") {
      batch.stats = true;
    } else if (argument == L"--overwrite" || argument == L"--no-overwrite") {
      batch.overwrite = argument == L"--overwrite";
    } else if (argument.rfind(L"--", 0) == 0) {
      throw UsageError{L"Unknown option " + argument};
    } else {
      batch.inputs.push_back(argument);
    }
  }
  if (!format) throw UsageError{L"--to FORMAT is missing"};
  if (batch.inputs.empty()) throw UsageError{L"No input given"};
  for (const std::wstring& input : batch.inputs)
    if (!batch.playlist.empty() && (_wcsicmp(AbsolutePath(input).c_str(), batch.playlist.c_str()) == 0 ||
                                    SameExistingFile(AbsolutePath(input), batch.playlist)))
      throw UsageError{L"The playlist to write is also an input: " + input};
  batch.settings.formatIndex = *format;
  if (std::wstring error = CheckOptions(batch.settings); !error.empty()) throw UsageError{error};
  if (batch.jobs == 0) batch.jobs = std::max(1u, std::thread::hardware_concurrency());
  return batch;
}

// One job's view of the engine: messages go to the console as whole lines, progress is kept for the line.
class ConsoleCallback : public IConvertCallback {
 public:
  ConsoleCallback(std::mutex& consoleLock, std::wstring label, bool overwrite)
      : consoleLock(consoleLock), label(std::move(label)), overwrite(overwrite) {}
  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t*) override { return overwrite; }
  void STDMETHODCALLTYPE Log(const wchar_t* text) override { LogStyled(text, L""); }
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override {
    std::wstring line = text ? text : L"";
    if (line.empty() || line.back() != L'\n') line += L'\n';
    bool error = style && wcschr(style, L'e');
    failed = failed || error;
    std::lock_guard<std::mutex> guard(consoleLock);
    WriteText(error ? stderr : stdout, label + (error ? L"  error: " : L"  ") + line);
  }
  void STDMETHODCALLTYPE SetProgressRange(int max) override { range = max; }
  void STDMETHODCALLTYPE SetProgressPos(int pos) override { position = pos; }
  void STDMETHODCALLTYPE StepProgress(int step) override { position += step; }
  void STDMETHODCALLTYPE SetStatusText(const wchar_t*) override {}
  BOOL STDMETHODCALLTYPE IsCancelled() override { return FALSE; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t*, BOOL) override {}

  long long range = 0, position = 0;
  bool failed = false;

 private:
  std::mutex& consoleLock;
  std::wstring label;
  bool overwrite;
};

// The playlist is written under a temporary name and replaces the old one only when it is complete.
bool WritePlaylist(const std::wstring& path, const std::vector<std::wstring>& outputs) {
  std::wstring temporary = TemporaryPlaylistName(path);
  IPlaylist* playlist = nullptr;
  if (temporary.empty() || PlaylistCreateFromFile(temporary.c_str(), &playlist) != S_OK || !playlist) {
    WriteText(stderr, L"error: the playlist cannot be written: " + path + L"\n");
    return false;
  }
  for (const std::wstring& output : outputs) playlist->Add(output.c_str());
  bool saved = playlist->Save(temporary.c_str()) == S_OK;
  playlist->Destroy();
  if (saved && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temporary.c_str());
  WriteText(stderr, L"error: the playlist cannot be written: " + path + L"\n");
  return false;
}
}  // namespace

int RunConvertCommand(const std::vector<std::wstring>& arguments) {
  BatchOptions batch;
  try {
    batch = ParseArguments(arguments);
  } catch (const UsageError& error) {
    WriteText(stderr, L"tavconv: " + error.text + L"\n\n" + kConvertUsage);
    return 2;
  }
  const ULONGLONG started = GetTickCount64();
  CollectedInputs inputs = CollectInputs(batch.inputs);
  for (const std::wstring& problem : inputs.problems) WriteText(stderr, L"error: " + problem + L"\n");

  const size_t count = inputs.files.size();
  std::vector<std::wstring> outputs(count);
  std::vector<char> converted(count, 0);
  std::atomic<size_t> next{0};
  std::mutex consoleLock;
  auto worker = [&] {
    for (size_t index = next++; index < count; index = next++) {
      std::wstring label = L"[" + std::to_wstring(index + 1) + L"/" + std::to_wstring(count) + L"]";
      ConsoleCallback callback(consoleLock, label, batch.overwrite);
      HRESULT result = ConvertFile(inputs.files[index], batch.settings, callback, &outputs[index]);
      converted[index] = result == S_OK;
      std::lock_guard<std::mutex> guard(consoleLock);
      WriteText(stdout, label + L" " + inputs.files[index] + L" -> " +
                            (outputs[index].empty() ? L"(no output)" : outputs[index]) +
                            (result == S_OK ? L"  done\n" : L"  FAILED\n"));
    }
  };
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < std::min<size_t>(batch.jobs, count); ++i) threads.emplace_back(worker);
  for (std::thread& thread : threads) thread.join();

  size_t succeeded = static_cast<size_t>(std::count(converted.begin(), converted.end(), 1));
  bool playlistWritten = true;
  if (!batch.playlist.empty()) {
    std::vector<std::wstring> done;
    for (size_t i = 0; i < count; ++i)
      if (converted[i]) done.push_back(outputs[i]);
    playlistWritten = WritePlaylist(batch.playlist, done);
  }
  size_t failed = count - succeeded + inputs.problems.size();
  WriteText(stdout, std::to_wstring(succeeded) + L" converted, " + std::to_wstring(failed) + L" failed\n");
  if (batch.stats) {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    wchar_t line[160];
    _snwprintf(line, 159, L"stats: %.3f s elapsed, peak working set %.1f MB, peak private %.1f MB\n",
               (GetTickCount64() - started) / 1000.0, memory.PeakWorkingSetSize / 1048576.0,
               memory.PeakPagefileUsage / 1048576.0);
    line[159] = L'\0';
    WriteText(stdout, line);
  }
  return failed == 0 && succeeded > 0 && playlistWritten ? 0 : 1;
}
