// Batch conversion on the console: several jobs at once, a line per job, a summary and an exit status.
#include "ConsoleMode.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <cwctype>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "CdLookup.h"
#include "ComPtr.h"
#include "ConsoleText.h"
#include "FileConversion.h"
#include "InputCollector.h"
#include "ProgressLine.h"
#include "SafeOutput.h"

const wchar_t kConvertUsage[] =
    L"Usage: tavconv convert --to FORMAT [options] INPUT...\n"
    L"       tavconv convert INPUT -o OUTPUT\n"
    L"\n"
    L"INPUT is a file, a folder (every readable file below it) or an .m3u, .m3u8 or .pls playlist.\n"
    L"\n"
    L"  --to FORMAT          output format: a name in \"tavconv formats\" or a short name (wav, mp3, ogg,\n"
    L"                       vorbis, aif, aiff, wma, flac, ...), in any case\n"
    L"  -o, --output FILE    the output of a single input file (its extension gives the format when --to\n"
    L"                       is left out)\n"
    L"  --option NAME=VALUE  an encoder option of the output format (repeatable), e.g. wave-codec=\"IMA ADPCM\";\n"
    L"                       \"tavconv options FORMAT\" lists a format's options and their values\n"
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
    L"  --stats              print the elapsed time and the peak memory at the end\n"
    L"  --cddb               look CD tracks' discs up in CDDB first (asking when there are several matches);\n"
    L"                       their tags get the titles and the rips are named \"<tracknum> <title>\"\n"
    L"\n"
    L"Options of the writable formats (tavconv options FORMAT for their values):\n"
    L"  Wave: wave-codec, wave-format\n"
    L"  MP3: vbr-mode, bitrate, max-bitrate, vbr-quality, sample-rate, joint-stereo, iso, crc, original,\n"
    L"       copyright, private\n"
    L"  Ogg Vorbis: quality-based, quality, avg-bitrate, min-bitrate, max-bitrate\n"
    L"  Windows Media: wma-codec, wma-format\n"
    L"  AIFF: none\n";

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
  bool cddb = false;
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
    } else if (argument == L"-o" || argument == L"--output") {
      batch.settings.outputPath = value(i, argument);
      if (batch.settings.outputPath.empty()) throw UsageError{argument + L" needs a file name"};
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
    } else if (argument == L"--cddb") {
      batch.cddb = true;
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
  if (!format && !batch.settings.outputPath.empty()) {
    // The output's extension names the format: "tavconv convert song.flac -o song.mp3".
    const std::wstring extension = LowerExtension(batch.settings.outputPath);
    const int index = extension.empty() ? -1 : FormatIndexByName(extension);
    CONVFORMAT row;
    if (index < 0 || ConvGetFormatAt(&row, static_cast<UINT32>(index)) != S_OK || !row.destinationClass)
      throw UsageError{L"The format of '" + batch.settings.outputPath + L"' is unknown or cannot be written: add --to"};
    format = index;
  }
  if (!format) throw UsageError{L"--to FORMAT is missing"};
  if (!batch.settings.outputPath.empty() && batch.inputs.size() > 1)
    throw UsageError{L"-o names the output of one input file; use --scheme for several"};
  if (batch.inputs.empty()) throw UsageError{L"No input given"};
  for (const std::wstring& input : batch.inputs)
    if (!batch.playlist.empty() && (_wcsicmp(AbsolutePath(input).c_str(), batch.playlist.c_str()) == 0 ||
                                    SameExistingFile(AbsolutePath(input), batch.playlist)))
      throw UsageError{L"The playlist to write is also an input: " + input};
  batch.settings.formatIndex = *format;
  if (!batch.settings.outputPath.empty() && LowerExtension(batch.settings.outputPath).empty()) {
    CONVFORMAT row;
    ConvGetFormatAt(&row, static_cast<UINT32>(*format));
    batch.settings.outputPath += row.extensions;  // the row's first extension
  }
  if (std::wstring error = CheckOptions(batch.settings); !error.empty()) throw UsageError{error};
  if (batch.jobs == 0) batch.jobs = std::max(1u, std::thread::hardware_concurrency());
  return batch;
}

// One job's view of the engine: messages go to the console as whole lines that name the file, progress goes
// to the job's slot of the progress line.
class ConsoleCallback : public IConvertCallback {
 public:
  ConsoleCallback(ProgressLine& progress, ProgressLine::Job& slot, std::wstring label, std::wstring file,
                  bool overwrite)
      : progress(progress), slot(slot), label(std::move(label)), file(std::move(file)), overwrite(overwrite) {}
  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t*) override { return overwrite; }
  void STDMETHODCALLTYPE Log(const wchar_t* text) override { LogStyled(text, L""); }
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override {
    std::wstring line = text ? text : L"";
    if (line.empty() || line.back() != L'\n') line += L'\n';
    const bool error = style && wcschr(style, L'e');
    failed = failed || error;
    progress.Print(error ? stderr : stdout, label + (error ? L"  error: " + file + L": " : std::wstring(L"  ")) + line);
  }
  void STDMETHODCALLTYPE SetProgressRange(int max) override {
    slot.range = max;
    // The job has opened the source by now: its length gives the speed in x-realtime.
    WAVEFORMATEX format = {};
    UINT32 bytes = 0;
    if (source && source->GetFormat(&format) && format.nAvgBytesPerSec && source->GetDataSize(&bytes, -1, -1))
      slot.seconds = static_cast<double>(bytes) / format.nAvgBytesPerSec;
  }
  void STDMETHODCALLTYPE SetProgressPos(int pos) override { slot.position = pos; }
  void STDMETHODCALLTYPE StepProgress(int step) override { slot.position += step; }
  void STDMETHODCALLTYPE SetStatusText(const wchar_t*) override {}
  BOOL STDMETHODCALLTYPE IsCancelled() override { return FALSE; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t*, BOOL) override {}

  IConvertSource* source = nullptr;  // borrowed while ConvertFile runs
  bool failed = false;

 private:
  ProgressLine& progress;
  ProgressLine::Job& slot;
  std::wstring label;
  std::wstring file;
  bool overwrite;
};

// Looks up the disc in each drive that CD-track inputs name; the discs that got CDDB data, by drive number.
void LookUpCdInputs(const std::vector<std::wstring>& files, std::map<int, ComPtr<cdrip::IAudioCD>>* lookedUp) {
  std::set<int> drives;
  for (const std::wstring& file : files) {
    CONVFORMAT row;
    if (ConvGetFormatOf(&row, file.c_str()) == S_OK && IsCdTrackRow(row) && file.size() > 1 && file[1] == L':')
      drives.insert(towupper(file[0]) - L'A');
  }
  if (drives.empty()) return;
  ComPtr<cdrip::IAudioCDDevices> devices;
  if (FAILED(CreateAudioCDDevices(&devices))) return;
  for (int drive : drives) {
    ComPtr<cdrip::IAudioCD> cd;
    if (FAILED(devices->GetCDByDrive(drive, &cd)) || FAILED(cd->ReadTOC())) continue;
    WriteText(stdout, std::wstring(L"Looking up the disc in ") + static_cast<wchar_t>(L'A' + drive) + L": in CDDB\n");
    if (LookUpDisc(cd.Get(), L"  ")) (*lookedUp)[drive] = cd;
  }
}

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
  for (const std::wstring& argument : arguments) {
    if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
      WriteText(stdout, kConvertUsage);
      return 0;
    }
  }
  BatchOptions batch;
  try {
    batch = ParseArguments(arguments);
  } catch (const UsageError& error) {
    WriteText(stderr, L"tavconv: " + error.text + L"\nTry 'tavconv convert --help' for the options.\n");
    return 2;
  }
  const ULONGLONG started = GetTickCount64();
  CollectedInputs inputs = CollectInputs(batch.inputs);
  for (const std::wstring& problem : inputs.problems) WriteText(stderr, L"error: " + problem + L"\n");
  if (!batch.settings.outputPath.empty() && inputs.files.size() > 1) {
    WriteText(stderr, L"tavconv: -o names the output of one input file, and the inputs hold " +
                          std::to_wstring(inputs.files.size()) + L"; use --scheme\n");
    return 2;
  }

  // The discs of CD tracks are looked up once, before any track is ripped; each track's own disc object then
  // gets a copy of the result.
  std::map<int, ComPtr<cdrip::IAudioCD>> lookedUp;
  if (batch.cddb) {
    LookUpCdInputs(inputs.files, &lookedUp);
    batch.settings.titledCdTracks = true;
    batch.settings.prepareSource = [&lookedUp](IConvertSource* source) {
      ComPtr<cdrip::IAudioCDTrack> track;
      ComPtr<cdrip::IAudioCD> disc;
      if (FAILED(source->QueryInterface(cdrip::IID_IAudioCDTrack, reinterpret_cast<void**>(&track))) ||
          FAILED(track->GetCD(&disc)))
        return;
      const auto found = lookedUp.find(disc->GetDriveNumber());
      if (found != lookedUp.end()) CopyDiscData(found->second.Get(), disc.Get());
    };
  }

  const size_t count = inputs.files.size();
  const unsigned jobs = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(batch.jobs, count)));
  std::vector<std::wstring> outputs(count);
  std::vector<HRESULT> results(count, E_FAIL);
  std::atomic<size_t> next{0};
  ProgressLine progress(count, jobs, IsTerminal(stdout));
  auto worker = [&](unsigned slotIndex) {
    for (size_t index = next++; index < count; index = next++) {
      std::wstring label = L"[" + std::to_wstring(index + 1) + L"/" + std::to_wstring(count) + L"]";
      ConsoleCallback callback(progress, progress.JobSlot(slotIndex), label, inputs.files[index], batch.overwrite);
      progress.Started(slotIndex);
      HRESULT result = ConvertFile(inputs.files[index], batch.settings, callback, &outputs[index],
                                   [&callback](IConvertSource* source) { callback.source = source; });
      callback.source = nullptr;
      progress.Finished(slotIndex);
      results[index] = result;
      progress.Print(stdout, label + L" " + inputs.files[index] + L" -> " +
                                 (outputs[index].empty() ? L"(no output)" : outputs[index]) +
                                 (result == S_OK      ? L"  done\n"
                                  : result == S_FALSE ? L"  skipped\n"
                                                      : L"  FAILED\n"));
    }
  };
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < (count ? jobs : 0); ++i) threads.emplace_back(worker, i);
  for (std::thread& thread : threads) thread.join();

  const size_t succeeded = static_cast<size_t>(std::count(results.begin(), results.end(), S_OK));
  const size_t skipped = static_cast<size_t>(std::count(results.begin(), results.end(), S_FALSE));
  std::vector<char> converted(count, 0);
  for (size_t i = 0; i < count; ++i) converted[i] = results[i] == S_OK;
  bool playlistWritten = true;
  if (!batch.playlist.empty()) {
    std::vector<std::wstring> done;
    for (size_t i = 0; i < count; ++i)
      if (converted[i]) done.push_back(outputs[i]);
    playlistWritten = WritePlaylist(batch.playlist, done);
  }
  const size_t failed = count - succeeded - skipped + inputs.problems.size();
  WriteText(stdout, std::to_wstring(succeeded) + L" converted, " +
                        (skipped ? std::to_wstring(skipped) + L" skipped, " : L"") + std::to_wstring(failed) +
                        L" failed\n");
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
  // A kept output is not a converted one: the status says whether everything asked for was converted.
  return failed == 0 && skipped == 0 && succeeded > 0 && playlistWritten ? 0 : 1;
}
