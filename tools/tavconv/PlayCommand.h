// "tavconv play FILE...": plays files of any readable format on the default sound device, showing position and
// length; on a console, space pauses and resumes and q stops.
#pragma once

#include <string>
#include <vector>

int PlayFiles(const std::vector<std::wstring>& files);
