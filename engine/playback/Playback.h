// Plays a source's PCM on the default wave-output device: the player is the source's sink, and queues what it
// gets in 32 slices of 16384 bytes, so decoding runs at most half a megabyte ahead of the sound.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "tavcore.h"

class CPlayback : public IPlayCallback {
 public:
  static constexpr UINT32 kSlices = 32;
  static constexpr UINT32 kSliceBytes = 16384;

  CPlayback() = default;
  ~CPlayback();
  CPlayback(const CPlayback&) = delete;
  CPlayback& operator=(const CPlayback&) = delete;

  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override;
  // 0x80004005 when the source cannot be opened, 0 when the device cannot be opened, 1 after playing.
  virtual HRESULT Play(IConvertSource* src, IPlaybackListener* listener);
  // The device holds the queued slices while paused, so nothing is lost and the position stays.
  virtual void Pause();
  virtual void Resume();
  // Ends the playback early: the source stops and what is queued is dropped.
  void Stop();

 private:
  static void CALLBACK DeviceDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
  // Waits until the device has given back every slice; resets it when it stops giving them back.
  void WaitForSlices();
  void CloseDevice();
  // Queues one piece of whole frames.
  bool Queue(const BYTE* data, UINT32 size);
  // Lets the device play what was queued while it was held at the start.
  void Start();

  WAVEFORMATEX format = {};
  HWAVEOUT device = nullptr;
  WAVEHDR headers[kSlices] = {};
  UINT32 current = kSlices - 1;
  BYTE* buffer = nullptr;
  HANDLE freeSlots = nullptr;
  volatile LONG paused = 0;
  volatile LONG stopped = 0;
  IPlaybackListener* listener = nullptr;
  unsigned long long bytesPlayed = 0;
  UINT32 sliceLimit = kSliceBytes;  // whole frames: a device drops the part of a frame that ends a buffer
  BYTE partial[64] = {};            // the start of a frame that the last block cut
  UINT32 partialBytes = 0;
  int lastMinutes = 0, lastSeconds = 0;
  int totalMinutes = 0, totalSeconds = 0;
  bool priming = false;  // the device is held until a quarter second (or every slice) is queued
  UINT32 primedBytes = 0, primedSlices = 0;
};
