// The inputs of a batch conversion: files as given, folders with every readable file below them (each file
// and folder once, however many links lead to it), and the entries of M3U, M3U8 and PLS playlists.
#pragma once

#include <string>
#include <vector>

struct CollectedInputs {
  std::vector<std::wstring> files;     // in the order given; folders sorted by name
  std::vector<std::wstring> problems;  // one message per input that cannot be used
};

CollectedInputs CollectInputs(const std::vector<std::wstring>& arguments);
// A path made absolute against the current folder.
std::wstring AbsolutePath(const std::wstring& path);
// The extension from the last dot of the file name, lower-cased; empty when there is none.
std::wstring LowerExtension(const std::wstring& path);
