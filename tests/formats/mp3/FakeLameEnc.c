/* A stand-in for the outside MP3 encoder library, for tests: it keeps the library's calling contract
   (record check, chunk length, output buffer size, stream handles) and logs every call with its arguments,
   the configuration record byte by byte, so a test can assert what the engine passed and in which order.
   The log goes to the file named by TAVREL_FAKE_LAME_LOG; TAVREL_FAKE_LAME_FAIL=init:N or encode:N makes
   that call return N. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
  unsigned channels;
  unsigned chunks;
} FakeStream;

static void LogLine(const char* text) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("TAVREL_FAKE_LAME_LOG", path, MAX_PATH)) return;
  FILE* log = fopen(path, "ab");
  if (!log) return;
  fputs(text, log);
  fputc('\n', log);
  fclose(log);
}

static unsigned long Failure(const char* call) {
  char setting[64];
  size_t length = strlen(call);
  if (!GetEnvironmentVariableA("TAVREL_FAKE_LAME_FAIL", setting, sizeof(setting))) return 0;
  if (strncmp(setting, call, length) != 0 || setting[length] != ':') return 0;
  return strtoul(setting + length + 1, NULL, 10);
}

__declspec(dllexport) unsigned long beInitStream(const unsigned char* config, DWORD* samples, DWORD* bufferSize,
                                                 void** stream) {
  char line[1024] = "init ";
  unsigned long failure = Failure("init");
  DWORD size;
  int i;
  memcpy(&size, config + 8, 4);
  for (i = 0; i < 331; ++i) sprintf(line + 5 + 2 * i, "%02x", config[i]);
  LogLine(line);
  if (failure) return failure;
  if (size != 331) return 4; /* the library's "invalid format parameters" */
  {
    FakeStream* fake = (FakeStream*)calloc(1, sizeof(FakeStream));
    int mode;
    memcpy(&mode, config + 20, 4);
    fake->channels = mode == 3 ? 1 : 2;
    *samples = 1152 * fake->channels;
    *bufferSize = 8640;
    *stream = fake;
  }
  return 0;
}

__declspec(dllexport) unsigned long beEncodeChunk(void* stream, DWORD count, const short* samples, BYTE* output,
                                                  DWORD* bytes) {
  char line[256];
  FakeStream* fake = (FakeStream*)stream;
  unsigned long failure = Failure("encode");
  sprintf(line, "encode %lu %p %d %d %d", (unsigned long)count, (const void*)samples, samples[0],
          count > 1 ? samples[1] : 0, samples[count - 1]);
  LogLine(line);
  if (failure) return failure;
  fake->chunks++;
  memcpy(output, "CHNK", 4);
  memcpy(output + 4, &count, 4);
  *bytes = 8;
  return 0;
}

__declspec(dllexport) unsigned long beDeinitStream(void* stream, BYTE* output, DWORD* bytes) {
  (void)stream;
  LogLine("deinit");
  memcpy(output, "TAIL", 4);
  *bytes = 4;
  return 0;
}

__declspec(dllexport) unsigned long beCloseStream(void* stream) {
  LogLine("close");
  free(stream);
  return 0;
}

#ifndef FAKE_WITHOUT_VBR_HEADER
__declspec(dllexport) unsigned long beWriteVBRHeader(const char* path) {
  char line[MAX_PATH + 16];
  sprintf(line, "vbrheader %s", path);
  LogLine(line);
  return 0;
}
#endif
