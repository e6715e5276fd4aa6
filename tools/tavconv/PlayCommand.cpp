// Before a file plays, the converter asks the device whether it takes the file's format, so that a missing
// device or an unplayable format is named instead of ending in silence.
#include "PlayCommand.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>

#include "ConsoleCommands.h"
#include "ConsoleText.h"
#include "tavcore.h"

namespace {

class ConsoleListener : public IPlaybackListener {
 public:
  ConsoleListener(std::wstring name, bool live) : name(std::move(name)), live(live) {}
  HRESULT STDMETHODCALLTYPE OnProgress(int minutes, int seconds, int totalMinutes, int totalSeconds) override {
    wchar_t line[64];
    std::swprintf(line, 64, L"%02d:%02d / %02d:%02d", minutes, seconds, totalMinutes, totalSeconds);
    position = line;
    if (live) WriteText(stdout, L"\r" + name + L"  " + position + L"   ");
    return stop ? E_ABORT : S_OK;
  }
  void STDMETHODCALLTYPE OnFinished() override {}

  std::wstring name;
  bool live;
  std::wstring position;
  std::atomic<bool> stop{false};
};

// The file's PCM format, or the reason it cannot be played.
std::wstring CheckPlayable(IConvertSource* source) {
  if (!source->Open()) return L"the file cannot be read";
  WAVEFORMATEX format = {};
  source->GetFormat(&format);
  source->Close();
  if (waveOutGetNumDevs() == 0) return L"there is no sound output device";
  const MMRESULT result = waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY);
  if (result == MMSYSERR_NOERROR) return {};
  wchar_t reason[160];
  std::swprintf(reason, 160, L"the sound device cannot play %u Hz, %u bits, %u channels (error %u)",
                static_cast<unsigned>(format.nSamplesPerSec), format.wBitsPerSample, format.nChannels, result);
  return reason;
}

// Space pauses and resumes, q stops; only when the input is a console.
void HandleKeys(HANDLE playback, ConsoleListener& listener, HANDLE input, bool& paused) {
  DWORD count = 0;
  while (GetNumberOfConsoleInputEvents(input, &count) && count > 0) {
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) return;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    const wchar_t key = record.Event.KeyEvent.uChar.UnicodeChar;
    if (key == L' ') {
      paused = !paused;
      PlaybackControl(playback, paused ? kPlaybackPause : kPlaybackResume);
    } else if (key == L'q' || key == L'Q') {
      listener.stop = true;
      PlaybackControl(playback, kPlaybackStop);
    }
  }
}

}  // namespace

int PlayFiles(const std::vector<std::wstring>& files) {
  if (files.empty()) return UsageError(L"play takes one or more files");
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool console = GetConsoleMode(input, &mode) != 0;
  const bool live = IsTerminal(stdout);
  int failed = 0;
  for (const std::wstring& file : files) {
    CONVFORMAT row;
    IConvertSource* source = nullptr;
    if (ConvGetFormatOf(&row, file.c_str()) != S_OK || ConvCreateSource(&row, &source) != S_OK || !source) {
      WriteText(stderr, L"error: " + file + L": the format cannot be read\n");
      ++failed;
      continue;
    }
    std::wstring problem = source->SetFileName(file.c_str()) ? CheckPlayable(source) : L"the path is too long";
    if (!problem.empty()) {
      WriteText(stderr, L"error: " + file + L": " + problem + L"\n");
      source->Release();
      ++failed;
      continue;
    }
    ConsoleListener listener(file, live);
    HANDLE playback = Playback(source, &listener);
    source->Release();
    if (!playback) {
      WriteText(stderr, L"error: " + file + L": the playback cannot be started\n");
      ++failed;
      continue;
    }
    bool paused = false;
    while (WaitForSingleObject(playback, 100) == WAIT_TIMEOUT)
      if (console) HandleKeys(playback, listener, input, paused);
    CloseHandle(playback);
    WriteText(stdout, (live ? L"\r" : L"") + std::wstring(L"Played ") + file + L"  " + listener.position +
                          (listener.stop ? L"  (stopped)" : L"") + L"\n");
    if (listener.stop) break;
  }
  return failed ? 1 : 0;
}
