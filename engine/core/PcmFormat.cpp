// Recognising integer PCM in the wave-format records that decoders and files hand over.
#include "PcmFormat.h"

#include <ks.h>
#include <ksmedia.h>

#include <algorithm>
#include <cstring>

bool PcmFormatOf(const void* record, size_t size, WAVEFORMATEX* out) {
  if (!record || size < sizeof(PCMWAVEFORMAT)) return false;
  WAVEFORMATEX fmt = {};
  std::memcpy(&fmt, record, std::min(size, sizeof(WAVEFORMATEX)));
  if (fmt.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    if (size < sizeof(WAVEFORMATEXTENSIBLE)) return false;
    WAVEFORMATEXTENSIBLE extensible;
    std::memcpy(&extensible, record, sizeof(extensible));
    if (!IsEqualGUID(extensible.SubFormat, kSubtypePcm)) return false;
    // Samples narrower than their container would be taken at the wrong scale.
    if (extensible.Samples.wValidBitsPerSample && extensible.Samples.wValidBitsPerSample != fmt.wBitsPerSample)
      return false;
  } else if (fmt.wFormatTag != WAVE_FORMAT_PCM) {
    return false;
  }
  if (fmt.nChannels == 0 || fmt.nSamplesPerSec == 0 || fmt.wBitsPerSample == 0 || fmt.wBitsPerSample % 8 != 0 ||
      fmt.wBitsPerSample > 32)
    return false;
  *out = MakePcmFormat(fmt.wBitsPerSample, fmt.nChannels, fmt.nSamplesPerSec);
  return true;
}
