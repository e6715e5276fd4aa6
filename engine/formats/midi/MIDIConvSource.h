// Turns a MIDI file into PCM by playing it through the MCI sequencer while recording the sound card's input.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "DefConvertSource.h"
#include "UniqueHandles.h"

// How the source reaches the sequencer: mciSendCommandW and midiOutGetNumDevs, or stand-ins where no MIDI
// device exists.
struct MidiSequencer {
  MCIERROR(WINAPI* sendCommand)(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters);
  UINT(WINAPI* outputCount)();
};

class CMIDIConvSource : public CDefConvertSource {
 public:
  static constexpr UINT32 kSlots = 10;
  static constexpr DWORD kRate = 44100;
  static constexpr DWORD kBytesPerSecond = kRate * 2;

  ~CMIDIConvSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  // Plays the whole piece in real time; returns when the sequencer reports its end or the sink refuses.
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;

  static IConvertSource* Create() { return new CMIDIConvSource({&mciSendCommandW, &midiOutGetNumDevs}); }
  static CMIDIConvSource* CreateWithSequencer(const MidiSequencer& calls) { return new CMIDIConvSource(calls); }
  // How long after the piece's length the recording still waits for the sequencer's end; 0: ten seconds and a
  // tenth of the length.
  void SetEndMargin(DWORD milliseconds) { endMarginMs = milliseconds; }

 private:
  explicit CMIDIConvSource(const MidiSequencer& calls) : sequencer(calls) {}

  struct Slot {
    WAVEHDR header = {};
    BYTE* data = nullptr;
  };

  bool Record(IPlayCallback* sink);
  bool CreateTempFile();
  // Called with `lock` held (or before the writer runs). Reports its own failure.
  bool QueueBuffer();
  void ReleaseBuffer(WAVEHDR* header);
  void WriteDoneBuffers();
  static DWORD WINAPI WriterMain(void* self);
  static void CALLBACK InputDone(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR);
  static LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateNotifyWindow();
  void DispatchNotifications();
  // Hands what the writer has completed to the sink; false when the sink refused or the file failed.
  bool Feed(IPlayCallback* sink);
  bool StopSequencer();
  bool StopRecording(bool requested);
  void EndWriter();
  void ReleaseRecording();
  // Messages of the writer thread wait here until the job's thread logs them: the callback is not thread-safe.
  void Report(std::wstring message);
  void LogReported();
  bool LogMci(const wchar_t* format, MCIERROR error);

  MidiSequencer sequencer;
  MCIDEVICEID device = 0;
  HWAVEIN waveIn = nullptr;
  Slot slots[kSlots];
  volatile LONG slotDone[kSlots] = {};
  std::deque<UINT32> outstanding;  // slots the device holds, in the order it fills them
  std::wstring tempPath;
  UniqueFile tempFile;  // the writer's handle; deleted when the last handle closes
  UniqueFile tempReader;
  UniqueHandle bufferDone;
  UniqueHandle writer;
  HWND window = nullptr;
  std::vector<BYTE> readBuffer;

  // Guards `outstanding` and `recording`: a buffer queued after the device was reset would never
  // come back.
  std::mutex lock;
  bool recording = false;
  bool recordingStarted = false;
  bool playing = false;
  std::mutex messagesLock;
  std::vector<std::wstring> reported;
  std::atomic<bool> writerFailed{false};
  std::atomic<bool> abandonWriter{false};
  std::atomic<unsigned long long> bytesWritten{0};
  unsigned long long bytesRead = 0;
  bool playEnded = false;
  WPARAM endNotification = 0;
  bool failed = false;
  DWORD lengthMs = 0;
  DWORD endMarginMs = 0;
};
