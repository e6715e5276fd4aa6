// A recorder that records until it is killed, as a crash would end it: WAV output, written slowly so that the
// spool holds blocks the output has not had yet. Usage: recording_victim OUTPUT
#include <windows.h>

#include <cstdio>

#include "Recorder.h"
#include "TappedDestination.h"

namespace {
struct Quiet : IRecorderEvents {
  void OnRecorderMessage(const std::wstring& text, const std::wstring&, UINT) override {
    std::fwprintf(stderr, L"%ls\n", text.c_str());
  }
  void OnStopWanted() override {}
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  InitAC(L"TAVTEST", nullptr);
  Quiet events;
  TappedDestination destination(L"Wave", 400);
  CRecorder recorder(&events);
  if (!destination.inner || !recorder.Start(WAVE_MAPPER, argv[1], &destination, false, 1)) return 1;
  for (;;) Sleep(1000);
}
