#include "Capture.h"

#include <new>

namespace {
const wchar_t kCaption[] = L"RecError";
constexpr DWORD_PTR kDone = 1;
// Buffers kept with the device: each holds a second, so a worker held up by a slow disk for up to three seconds
// loses nothing.
constexpr int kQueued = 4;
}  // namespace

void CALLBACK CCapture::DeviceDone(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WIM_DATA) return;
  // Only the buffer and the event are touched: no wave-input call is allowed in here.
  reinterpret_cast<WAVEHDR*>(param1)->dwUser = kDone;
  SetEvent(reinterpret_cast<CCapture*>(instance)->filled);
}

void CCapture::DeviceError(MMRESULT result) {
  wchar_t text[MAXERRORLENGTH] = {};
  if (waveInGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) swprintf(text, MAXERRORLENGTH, L"Error %u", result);
  report(text, kCaption);
}

bool CCapture::Open(UINT deviceNumber, const WAVEFORMATEX& format, UINT32 bytes) {
  bufferBytes = bytes;
  filled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!filled) return false;
  if (waveInOpen(&device, deviceNumber, &format, reinterpret_cast<DWORD_PTR>(&DeviceDone),
                 reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
    device = nullptr;
    return false;
  }
  for (int queued = 0; queued < kQueued; ++queued) {
    if (!QueueBuffer()) {
      Stop();
      return false;
    }
  }
  running = true;
  worker = std::thread(&CCapture::Work, this);
  return waveInStart(device) == MMSYSERR_NOERROR;
}

bool CCapture::QueueBuffer() {
  int slot = 0;
  while (slot < kSlots && slots[slot]) ++slot;
  if (slot == kSlots) {
    report(L"Buffer overflow", kCaption);
    return false;
  }
  auto* header = new (std::nothrow) WAVEHDR{};
  BYTE* data = header ? new (std::nothrow) BYTE[bufferBytes] : nullptr;
  if (!data) {
    delete header;
    report(L"Out of memory", kCaption);
    return false;
  }
  header->lpData = reinterpret_cast<LPSTR>(data);
  header->dwBufferLength = bufferBytes;
  MMRESULT result = waveInPrepareHeader(device, header, sizeof(*header));
  if (result == MMSYSERR_NOERROR) {
    result = waveInAddBuffer(device, header, sizeof(*header));
    if (result != MMSYSERR_NOERROR) waveInUnprepareHeader(device, header, sizeof(*header));
  }
  if (result != MMSYSERR_NOERROR) {
    delete[] data;
    delete header;
    DeviceError(result);
    return false;
  }
  slots[slot] = header;
  return true;
}

void CCapture::Work() {
  for (bool occupied = true; occupied;) {
    WaitForSingleObject(filled, 100);
    occupied = false;
    for (WAVEHDR*& header : slots) {
      if (!header) continue;
      if (header->dwUser != kDone) {
        occupied = true;
        continue;
      }
      if (header->dwBytesRecorded > 0) sink(reinterpret_cast<BYTE*>(header->lpData), header->dwBytesRecorded);
      const MMRESULT result = waveInUnprepareHeader(device, header, sizeof(*header));
      if (result != MMSYSERR_NOERROR) DeviceError(result);
      delete[] reinterpret_cast<BYTE*>(header->lpData);
      delete header;
      header = nullptr;
      if (running && !QueueBuffer()) running = false;
      occupied = occupied || running;
    }
    if (running) occupied = true;
  }
}

void CCapture::Stop() {
  running = false;
  if (device) {
    MMRESULT result = waveInStop(device);
    if (result != MMSYSERR_NOERROR) DeviceError(result);
    result = waveInReset(device);
    if (result != MMSYSERR_NOERROR) DeviceError(result);
  }
  if (worker.joinable()) worker.join();
  if (device) waveInClose(device);
  device = nullptr;
  if (filled) CloseHandle(filled);
  filled = nullptr;
}
