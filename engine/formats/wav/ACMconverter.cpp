// One ACM conversion stage of the Wave destination.
#include "ACMconverter.h"

#include <algorithm>
#include <cstring>

#include "WaveFormatRules.h"

bool ACMconverter::Open(const WAVEFORMATEX* input, DWORD formatTag, const WAVEFORMATEX* format, Writer newWriter,
                        void* newUserData) {
  auto acm = LockAcm();
  Free();
  writer = newWriter;
  userData = newUserData;
  if (!input || input->nAvgBytesPerSec == 0) {
    lastError = MMSYSERR_INVALPARAM;
    return false;
  }
  srcFormat = *input;
  srcFormat.cbSize = 0;
  if (format) {
    dstFormat = CopyFormat(format);
  } else if (!AcmSuggestFormat(input, formatTag, dstFormat, &lastError)) {
    Free();
    return false;
  }
  lastError =
      acmStreamOpen(&stream, nullptr, const_cast<WAVEFORMATEX*>(input),
                    reinterpret_cast<WAVEFORMATEX*>(dstFormat.data()), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (lastError != MMSYSERR_NOERROR) {
    stream = nullptr;
    Free();
    return false;
  }
  // One second of input, in whole blocks.
  srcChunkSize = input->nAvgBytesPerSec;
  if (input->nBlockAlign > 1)
    srcChunkSize = std::max<DWORD>(srcChunkSize - srcChunkSize % input->nBlockAlign, input->nBlockAlign);
  lastError = acmStreamSize(stream, srcChunkSize, &dstChunkSize, ACM_STREAMSIZEF_SOURCE);
  if (lastError != MMSYSERR_NOERROR || dstChunkSize == 0) {
    if (lastError == MMSYSERR_NOERROR) lastError = ACMERR_NOTPOSSIBLE;
    Free();
    return false;
  }
  srcBuffer.assign(srcChunkSize, 0);
  dstBuffer.assign(dstChunkSize, 0);
  return true;
}

bool ACMconverter::Feed(DWORD size, const void* data) {
  if (!stream) return false;
  if (srcFormat.nBlockAlign) framesFed += size / srcFormat.nBlockAlign;
  const BYTE* bytes = static_cast<const BYTE*>(data);
  while (size > 0) {
    DWORD take = std::min(size, srcChunkSize - srcFill);
    std::memcpy(srcBuffer.data() + srcFill, bytes, take);
    srcFill += take;
    bytes += take;
    size -= take;
    if (srcFill == srcChunkSize) {
      if (!Convert()) return false;
      // A codec that takes nothing from a full buffer would make every later byte wait forever.
      if (srcFill == srcChunkSize) {
        lastError = kOutOfOrder;
        return false;
      }
    }
  }
  return true;
}

bool ACMconverter::Finish() {
  if (!stream) return true;
  const DWORD blockFrames = SamplesPerBlock(OutputFormat());
  if (blockFrames && srcFormat.wFormatTag == WAVE_FORMAT_PCM && framesFed % blockFrames) {
    const BYTE silence = srcFormat.wBitsPerSample == 8 ? 0x80 : 0x00;
    std::vector<BYTE> padding((blockFrames - framesFed % blockFrames) * srcFormat.nBlockAlign, silence);
    if (!Feed(static_cast<DWORD>(padding.size()), padding.data())) return false;
  }
  return srcFill == 0 || Convert(true);
}

bool ACMconverter::Convert(bool finish) {
  if (!stream || srcFill == 0 || dstFill != 0) {
    lastError = kOutOfOrder;
    return false;
  }
  ACMSTREAMHEADER header = {};
  header.cbStruct = sizeof(header);
  header.pbSrc = srcBuffer.data();
  header.cbSrcLength = srcFill;
  header.pbDst = dstBuffer.data();
  header.cbDstLength = dstChunkSize;
  lastError = acmStreamPrepareHeader(stream, &header, 0);
  if (lastError != MMSYSERR_NOERROR) return false;
  lastError = acmStreamConvert(stream, &header, finish ? ACM_STREAMCONVERTF_END : 0);
  MMRESULT unprepared = acmStreamUnprepareHeader(stream, &header, 0);
  if (lastError == MMSYSERR_NOERROR) lastError = unprepared;
  if (lastError != MMSYSERR_NOERROR) return false;

  dstFill = header.cbDstLengthUsed;
  DWORD used = std::min(header.cbSrcLengthUsed, srcFill);
  std::memmove(srcBuffer.data(), srcBuffer.data() + used, srcFill - used);
  srcFill -= used;
  if (dstFill == 0) return true;
  if (!writer || !writer(dstBuffer.data(), dstFill, userData)) {
    lastError = kWriterFailed;
    return false;
  }
  dstFill = 0;
  return true;
}

void ACMconverter::Free() {
  if (stream) {
    auto acm = LockAcm();
    acmStreamClose(stream, 0);
  }
  stream = nullptr;
  dstFormat.clear();
  srcBuffer.clear();
  dstBuffer.clear();
  srcChunkSize = srcFill = dstChunkSize = dstFill = 0;
  srcFormat = WAVEFORMATEX{};
  framesFed = 0;
}
