// The fixed table of frame kinds: frame number, identifier, display name and wrapper class.
#pragma once

#include <id3/globals.h>
#include <windows.h>

class ID3_Frame;

enum class FrameWrapper {
  None,
  Picture,
  Comment,
  TextDef,
  TextNum,
  TextPartNum,
  TextReadOnly,
  TextSongLen,
  TextDate,
  TextTime,
  TextCopyright,
  TextLang,
  TextGenre,
  UserText,
  Url,
  UserUrl,
};

struct FrameKind {
  UINT32 number;
  const char* id;  // empty for the two meta frames without an identifier
  const char* displayName;
  FrameWrapper wrapper;
};

// The kind of a frame number; null for numbers that are no frame kind.
const FrameKind* FindFrameKind(UINT32 number);
// The wrapper class of a number; None also for unknown numbers.
FrameWrapper WrapperOf(UINT32 number);

// Wraps an id3lib frame as its kind and asks the wrapper for iid. With owned set the wrapper takes the frame
// (resetting it to the kind's empty value) and the frame is destroyed on any failure; without, the frame stays
// where it is. Null frame or out, or a number without wrapper: E_INVALIDARG.
HRESULT WrapFrame(ID3_Frame* frame, UINT32 number, bool owned, REFIID iid, void** out);
