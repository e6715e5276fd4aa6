// Writes Ogg Vorbis files: PCM analysed by libvorbis, packets paged by libogg.
#pragma once

#include <windows.h>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <string>
#include <vector>

#include "DefConvertDestination.h"
#include "FrameJoiner.h"
#include "OggSettings.h"

class COggConvDest : public CDefConvertDestination {
 public:
  COggConvDest();
  ~COggConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  // Known options always succeed and never write errorText; a missing value is refused.
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;

  static IConvertDestination* Create() { return new COggConvDest(); }

  OGGSETTINGS& Settings() { return settings.settings; }

 private:
  // Serial numbers come from a generator seeded with the tick count, so they lie in 0 to 32767.
  static int NextSerialNumber();
  bool SetUpEncoder();
  bool EncodeFrames(const unsigned char* bytes, size_t frames);
  // Moves every finished block into the stream and writes the pages it completes.
  bool DrainBlocks();
  bool WritePages(bool flush);
  bool WritePage(const ogg_page& page);
  bool FlushOutput();
  void ReportWriteError();

  COggSettings settings;
  HANDLE file = INVALID_HANDLE_VALUE;
  static constexpr size_t kOutputPiece = 65536;
  std::vector<unsigned char> pendingOutput;  // pages not yet written
  ogg_stream_state stream = {};
  ogg_page page = {};
  ogg_packet packet = {};
  vorbis_info info = {};
  vorbis_comment comment = {};
  vorbis_dsp_state dsp = {};
  vorbis_block block = {};
  bool infoReady = false;
  bool encoderReady = false;  // analysis, block and stream exist
  bool endOfStreamWritten = false;
  bool writeFailed = false;
  DWORD writeError = 0;
  int frameBytes = 0;
  int sampleWidth = 0;              // bytes per input sample
  std::vector<int> channelSources;  // input channel of each Vorbis channel
  CFrameJoiner joiner;
};
