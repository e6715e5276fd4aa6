// CRecorder: the recording engine of voxcap. Captured blocks are appended to spool files on disk by the capture
// thread; an encoder thread reads them back behind it and feeds the output's destination, so a slow encoder only
// makes the spool grow. Between recordings the same capture runs as a monitor that only feeds the level meter.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Capture.h"
#include "SpoolRecord.h"
#include "TempFile.h"
#include "tavcore.h"

// What the recorder tells its window. Called on the capture or encoder thread: the window shows boxes and stops
// the recording on its own thread.
class IRecorderEvents {
 public:
  // A message for the user: text, caption and icon (MB_ICONERROR, MB_ICONINFORMATION, ...).
  virtual void OnRecorderMessage(const std::wstring& text, const std::wstring& caption, UINT icon) = 0;
  // The recording must stop: five minutes of silence, or the spool cannot be written.
  virtual void OnStopWanted() = 0;

 protected:
  ~IRecorderEvents() = default;
};

class CRecorder {
 public:
  // Always this format: CD-quality stereo, one second per capture buffer.
  static const WAVEFORMATEX kFormat;
  static constexpr UINT32 kBlockBytes = 176400;
  static constexpr UINT32 kMeterBytes = 8192;
  static constexpr UINT32 kSpoolLimit = 0x13FFFFF;  // a spool file past this size is followed by the next one
  static constexpr UINT32 kSilenceStopSeconds = 300;

  explicit CRecorder(IRecorderEvents* events);
  ~CRecorder();
  CRecorder(const CRecorder&) = delete;
  CRecorder& operator=(const CRecorder&) = delete;

  // The monitor: capture into the meter buffer only. Started again after every recording.
  bool StartMonitor(UINT device);
  void StopMonitor();

  // Starts recording from the device into the destination (which gets outputPath and the recording format and
  // is opened here). silenceOption skips the silence before the sound, cuts it at the end and stops after
  // five minutes of it; silencePercent (1 to 21) is the level under which a sample counts as silent.
  bool Start(UINT device, const std::wstring& outputPath, IConvertDestination* destination, bool silenceOption,
             int silencePercent);
  // Stops capture, waits until the encoder has drained the spool, closes the destination. status receives
  // "Stopping", "Waiting for encoding to finish" and "Closing output file" as it goes.
  void Stop(void (*status)(void* context, const wchar_t* text) = nullptr, void* context = nullptr);
  void TogglePause() { paused = !paused; }

  // The window's 500 ms tick while recording: asks for the stop after five minutes of silence.
  void OnStatusTick();

  bool IsRecording() const { return recording; }
  bool IsPaused() const { return paused; }
  bool IsSkippingSilence() const { return skipSilence; }
  bool InSilence() const { return inSilence; }
  bool StoppedBySilence() const { return stoppedBySilence; }
  ULONGLONG TotalBytes() const { return totalBytes; }
  // The 2048 frames the level meter shows now; false when there is nothing new to show.
  bool MeterFrames(BYTE out[kMeterBytes]) const;

  // Test seams: a shorter silence limit, and the spool's writes (a full disk).
  void SetSilenceStopSeconds(UINT32 seconds) { silenceStopSeconds = seconds; }
  using SpoolWriter = bool (*)(CTempFile& file, const void* data, DWORD size);
  static void SetSpoolWriter(SpoolWriter writer);

 private:
  void OnCaptured(const BYTE* data, UINT32 size);
  void OnMonitored(const BYTE* data, UINT32 size);
  // Appends a block to the spool, opening the next file past the size limit; false when it cannot be written.
  bool Spool(const SpoolHeader& header, const BYTE* data);
  void Encode();
  void Message(const wchar_t* text, const wchar_t* caption = L"", UINT icon = MB_ICONERROR);

  IRecorderEvents* events;
  std::unique_ptr<CCapture> capture;
  IConvertDestination* destination = nullptr;
  std::wstring spoolBase;
  std::unique_ptr<CTempFile> spool;  // written by the capture thread
  LONGLONG spoolSize = 0;
  std::vector<BYTE> blockRecord;     // header and audio of the block being spooled
  std::thread encoder;
  std::atomic<bool> encoderRunning{false};  // capture still adds blocks for the encoder to wait for

  std::atomic<bool> recording{false}, paused{false}, skipSilence{false}, detectSilence{false}, inSilence{false};
  std::atomic<bool> stoppedBySilence{false}, spoolBroken{false};
  std::atomic<UINT64> silenceBytes{0}, totalBytes{0};
  std::atomic<UINT32> silenceStartBlock{0}, sequence{0};
  int silencePercent = 1;
  UINT32 silenceStopSeconds = kSilenceStopSeconds;

  mutable std::mutex meterLock;
  BYTE meter[kMeterBytes] = {};
  bool meterFresh = false;
  std::vector<BYTE> meterBlock;  // the newest recorded block
};
