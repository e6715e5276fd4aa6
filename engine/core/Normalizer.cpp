// Peak normaliser for 8- and 16-bit PCM.
#include "Normalizer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "AbiGuard.h"

namespace {
// Scales one signed sample, truncating toward zero and limiting to the sample range.
int Scale(int sample, double gain, int lowest, int highest) {
  double scaled = sample * gain;
  if (std::isnan(scaled)) return 0;
  if (scaled <= lowest) return lowest;
  if (scaled >= highest) return highest;
  return static_cast<int>(scaled);
}
}  // namespace

HRESULT Normalizer::Destroy() {
  delete this;
  return S_OK;
}

HRESULT Normalizer::Init(const WAVEFORMATEX* fmt) {
  if (!fmt || (fmt->wBitsPerSample != 8 && fmt->wBitsPerSample != 16) || (fmt->nChannels != 1 && fmt->nChannels != 2))
    return E_INVALIDARG;
  format = *fmt;
  ready = true;
  return S_OK;
}

HRESULT Normalizer::Analyze(UINT32 size, const void* data) {
  if (!ready) return E_FAIL;
  if (!data) return size ? E_INVALIDARG : S_OK;
  if (format.wBitsPerSample == 16) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (UINT32 i = 0; i + 1 < size; i += 2) {
      int16_t sample;
      std::memcpy(&sample, bytes + i, sizeof(sample));
      double magnitude = std::fabs(static_cast<double>(sample));
      if (magnitude > peak) peak = magnitude;
    }
  } else {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (UINT32 i = 0; i < size; ++i) {
      double magnitude = std::fabs(static_cast<double>(bytes[i]) - 128.0);
      if (magnitude > peak) peak = magnitude;
    }
  }
  if (peak > 0.0) gain = (format.wBitsPerSample == 16 ? 32768.0 : 128.0) / peak;
  return S_OK;
}

HRESULT Normalizer::Process(UINT32 size, const void* in, void* out) {
  if (!ready) return E_FAIL;
  if (!in || !out) return size ? E_INVALIDARG : S_OK;
  const unsigned char* source = static_cast<const unsigned char*>(in);
  unsigned char* target = static_cast<unsigned char*>(out);
  if (format.wBitsPerSample == 16) {
    for (UINT32 i = 0; i + 1 < size; i += 2) {
      int16_t sample;
      std::memcpy(&sample, source + i, sizeof(sample));
      int16_t result = static_cast<int16_t>(Scale(sample, gain, -32768, 32767));
      std::memcpy(target + i, &result, sizeof(result));
    }
  } else if (format.wBitsPerSample == 8) {
    for (UINT32 i = 0; i < size; ++i) {
      target[i] = static_cast<unsigned char>(Scale(static_cast<int>(source[i]) - 128, gain, -128, 127) + 128);
    }
  } else if (in != out) {
    std::memmove(out, in, size);
  }
  return S_OK;
}

HRESULT Normalizer::GetGain(double* out) {
  if (!out) return E_INVALIDARG;
  *out = gain;
  return S_OK;
}

HRESULT Normalizer::SetGain(double g) {
  gain = g;
  return S_OK;
}

TAVCORE_API HRESULT WINAPI CreateNormalizer(INormalizer** out) {
  if (!out) return E_INVALIDARG;
  *out = new (std::nothrow) Normalizer();
  return *out ? S_OK : E_OUTOFMEMORY;
}
