// The benchmark's baseline: the same encoder builds the engine uses (lame_enc.dll, libvorbis), fed from a
// WAV file in a plain loop without the engine, so the engine's own cost can be measured.
// Usage: bare_encode mp3-abr128|mp3-vbr70|ogg-q40 IN.wav OUT
#include <windows.h>
#include <psapi.h>

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "LameEncoder.h"

namespace {
struct Input {
  FILE* file = nullptr;
  unsigned channels = 0, rate = 0;
  unsigned long long dataLeft = 0;
};

bool OpenWave(const wchar_t* path, Input& input) {
  input.file = _wfopen(path, L"rb");
  if (!input.file) return false;
  unsigned char header[12];
  if (fread(header, 1, 12, input.file) != 12 || memcmp(header, "RIFF", 4) || memcmp(header + 8, "WAVE", 4)) return false;
  for (;;) {
    unsigned char chunk[8];
    if (fread(chunk, 1, 8, input.file) != 8) return false;
    unsigned size = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | static_cast<unsigned>(chunk[7]) << 24;
    if (!memcmp(chunk, "fmt ", 4)) {
      unsigned char format[16];
      if (size < 16 || fread(format, 1, 16, input.file) != 16) return false;
      input.channels = format[2] | format[3] << 8;
      input.rate = format[4] | format[5] << 8 | format[6] << 16 | static_cast<unsigned>(format[7]) << 24;
      fseek(input.file, static_cast<long>(size - 16 + (size & 1)), SEEK_CUR);
    } else if (!memcmp(chunk, "data", 4)) {
      input.dataLeft = size;
      return input.channels > 0;
    } else {
      fseek(input.file, static_cast<long>(size + (size & 1)), SEEK_CUR);
    }
  }
}

int EncodeMp3(Input& input, const wchar_t* output, bool vbr) {
  LameLibrary library;
  if (!library.Load()) return 3;
  LameConfig config;
  memset(&config, 0, sizeof(config));
  config.config = 256;
  config.structVersion = 1;
  config.structSize = sizeof(config);
  config.sampleRate = input.rate;
  config.mode = input.channels == 1 ? 3 : 1;
  config.maxBitrate = vbr ? 320 : 0;
  config.preset = -1;
  config.writeVbrHeader = 1;
  config.enableVbr = 1;
  config.vbrQuality = vbr ? 3 : 9;
  config.abrBitsPerSecond = vbr ? 0 : 128000;
  config.vbrMethod = vbr ? 1 : 4;
  config.quality = 0xFA05;
  DWORD chunkSamples = 0, bufferSize = 0;
  LameLibrary::Stream stream = nullptr;
  if (library.initStream(&config, &chunkSamples, &bufferSize, &stream)) return 4;
  FILE* out = _wfopen(output, L"wb");
  if (!out) return 5;
  std::vector<short> samples(chunkSamples);
  std::vector<BYTE> buffer(bufferSize);
  for (;;) {
    size_t want = std::min<unsigned long long>(samples.size() * 2, input.dataLeft);
    size_t got = fread(samples.data(), 1, want, input.file);
    input.dataLeft -= got;
    if (got == 0) break;
    DWORD bytes = 0;
    if (library.encodeChunk(stream, static_cast<DWORD>(got / 2), samples.data(), buffer.data(), &bytes)) return 6;
    fwrite(buffer.data(), 1, bytes, out);
  }
  DWORD bytes = 0;
  if (!library.deinitStream(stream, buffer.data(), &bytes)) fwrite(buffer.data(), 1, bytes, out);
  library.closeStream(stream);
  fclose(out);
  if (library.writeVbrHeader) {
    char narrow[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, output, -1, narrow, MAX_PATH, nullptr, nullptr);
    library.writeVbrHeader(narrow);
  }
  return 0;
}

void WritePages(ogg_stream_state& stream, FILE* out, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
    fwrite(page.header, 1, static_cast<size_t>(page.header_len), out);
    fwrite(page.body, 1, static_cast<size_t>(page.body_len), out);
  }
}

int EncodeOgg(Input& input, const wchar_t* output) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, static_cast<long>(input.channels), static_cast<long>(input.rate), 0.4f)) return 4;
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "ENCODER", "bare loop");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);
  ogg_packet header, commentPacket, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
  FILE* out = _wfopen(output, L"wb");
  if (!out) return 5;
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentPacket);
  ogg_stream_packetin(&stream, &codebooks);
  WritePages(stream, out, true);
  const unsigned frameBytes = input.channels * 2;
  std::vector<short> pcm(4096 * input.channels);
  bool finished = false;
  while (!finished) {
    size_t want = std::min<unsigned long long>(pcm.size() * 2, input.dataLeft);
    size_t got = fread(pcm.data(), 1, want, input.file);
    input.dataLeft -= got;
    long frames = static_cast<long>(got / frameBytes);
    if (frames > 0) {
      float** planes = vorbis_analysis_buffer(&dsp, frames);
      for (long f = 0; f < frames; ++f)
        for (unsigned c = 0; c < input.channels; ++c) planes[c][f] = pcm[f * input.channels + c] / 32768.0f;
      vorbis_analysis_wrote(&dsp, frames);
    } else {
      vorbis_analysis_wrote(&dsp, 0);
      finished = true;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        WritePages(stream, out, false);
      }
    }
  }
  WritePages(stream, out, true);
  fclose(out);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fputs("usage: bare_encode mp3-abr128|mp3-vbr70|ogg-q40 IN.wav OUT\n", stderr);
    return 2;
  }
  const ULONGLONG started = GetTickCount64();
  Input input;
  if (!OpenWave(argv[2], input)) return 1;
  std::wstring mode = argv[1];
  int result = mode == L"ogg-q40" ? EncodeOgg(input, argv[3]) : EncodeMp3(input, argv[3], mode == L"mp3-vbr70");
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
  printf("stats: %.3f s elapsed, peak working set %.1f MB, peak private %.1f MB\n", (GetTickCount64() - started) / 1000.0,
         memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);
  return result;
}
