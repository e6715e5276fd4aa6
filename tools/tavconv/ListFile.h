// The list files the shell extension hands over: one path per line.
#pragma once

#include <string>
#include <vector>

// Reads the paths of a list file: UTF-8 or UTF-16 with a byte-order mark, else the system code page; CR LF
// or LF line ends; blank lines skipped. False with a message when the file cannot be read or holds no path.
bool ReadListFile(const std::wstring& path, std::vector<std::wstring>& paths, std::wstring& error);
