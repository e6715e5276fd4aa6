// The PCM format record of a sample width, channel count and rate.
#pragma once

#include <mmreg.h>
#include <mmsystem.h>
#include <windows.h>

inline WAVEFORMATEX MakePcmFormat(WORD bits, WORD channels, DWORD rate) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = rate * format.nBlockAlign;
  return format;
}
