// Building tags from foreign names: frames from four-letter identifiers, the first value of a number wins.
#pragma once

#include <id3/tag.h>

#include <string>

// A new frame for a four-letter identifier the tag library knows, holding text in its text or URL field;
// null for unknown identifiers.
ID3_Frame* NewTextFrame(const char* identifier, const std::wstring& text);
// Attaches frame when the tag holds no frame of its number yet, else destroys it. Takes frame (null allowed).
void AttachIfFirst(ID3_Tag& tag, ID3_Frame* frame);
