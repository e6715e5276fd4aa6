// CCapture: one capture run of a wave-input device. Ten buffer slots; the device's completion callback only
// marks a buffer done and wakes the worker, which hands the data to the sink and queues the next buffer.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <functional>
#include <thread>

class CCapture {
 public:
  using Sink = std::function<void(const BYTE* data, UINT32 size)>;
  // A message for the user (text, caption): device errors, and no free slot or memory.
  using Report = std::function<void(const wchar_t* text, const wchar_t* caption)>;
  static constexpr int kSlots = 10;

  CCapture(Sink sink, Report report) : sink(std::move(sink)), report(std::move(report)) {}
  ~CCapture() { Stop(); }
  CCapture(const CCapture&) = delete;
  CCapture& operator=(const CCapture&) = delete;

  bool Open(UINT device, const WAVEFORMATEX& format, UINT32 bufferBytes);
  // Stops the device, waits until every buffer it returns has been handled, and closes it.
  void Stop();

 private:
  static void CALLBACK DeviceDone(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR);
  bool QueueBuffer();
  void Work();
  void DeviceError(MMRESULT result);

  Sink sink;
  Report report;
  UINT32 bufferBytes = 0;
  volatile bool running = false;
  WAVEHDR* slots[kSlots] = {};
  HWAVEIN device = nullptr;
  HANDLE filled = nullptr;
  std::thread worker;
};
