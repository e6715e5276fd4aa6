// The small console commands of the converter and its usage errors. Each returns the exit status.
#pragma once

#include <string>
#include <vector>

// Prints "tavconv: TEXT" and a hint to the help; returns 2, the status of bad usage.
int UsageError(const std::wstring& text);
// "tavconv options FORMAT [CODEC]": the format's encoder options and their values.
int PrintOptions(const std::vector<std::wstring>& arguments);
// "tavconv settings FORMAT": the format's settings dialog in defaults mode; OK stores the defaults (0), Cancel
// leaves them (1).
int EditDefaults(const std::vector<std::wstring>& arguments);
