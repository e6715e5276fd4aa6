// ID3 tags of a file on disk by wide path: the ID3v2 tag in front of the audio, the ID3v1 tag behind it.
#pragma once

#include <id3/tag.h>
#include <windows.h>

#include <string>

// Parses the file's ID3v2 tag into tag and adds the ID3v1 fields for which the ID3v2 tag has no frame. A
// missing or unreadable file, or damaged tags, leave frames out; nothing throws.
void ReadId3File(const std::wstring& path, ID3_Tag& tag);

// Parses an ID3v2 tag held in memory into tag (frames are added); false when nothing could be parsed.
bool ParseId3v2(const std::string& bytes, ID3_Tag& tag);

// Stores text held in encodings that ID3v2.3 lacks (UTF-8, UTF-16BE) again by the encoding rule.
void NormalizeFrameEncodings(ID3_Frame& frame);

// The 128-byte ID3v1 tag holding what fits of the tag's frames.
std::string RenderId3v1(ID3_Tag& tag);

// Writes the ID3v2 tag (writeV2) and/or the ID3v1 tag (writeV1) into an existing file, leaving the audio bytes
// and a tag that is not written as they are. Returns the tag types written (ID3TT_ID3V1 | ID3TT_ID3V2), 0 when
// the file could not be written (missing, read-only, in use).
unsigned WriteId3File(const std::wstring& path, ID3_Tag& tag, bool writeV2, bool writeV1);
