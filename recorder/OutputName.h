// The output path of a recording: the user's template with its "%" codes expanded.
#pragma once

#include <windows.h>

#include <string>

// The default output template (without extension).
extern const wchar_t kDefaultOutputTemplate[];

// Left to right: "%D" the date in the user's locale as "yyyy-MM-dd", "%S" the sequence number as "%03d",
// "%MM" the music folder; any other "%" becomes "X" and what follows it stays.
std::wstring ExpandOutputTemplate(const std::wstring& pattern, int sequence, const SYSTEMTIME& date,
                                  const std::wstring& musicFolder);

// The template with its folder replaced by `folder`, keeping the file-name part.
std::wstring ReplaceTemplateFolder(const std::wstring& pattern, const std::wstring& folder);

// The user's music folder, or an empty string.
std::wstring MusicFolder();

// Reads "SequenzeNumber" of section "Settings", stores it plus one and returns that.
int NextSequenceNumber();
