// Peak normaliser: the analysis pass finds the loudest sample, the processing pass scales by the gain.
#pragma once

#include "tavcore.h"

class Normalizer final : public INormalizer {
 public:
  // The exported object takes 8- and 16-bit PCM with one or two channels; the conversion job's own takes
  // integer PCM of every width and channel count.
  explicit Normalizer(bool anyIntegerPcm = false) : anyIntegerPcm(anyIntegerPcm) {}

  HRESULT STDMETHODCALLTYPE Destroy() override;
  HRESULT STDMETHODCALLTYPE Init(const WAVEFORMATEX* fmt) override;
  HRESULT STDMETHODCALLTYPE Analyze(UINT32 size, const void* data) override;
  HRESULT STDMETHODCALLTYPE Process(UINT32 size, const void* in, void* out) override;
  HRESULT STDMETHODCALLTYPE GetGain(double* out) override;
  HRESULT STDMETHODCALLTYPE SetGain(double g) override;

 private:
  WAVEFORMATEX format = {};
  double peak = 0.0;
  // Stays as it was while only silence has been analysed (silence times any gain is silence).
  double gain = 0.0;
  bool ready = false;
  bool anyIntegerPcm;
  unsigned width = 0;  // bytes per sample
};
