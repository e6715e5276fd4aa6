// One conversion stage of the Wave destination: collects one second of input, converts it through an
// ACM stream and hands the output to a writer (the file, or the next stage).
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <vector>

#include "AcmCatalog.h"

class ACMconverter {
 public:
  using Writer = bool (*)(const void* data, DWORD size, void* userData);

  // The converter's own codes in lastError: a conversion attempted out of order, and a refusing writer.
  static constexpr MMRESULT kOutOfOrder = 998;
  static constexpr MMRESULT kWriterFailed = 999;

  ACMconverter() = default;
  ACMconverter(const ACMconverter&) = delete;
  ACMconverter& operator=(const ACMconverter&) = delete;
  ~ACMconverter() { Free(); }

  // dstFormat null: the ACM suggests a format of formatTag for srcFormat.
  bool Open(const WAVEFORMATEX* srcFormat, DWORD formatTag, const WAVEFORMATEX* dstFormat, Writer writer,
            void* userData);
  bool Feed(DWORD size, const void* data);
  // Converts what the input buffer holds; `finish` also drains what the codec keeps back.
  bool Convert(bool finish = false);
  // The end of the input: a block codec's last block is completed with silence (the frame count in the
  // file's "fact" chunk tells readers where the audio ends), then everything held is converted.
  bool Finish();
  void Free();

  bool IsOpen() const { return stream != nullptr; }
  const WAVEFORMATEX* OutputFormat() const { return AsFormat(dstFormat); }

  void* userData = nullptr;
  Writer writer = nullptr;
  MMRESULT lastError = MMSYSERR_NOERROR;

 private:
  FormatBytes dstFormat;
  WAVEFORMATEX srcFormat = {};
  unsigned long long framesFed = 0;
  DWORD srcChunkSize = 0;
  DWORD srcFill = 0;
  std::vector<BYTE> srcBuffer;
  DWORD dstChunkSize = 0;
  DWORD dstFill = 0;
  std::vector<BYTE> dstBuffer;
  HACMSTREAM stream = nullptr;
};
