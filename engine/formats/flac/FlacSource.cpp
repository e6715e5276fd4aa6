// The FLAC reader: libFLAC's stream decoder, its frames interleaved into the engine's PCM.
#include "FlacSource.h"

#include <algorithm>
#include <cstring>

#include "EngineResources.h"
#include "PcmFormat.h"
#include "UniqueHandles.h"
#include "tavcore_metadata.h"

namespace {

std::string Utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
  return result;
}

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

}  // namespace

CFlacSource::~CFlacSource() { Close(); }

bool CFlacSource::LooksLikeFlac(const wchar_t* path) {
  UniqueFile file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  unsigned char head[10];
  DWORD read = 0;
  if (!ReadFile(file.Get(), head, sizeof(head), &read, nullptr) || read < 4) return false;
  if (std::memcmp(head, "fLaC", 4) == 0) return true;
  if (read < 10 || std::memcmp(head, "ID3", 3) != 0) return false;
  // An ID3v2 tag in front: its size is four 7-bit bytes, plus a footer when the flags say so.
  const DWORD tagSize = 10 + (head[6] << 21 | head[7] << 14 | head[8] << 7 | head[9]) + (head[5] & 0x10 ? 10 : 0);
  char magic[4];
  return SetFilePointer(file.Get(), static_cast<LONG>(tagSize), nullptr, FILE_BEGIN) == tagSize &&
         ReadFile(file.Get(), magic, sizeof(magic), &read, nullptr) && read == 4 && std::memcmp(magic, "fLaC", 4) == 0;
}

bool CFlacSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CDirectShowConvSource;  // the class that serves the FLAC row
  return true;
}

bool CFlacSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  format = WAVEFORMATEX{};
  dataSize = 0;
  totalFrames = 0;
  sourceBits = 0;
  damage.clear();
  decoder = FLAC__stream_decoder_new();
  if (!decoder) return Fail(L"Out of memory");
  FLAC__stream_decoder_set_md5_checking(decoder, false);
  // libFLAC takes file names in UTF-8 on this platform.
  if (FLAC__stream_decoder_init_file(decoder, Utf8(fileName).c_str(), &OnWrite, &OnMetadata, &OnError, this) !=
      FLAC__STREAM_DECODER_INIT_STATUS_OK)
    return Fail(L"Source file cannot be opened");
  if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder) || format.nChannels == 0)
    return Fail(L"File format is invalid or corrupted");
  const unsigned long long bytes = totalFrames * format.nBlockAlign;
  dataSize =
      static_cast<UINT32>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull - 0xFFFFFFFFull % format.nBlockAlign));
  return true;
}

void CFlacSource::OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* self) {
  auto* source = static_cast<CFlacSource*>(self);
  if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
  const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
  if (info.channels == 0 || info.sample_rate == 0 || info.bits_per_sample == 0 || info.bits_per_sample > 32) return;
  source->sourceBits = info.bits_per_sample;
  source->totalFrames = info.total_samples;
  // Samples travel in whole bytes, left-justified: 12 bits as 16, 20 as 24.
  const WORD bits = static_cast<WORD>((info.bits_per_sample + 7) / 8 * 8);
  source->format = MakePcmFormat(bits, static_cast<WORD>(info.channels), info.sample_rate);
}

void CFlacSource::OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* self) {
  auto* source = static_cast<CFlacSource*>(self);
  if (source->damage.empty()) source->damage = Widen(FLAC__StreamDecoderErrorStatusString[status]);
}

FLAC__StreamDecoderWriteStatus CFlacSource::OnWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                    const FLAC__int32* const buffer[], void* self) {
  auto* source = static_cast<CFlacSource*>(self);
  const WAVEFORMATEX& pcm = source->format;
  if (frame->header.channels != pcm.nChannels || frame->header.bits_per_sample != source->sourceBits) {
    if (source->damage.empty()) source->damage = L"the stream changes its format";
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  const unsigned frames = static_cast<unsigned>(
      std::min<FLAC__uint64>(frame->header.blocksize, source->totalFrames ? source->framesLeft : ~0ull));
  const unsigned width = pcm.wBitsPerSample / 8;
  const unsigned shift = pcm.wBitsPerSample - source->sourceBits;
  source->block.resize(static_cast<size_t>(frames) * pcm.nBlockAlign);
  unsigned char* out = source->block.data();
  for (unsigned i = 0; i < frames; ++i) {
    for (unsigned channel = 0; channel < pcm.nChannels; ++channel) {
      const FLAC__uint32 value = static_cast<FLAC__uint32>(buffer[channel][i]) << shift;
      if (width == 1) {
        *out++ = static_cast<unsigned char>((value & 0xFF) ^ 0x80);  // 8-bit PCM is unsigned
      } else {
        for (unsigned byte = 0; byte < width; ++byte) *out++ = static_cast<unsigned char>(value >> (8 * byte));
      }
    }
  }
  if (source->totalFrames) source->framesLeft -= frames;
  if (frames && !source->sink->OnData(source->block.data(), static_cast<UINT32>(source->block.size()))) {
    source->refused = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

bool CFlacSource::ReadAll(IPlayCallback* target) {
  if (!CDefConvertSource::ReadAll(target)) return false;
  if (!target) return false;
  refused = false;
  damage.clear();
  // A read that the sink stopped left the decoder aborted.
  if (FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_ABORTED) FLAC__stream_decoder_flush(decoder);
  FLAC__uint64 start = 0;
  if (startTimeMs > 0) start = static_cast<FLAC__uint64>(startTimeMs) * format.nSamplesPerSec / 1000;
  if (totalFrames && start >= totalFrames) return true;
  framesLeft = totalFrames - start;
  // The seek itself delivers the frame it lands in, cut to the exact sample: the sink is set before it.
  sink = target;
  if (!FLAC__stream_decoder_seek_absolute(decoder, start)) {
    sink = nullptr;
    if (FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_SEEK_ERROR) FLAC__stream_decoder_flush(decoder);
    if (refused) return false;
    LogError(L"FLAC: the start position cannot be reached in the file");
    return false;
  }
  const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder);
  sink = nullptr;
  if (refused) return false;
  // A file that ends early or holds damaged frames is not passed off as converted.
  if (!decoded || !damage.empty() || (totalFrames && framesLeft > 0)) {
    const double missing = totalFrames ? static_cast<double>(framesLeft) / format.nSamplesPerSec : 0.0;
    if (!damage.empty())
      LogError(L"FLAC data is damaged (%s)", damage.c_str());
    else
      LogError(L"The FLAC file ends early: %.1f seconds of audio are missing", missing);
    return false;
  }
  return true;
}

bool CFlacSource::Close() {
  CDefConvertSource::Close();
  if (decoder) {
    FLAC__stream_decoder_finish(decoder);
    FLAC__stream_decoder_delete(decoder);
  }
  decoder = nullptr;
  return true;
}

bool CFlacSource::GetMetadata(IMetadata** out) {
  return out && fileName[0] && SUCCEEDED(MetadataCreateFromFile(fileName, out));
}
