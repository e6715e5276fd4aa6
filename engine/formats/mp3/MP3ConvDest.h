// Writes MP3 files through the outside encoder library, chunk by chunk in the library's chunk length.
#pragma once

#include <cstdio>
#include <optional>
#include <vector>

#include "DefConvertDestination.h"
#include "FrameJoiner.h"
#include "LameEncoder.h"
#include "MP3Settings.h"
#include "StereoMix.h"

// The configuration record for the settings and the input format.
LameConfig BuildLameConfig(const MP3SETTINGS& settings, const WAVEFORMATEX& input);

class CMP3ConvDest : public CDefConvertDestination {
 public:
  CMP3ConvDest();
  ~CMP3ConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;

  static IConvertDestination* Create() { return new CMP3ConvDest(); }
  MP3SETTINGS& Settings() { return settings.settings; }

 private:
  // Converts input frames to 16-bit mono or stereo at the end of the chunk buffer.
  void AppendFrames(const unsigned char* data, UINT32 frames);
  bool EncodeFrames(const unsigned char* bytes, size_t frames);
  bool EncodeChunk(const short* samples, DWORD count);
  bool WriteOutput(const void* data, DWORD size);

  CMP3Settings settings;
  std::optional<CStereoMix> mix;  // input frames as the encoder takes them
  CFrameJoiner joiner;
  bool writeFailed = false;
  std::vector<short> chunk;
  DWORD chunkFill = 0;
  std::vector<BYTE> output;
  FILE* file = nullptr;
  LameLibrary library;
  LameLibrary::Stream stream = nullptr;
  bool streamOpen = false;
};
