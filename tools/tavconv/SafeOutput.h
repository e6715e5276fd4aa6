// Outputs are written under a temporary name in their own folder and take their final name only when the
// conversion succeeded, so an existing file is never lost to a failed, cancelled or killed conversion.
#pragma once

#include <string>

// The temporary name for a final output path: "~tavconv<process>-<n>" with the output's extension (the tag
// writers tell formats apart by it), in the same folder. Empty when it would not fit in a path.
std::wstring TemporaryOutputName(const std::wstring& finalPath);

// The same for a playlist, with the extension in lower case: the engine knows playlist kinds only so.
std::wstring TemporaryPlaylistName(const std::wstring& finalPath);

// Deletes the temporary outputs that conversions of processes which no longer run left in the folder (a
// converter that was killed). Each folder is looked at once per process.
void RemoveAbandonedOutputs(const std::wstring& folder);

// True when both paths exist and are the same file (also through another spelling).
bool SameExistingFile(const std::wstring& first, const std::wstring& second);
