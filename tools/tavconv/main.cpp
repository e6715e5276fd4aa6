// tavconv: the converter application. Console commands for batch work.
#include <cwchar>
#include <string>

#include "ConsoleText.h"
#include "WindowMode.h"
#include "tavcore.h"

namespace {
const wchar_t kUsage[] =
    L"Usage: tavconv COMMAND\n"
    L"\n"
    L"Commands:\n"
    L"  formats    list the audio formats the engine knows, with what it can read and write\n"
    L"  --help     show this text\n";

std::wstring ExtensionList(const CONVFORMAT& format) {
  std::wstring list;
  for (const wchar_t* item = format.extensions; *item; item += wcslen(item) + 1) {
    if (!list.empty()) list += L' ';
    list += item;
  }
  return list;
}

int PrintFormats() {
  wchar_t line[512];
  WriteText(stdout, L" #  Name            Read  Write  Extensions / Description\n");
  for (UINT32 index = 0; index < ConvGetFormatCount(); ++index) {
    CONVFORMAT format;
    if (ConvGetFormatAt(&format, index) != S_OK) return 1;
    _snwprintf(line, 511, L"%2u  %-15s %-5s %-6s %s\n    %s\n", index, format.name,
               format.sourceClass ? L"yes" : L"-", format.destinationClass ? L"yes" : L"-",
               ExtensionList(format).c_str(), format.description);
    line[511] = L'\0';
    WriteText(stdout, line);
  }
  wchar_t longDate[256] = {};
  wchar_t shortDate[10] = {};
  GetTavcoreDllDateString(longDate, shortDate);
  WriteText(stdout, std::wstring(L"\nEngine build: ") + longDate + L" (" + shortDate + L")\n");
  return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  InitAC(L"TAVCONV", nullptr);
  if (argc >= 2 && IsWindowModeCommand(argv[1])) {
    FreeConsole();  // started by the shell: its console window only flashes
    return RunWindowMode(argc, argv);
  }
  if (argc < 2 || wcscmp(argv[1], L"--help") == 0 || wcscmp(argv[1], L"-h") == 0) {
    WriteText(argc < 2 ? stderr : stdout, kUsage);
    return argc < 2 ? 2 : 0;
  }
  if (wcscmp(argv[1], L"formats") == 0) return PrintFormats();
  WriteText(stderr, std::wstring(L"tavconv: unknown command '") + argv[1] + L"'\n\n" + kUsage);
  return 2;
}
