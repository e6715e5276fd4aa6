// The small console commands: "options FORMAT" and "settings FORMAT", and how usage errors are told.
#include "ConsoleCommands.h"

#include <windows.h>

#include "ConsoleText.h"
#include "FileConversion.h"
#include "OptionCatalog.h"
#include "tavcore.h"

namespace {
// The writable row a FORMAT argument names, or -1 after saying what is wrong.
int WritableFormat(const std::vector<std::wstring>& arguments, const wchar_t* command) {
  if (arguments.empty()) return UsageError(std::wstring(command) + L" needs a FORMAT, e.g. mp3"), -1;
  const int index = FormatIndexByName(arguments[0]);
  CONVFORMAT row;
  if (index < 0 || ConvGetFormatAt(&row, static_cast<UINT32>(index)) != S_OK)
    return UsageError(L"unknown format '" + arguments[0] + L"' (see: tavconv formats)"), -1;
  if (!row.destinationClass) return UsageError(L"files of the format '" + arguments[0] + L"' cannot be written"), -1;
  return index;
}

}  // namespace

// A usage error: the one line that is wrong and where help is, not the whole help.
int UsageError(const std::wstring& text) {
  WriteText(stderr, L"tavconv: " + text + L"\nTry 'tavconv --help'.\n");
  return 2;
}

int PrintOptions(const std::vector<std::wstring>& arguments) {
  const int index = WritableFormat(arguments, L"options");
  if (index < 0) return 2;
  WriteText(stdout, DescribeOptions(index, arguments.size() > 1 ? arguments[1] : L""));
  return 0;
}

// Shows the format's settings dialog in defaults mode; OK stores them as the defaults.
int EditDefaults(const std::vector<std::wstring>& arguments) {
  const int index = WritableFormat(arguments, L"settings");
  if (index < 0) return 2;
  CONVFORMAT row;
  ConvGetFormatAt(&row, static_cast<UINT32>(index));
  HRESULT result = ConvDefOutputSettings(GetConsoleWindow(), &row);
  if (result == S_OK) {
    wchar_t text[512] = {};
    ConvDefOutputSettingsString(text, 512, &row);
    WriteText(stdout, std::wstring(L"Stored the defaults of ") + row.name + L": " + text + L"\n");
    return 0;
  }
  if (result == E_ABORT) {
    WriteText(stdout, L"Cancelled: the defaults are unchanged.\n");
    return 1;
  }
  // Formats without a defaults mode keep their defaults through the dialog's own "Set Default" button.
  IConvertDestination* destination = nullptr;
  if (ConvCreateDest(&row, &destination) != S_OK) return UsageError(std::wstring(row.name) + L" has no settings");
  WriteText(stdout, std::wstring(row.name) + L": \"Set Default\" in the dialog stores the defaults.\n");
  destination->ShowSettings(GetConsoleWindow(), nullptr);
  destination->Release();
  return 0;
}
