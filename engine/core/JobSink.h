// The conversion job's PCM sink: range limit, analysis, the temporary file and the destination, in order.
#pragma once

#include "SilenceDetector.h"
#include "TempPcmFile.h"
#include "TempoAnalyzer.h"
#include "tavcore.h"

class CPlayCallback : public IPlayCallback {
public:
  static constexpr UINT32 kNoLimit = 0xFFFFFFFF;

  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override;

  SilenceDetector* silence = nullptr;
  TempoAnalyzer* tempo = nullptr;
  UINT32 bytesDone = 0;
  UINT32 byteLimit = kNoLimit;
  TempPcmFile* tempFile = nullptr;
  INormalizer* normalizer = nullptr;
  IConvertDestination* destination = nullptr;
  IConvertCallback* callback = nullptr;
  bool limitReached = false;
  bool stepProgress = true;
};
