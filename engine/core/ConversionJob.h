// One conversion of a source into a destination, as AudioConvert runs it on its worker thread.
#pragma once

#include <string>

#include "tavcore.h"

struct ConversionRequest {
  IConvertSource* source;
  IConvertDestination* destination;
  IConvertCallback* callback;
  const CONVOPTIONS* options;
  double* normalize;
  int startMs;
  int endMs;
};

// The whole job on the calling thread: 0, or 0x80004005 on failure or cancellation.
HRESULT RunConversion(const ConversionRequest& request);

// True when both paths exist and name the same file (also through another spelling or a link).
bool IsSameFile(const wchar_t* first, const wchar_t* second);

// Copies the source's tag into the finished output, with the encoder settings (TSSE), without the song
// length when only a range was converted, and with the tempo (TBPM) when one was found.
void CopyTagToOutput(IConvertSource* source, IConvertDestination* destination, bool rangeGiven, double tempo);
// The text of a TBPM frame for a tempo.
std::wstring TempoText(double tempo);
