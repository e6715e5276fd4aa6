// tavconv: the converter application. Console commands for batch work; the shell extension's /C, /B and /R
// command lines open the window mode.
#include <cwchar>
#include <string>
#include <vector>

#include "CdCommand.h"
#include "ConsoleCommands.h"
#include "ConsoleMode.h"
#include "FormatProbe.h"
#include "PlayCommand.h"
#include "ConsoleText.h"
#include "SampleFile.h"
#include "WindowMode.h"
#include "tavcore.h"

namespace {
const wchar_t kUsage[] =
    L"Usage: tavconv COMMAND ...\n"
    L"\n"
    L"Commands:\n"
    L"  convert --to FORMAT [options] INPUT...   convert files, folders and playlists (tavconv convert --help)\n"
    L"  convert INPUT -o OUTPUT                  convert one file into the named output\n"
    L"  cd [--lookup]                            list the CD drives and the tracks of the disc in each, with\n"
    L"                                           --lookup their titles from CDDB\n"
    L"  formats                                  list the audio formats, with what can be read and written\n"
    L"  options FORMAT [CODEC]                   list the encoder options of an output format and their values\n"
    L"  settings FORMAT                          edit the stored default settings of an output format\n"
    L"  play FILE...                             play files on the sound device (space pauses, q stops)\n"
    L"  sample FILE.wav [SECONDS]                write the built-in sample recording (default 5 seconds)\n"
    L"  --help, -h, /?                           show this text\n";

std::wstring ExtensionList(const CONVFORMAT& format) {
  std::wstring list;
  for (const wchar_t* item = format.extensions; *item; item += wcslen(item) + 1) {
    if (!list.empty()) list += L' ';
    list += item;
  }
  return list;
}

const wchar_t* AbilityWord(const FormatAbility& ability, bool hasClass) {
  if (!hasClass) return L"-";
  switch (ability.ability) {
    case Ability::kYes:
      return L"yes";
    case Ability::kUnchecked:
      return L"?";
    default:
      return L"no";
  }
}

// The table's rows with what this build does with them on this machine: every reader is tried on a sample of
// its format, every writer opens a file.
int PrintFormats() {
  wchar_t line[512];
  WriteText(stdout, L" #  Name            Read  Write  Extensions / Description\n");
  for (UINT32 index = 0; index < ConvGetFormatCount(); ++index) {
    CONVFORMAT format;
    if (ConvGetFormatAt(&format, index) != S_OK) return 1;
    const FormatAbility reading = ProbeReading(index);
    const FormatAbility writing = ProbeWriting(index);
    _snwprintf(line, 511, L"%2u  %-15s %-5s %-6s %s\n    %s\n", index, format.name,
               AbilityWord(reading, format.sourceClass), AbilityWord(writing, format.destinationClass),
               ExtensionList(format).c_str(), format.description);
    line[511] = L'\0';
    WriteText(stdout, line);
    if (format.sourceClass && reading.ability != Ability::kYes && !reading.reason.empty())
      WriteText(stdout, std::wstring(L"    reading: ") + reading.reason + L"\n");
    if (format.destinationClass && writing.ability != Ability::kYes && !writing.reason.empty())
      WriteText(stdout, std::wstring(L"    writing: ") + writing.reason + L"\n");
  }
  wchar_t longDate[256] = {};
  wchar_t shortDate[10] = {};
  GetTavcoreDllDateString(longDate, shortDate);
  WriteText(stdout, std::wstring(L"\nEngine build: ") + longDate + L" (" + shortDate + L")\n");
  return 0;
}

int WriteSample(const std::vector<std::wstring>& arguments) {
  int seconds = 5;
  if (arguments.empty() || arguments.size() > 2 ||
      (arguments.size() == 2 && (seconds = _wtoi(arguments[1].c_str())) <= 0) || seconds > 3600) {
    return UsageError(L"sample takes FILE.wav and optionally SECONDS (1 to 3600)");
  }
  if (!WriteSampleWave(arguments[0], seconds)) {
    WriteText(stderr, L"tavconv: cannot write " + arguments[0] + L"\n");
    return 1;
  }
  WriteText(stdout, L"Wrote " + std::to_wstring(seconds) + L" seconds of sample audio to " + arguments[0] + L"\n");
  return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  InitAC(L"TAVCONV", nullptr);
  if (argc >= 2 && IsWindowModeCommand(argv[1])) {
    FreeConsole();  // started by the shell: its console window only flashes
    return RunWindowMode(argc, argv);
  }
  std::vector<std::wstring> rest(argv + (argc > 2 ? 2 : argc), argv + argc);
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command.empty()) {
    WriteText(stderr, kUsage);
    return 2;
  }
  if (command == L"--help" || command == L"-h" || command == L"/?" || command == L"help") {
    WriteText(stdout, kUsage);
    return 0;
  }
  if (command == L"formats") return PrintFormats();
  if (command == L"cd") return ListCdDrives(rest);
  if (command == L"options") return PrintOptions(rest);
  if (command == L"settings") return EditDefaults(rest);
  if (command == L"sample") return WriteSample(rest);
  if (command == L"play") return PlayFiles(rest);
  if (command == L"convert") return RunConvertCommand(rest);
  return UsageError(L"unknown command '" + command + L"'");
}
