// Three threads meet here: the caller (who returns at once), the worker (reads the source, queues slices and
// blocks on the free-slot count) and the device's completion callback (marks a slice played and gives its
// count back). Nothing is freed while the device may still hold a slice.
#include "Playback.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "AbiGuard.h"

namespace {

constexpr DWORD_PTR kQueued = 1, kPlayed = 2;
constexpr DWORD kSliceWaitMs = 10000;  // a device that gives nothing back for this long is reset
constexpr UINT32 kPrimeDivisor = 4;    // a quarter second is queued before the device starts

// The players of running playbacks by worker thread id, so that a caller can pause the one it started.
std::mutex playersLock;
std::map<DWORD, CPlayback*> players;

struct WorkerStart {
  IConvertSource* src;
  IPlaybackListener* listener;
};

DWORD WINAPI PlaybackWorker(void* parameter) {
  WorkerStart start = *static_cast<WorkerStart*>(parameter);
  delete static_cast<WorkerStart*>(parameter);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    CPlayback player;
    {
      std::lock_guard<std::mutex> held(playersLock);
      players[GetCurrentThreadId()] = &player;
    }
    start.src->SetStartTime(0);
    player.Play(start.src, start.listener);
    std::lock_guard<std::mutex> held(playersLock);
    players.erase(GetCurrentThreadId());
  }
  start.listener->OnFinished();
  start.src->Release();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace

CPlayback::~CPlayback() {
  CloseDevice();
  delete[] buffer;
  if (freeSlots) CloseHandle(freeSlots);
}

void CALLBACK CPlayback::DeviceDone(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WOM_DONE) return;
  // Only the finished header and the count are touched: no wave-output call is allowed in here.
  reinterpret_cast<WAVEHDR*>(param1)->dwUser = kPlayed;
  ReleaseSemaphore(reinterpret_cast<CPlayback*>(instance)->freeSlots, 1, nullptr);
}

HRESULT CPlayback::Play(IConvertSource* src, IPlaybackListener* playbackListener) {
  listener = playbackListener;
  if (!src->Open()) return E_FAIL;
  UINT32 size = 0;
  src->GetFormat(&format);
  src->GetDataSize(&size, -1, -1);
  const UINT32 seconds = format.nAvgBytesPerSec ? size / format.nAvgBytesPerSec : 0;
  totalMinutes = static_cast<int>(seconds / 60);
  totalSeconds = static_cast<int>(seconds % 60);
  const HRESULT answer = listener->OnProgress(0, 0, totalMinutes, totalSeconds);
  if (FAILED(answer)) {
    src->Close();
    return answer;
  }
  freeSlots = CreateSemaphoreW(nullptr, kSlices, kSlices, nullptr);
  buffer = new (std::nothrow) BYTE[kSlices * kSliceBytes];
  if (!freeSlots || !buffer ||
      waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&DeviceDone),
                  reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
    device = nullptr;
    src->Close();
    return S_OK;
  }
  // The device starts once some audio is queued: a decoder whose first block is tiny and whose second comes
  // late would otherwise leave the device empty, and it would fill the gap with silence.
  waveOutPause(device);
  priming = true;
  if (format.nBlockAlign > 0 && format.nBlockAlign <= sizeof(partial))
    sliceLimit = kSliceBytes - kSliceBytes % format.nBlockAlign;
  for (UINT32 i = 0; i < kSlices; ++i) {
    headers[i] = {};
    headers[i].lpData = reinterpret_cast<LPSTR>(buffer + i * kSliceBytes);
    headers[i].dwBufferLength = kSliceBytes;
  }
  src->ReadAll(this);
  src->Close();
  Resume();
  CloseDevice();
  return S_FALSE;  // 1: played
}

bool CPlayback::Queue(const BYTE* data, UINT32 size) {
  while (paused && !stopped) Sleep(50);
  if (stopped) return false;
  WaitForSingleObject(freeSlots, INFINITE);
  current = (current + 1) % kSlices;
  WAVEHDR& header = headers[current];
  if (header.dwUser == kPlayed) waveOutUnprepareHeader(device, &header, sizeof(header));
  std::memcpy(header.lpData, data, size);
  header.dwBufferLength = size;
  header.dwFlags = 0;
  header.dwUser = kQueued;
  if (waveOutPrepareHeader(device, &header, sizeof(header)) != MMSYSERR_NOERROR ||
      waveOutWrite(device, &header, sizeof(header)) != MMSYSERR_NOERROR) {
    // The device did not take the slice: its count comes back at once.
    header.dwUser = 0;
    ReleaseSemaphore(freeSlots, 1, nullptr);
    return true;
  }
  if (priming) {
    primedBytes += size;
    // Every slice taken also starts it: no count comes back from a device that does not play.
    if (++primedSlices >= kSlices || primedBytes >= format.nAvgBytesPerSec / kPrimeDivisor) Start();
  }
  return true;
}

void CPlayback::Start() {
  priming = false;
  if (!paused && device) waveOutRestart(device);
}

bool CPlayback::OnData(const void* data, UINT32 size) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  const UINT32 frame = std::max<UINT32>(1, format.nBlockAlign);
  UINT32 done = 0;
  if (partialBytes > 0) {
    // A frame the last block cut is completed from this one and queued on its own.
    const UINT32 take = std::min(frame - partialBytes, size);
    std::memcpy(partial + partialBytes, bytes, take);
    partialBytes += take;
    done = take;
    if (partialBytes == frame) {
      partialBytes = 0;
      if (!Queue(partial, frame)) return false;
    }
  }
  while (size - done >= frame) {
    const UINT32 whole = (size - done) / frame * frame;
    const UINT32 piece = std::min(sliceLimit, whole);
    if (!Queue(bytes + done, piece)) return false;
    done += piece;
  }
  if (done < size && frame <= sizeof(partial)) {
    partialBytes = size - done;
    std::memcpy(partial, bytes + done, partialBytes);
  }
  bytesPlayed += size;
  if (!format.nAvgBytesPerSec) return true;
  const unsigned long long seconds = bytesPlayed / format.nAvgBytesPerSec;
  const int minutes = static_cast<int>(seconds / 60), second = static_cast<int>(seconds % 60);
  if (minutes != lastMinutes || second != lastSeconds) {
    lastMinutes = minutes;
    lastSeconds = second;
    if (FAILED(listener->OnProgress(minutes, second, totalMinutes, totalSeconds))) return false;
  }
  return true;
}

void CPlayback::Pause() {
  InterlockedExchange(&paused, 1);
  if (device) waveOutPause(device);
}

void CPlayback::Resume() {
  priming = false;
  if (device) waveOutRestart(device);
  InterlockedExchange(&paused, 0);
}

void CPlayback::Stop() {
  InterlockedExchange(&stopped, 1);
  if (device) waveOutReset(device);
}

void CPlayback::WaitForSlices() {
  // Every count back means every slice played (or was returned by a reset).
  for (UINT32 taken = 0; taken < kSlices;) {
    if (WaitForSingleObject(freeSlots, kSliceWaitMs) == WAIT_OBJECT_0) {
      ++taken;
    } else {
      waveOutReset(device);
    }
  }
  ReleaseSemaphore(freeSlots, kSlices, nullptr);
}

void CPlayback::CloseDevice() {
  if (!device) return;
  WaitForSlices();
  for (WAVEHDR& header : headers)
    if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device, &header, sizeof(header));
  while (waveOutClose(device) == WAVERR_STILLPLAYING) Sleep(256);
  device = nullptr;
}

TAVCORE_API HANDLE WINAPI Playback(IConvertSource* src, IPlaybackListener* listener) {
  return GuardedCall<HANDLE>(nullptr, nullptr, [&]() -> HANDLE {
    if (!src || !listener) return nullptr;
    src->AddRef();
    auto* start = new WorkerStart{src, listener};
    HANDLE thread = CreateThread(nullptr, 0, PlaybackWorker, start, 0, nullptr);
    if (!thread) {
      delete start;
      src->Release();
    }
    return thread;
  });
}

TAVCORE_API BOOL WINAPI PlaybackControl(HANDLE playback, UINT command) {
  const DWORD id = playback ? GetThreadId(playback) : 0;
  std::lock_guard<std::mutex> held(playersLock);
  const auto found = players.find(id);
  if (found == players.end() || command > kPlaybackStop) return FALSE;
  if (command == kPlaybackPause) found->second->Pause();
  else if (command == kPlaybackResume) found->second->Resume();
  else found->second->Stop();
  return TRUE;
}
