// InfoList: the sub-chunks of a RIFF LIST/INFO chunk (four-character id, NUL-terminated text) in and out.
#pragma once

#include <string>
#include <vector>

#include "RiffLayout.h"

struct InfoEntry {
  std::string id;    // four characters, e.g. "INAM"
  std::string text;  // the stored bytes up to the first NUL
};

// The entries of one INFO list of the layout; a damaged list gives what precedes the damage.
std::vector<InfoEntry> ReadInfoEntries(RiffBytes& bytes, const RiffChunk& list);
// A whole LIST chunk of type INFO with the entries that have text, each NUL-terminated and padded to even size;
// empty when none has text. False when the chunk would be larger than kLargestInfoList.
bool BuildInfoList(const std::vector<InfoEntry>& entries, std::string* chunk);
// Stored text as wide text: UTF-8 when the bytes are valid UTF-8, else the system code page; trailing blanks go.
std::wstring DecodeInfoText(const std::string& bytes);
