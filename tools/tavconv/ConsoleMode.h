// The console mode: "tavconv convert [options] INPUT..." for batch work.
#pragma once

#include <string>
#include <vector>

// Exit statuses: 0 everything converted, 1 something failed, 2 bad usage.
int RunConvertCommand(const std::vector<std::wstring>& arguments);
extern const wchar_t kConvertUsage[];
