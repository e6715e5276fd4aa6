// ID3v2.4 tags rewritten as ID3v2.3, the newest version the tag library parses.
#pragma once

#include <string>

// An ID3v2.3 tag with the frames of an ID3v2.4 tag (syncsafe sizes, per-frame unsynchronisation, data length
// indicators and compression undone, UTF-8 and UTF-16BE text stored as UTF-16 with a byte-order mark,
// TDRC/TDOR as TYER/TORY). Frames that cannot be converted are left out; bytes that are no ID3v2.4 tag give
// an empty string.
std::string ConvertId3v24To23(const std::string& tag);
