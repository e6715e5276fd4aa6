// Peak normaliser for integer PCM.
#include "Normalizer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "AbiGuard.h"
#include "PcmSamples.h"

namespace {
// Scales one signed sample, truncating toward zero and limiting to the width's range.
int64_t Scale(int32_t sample, double gain, unsigned width) {
  const double highest = PcmFullScale(width) - 1.0;
  double scaled = sample * gain;
  if (std::isnan(scaled)) return 0;
  if (scaled <= -highest - 1.0) return static_cast<int64_t>(-highest - 1.0);
  if (scaled >= highest) return static_cast<int64_t>(highest);
  return static_cast<int64_t>(scaled);
}
}  // namespace

HRESULT Normalizer::Destroy() {
  delete this;
  return S_OK;
}

HRESULT Normalizer::Init(const WAVEFORMATEX* fmt) {
  if (!fmt) return E_INVALIDARG;
  const unsigned sampleWidth = PcmSampleWidth(*fmt);
  const bool accepted = anyIntegerPcm ? sampleWidth != 0
                                      : (fmt->wBitsPerSample == 8 || fmt->wBitsPerSample == 16) &&
                                            (fmt->nChannels == 1 || fmt->nChannels == 2);
  if (!accepted) return E_INVALIDARG;
  format = *fmt;
  // The exported object steps by bits / 8 whatever the block alignment says.
  width = fmt->wBitsPerSample / 8u;
  ready = true;
  return S_OK;
}

HRESULT Normalizer::Analyze(UINT32 size, const void* data) {
  if (!ready) return E_FAIL;
  if (!data) return size ? E_INVALIDARG : S_OK;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (UINT32 i = 0; i + width <= size; i += width) {
    double magnitude = std::fabs(static_cast<double>(ReadPcmSample(bytes + i, width)));
    if (magnitude > peak) peak = magnitude;
  }
  if (peak > 0.0) gain = PcmFullScale(width) / peak;
  return S_OK;
}

HRESULT Normalizer::Process(UINT32 size, const void* in, void* out) {
  if (!ready) return E_FAIL;
  if (!in || !out) return size ? E_INVALIDARG : S_OK;
  const unsigned char* source = static_cast<const unsigned char*>(in);
  unsigned char* target = static_cast<unsigned char*>(out);
  for (UINT32 i = 0; i + width <= size; i += width)
    WritePcmSample(target + i, width, Scale(ReadPcmSample(source + i, width), gain, width));
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
