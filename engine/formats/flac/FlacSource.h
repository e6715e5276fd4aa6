// Reads FLAC files with libFLAC: every bit depth and channel count, exactly as encoded. The DirectShow source
// hands FLAC files to it, since the platform's decoders may narrow them to 16 bits or be missing altogether.
#pragma once

#include <FLAC/stream_decoder.h>

#include <string>
#include <vector>

#include "DefConvertSource.h"

class CFlacSource : public CDefConvertSource {
 public:
  ~CFlacSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;

  static IConvertSource* Create() { return new CFlacSource(); }
  // True when the file starts like a FLAC stream (possibly behind an ID3v2 tag).
  static bool LooksLikeFlac(const wchar_t* path);

 private:
  CFlacSource() = default;

  static FLAC__StreamDecoderWriteStatus OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* self);
  static void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self);
  static void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* self);

  FLAC__StreamDecoder* decoder = nullptr;
  unsigned sourceBits = 0;        // bits per sample in the stream
  FLAC__uint64 totalFrames = 0;   // 0 when the stream does not say
  FLAC__uint64 framesLeft = 0;    // to deliver in this read
  IPlayCallback* sink = nullptr;  // only while ReadAll runs
  bool refused = false;
  std::wstring damage;  // the first decoding error, if any
  std::vector<unsigned char> block;
};
