// "tavconv cd": the CD drives, and the audio tracks of the disc in each with their times and the disc serial.
#pragma once

#include <string>
#include <vector>

int ListCdDrives(const std::vector<std::wstring>& arguments);
