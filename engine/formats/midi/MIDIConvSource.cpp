// The MIDI source. Three threads meet here: the job's thread (plays, dispatches the sequencer's notification,
// reads the temporary file behind the writer and feeds the sink), the wave-input callback (marks a buffer
// recorded) and the writer (appends recorded buffers to the file and queues fresh ones). Nothing is freed
// while the device may still hold it.
#include "MIDIConvSource.h"

#include <algorithm>
#include <new>

#include "EngineResources.h"

namespace {

const wchar_t kHelp[] = L"https://www.quennet.com/tavrel/help/midi";
const wchar_t kNotifyClass[] = L"TavrelMidiNotify";
constexpr UINT32 kQueuedAtStart = 2;
constexpr DWORD kPollMs = 100;
// A device that has not given its buffers back this long after a reset never will.
constexpr DWORD kWriterWaitMs = 10000;

unsigned long code(UINT value) { return static_cast<unsigned long>(value); }

}  // namespace

CMIDIConvSource::~CMIDIConvSource() { Close(); }

bool CMIDIConvSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CMIDIConvSource;
  return true;
}

bool CMIDIConvSource::LogMci(const wchar_t* text, MCIERROR error) {
  LogError(text, code(error));
  wchar_t description[256] = {};
  if (mciGetErrorStringW(error, description, ARRAYSIZE(description)) && description[0]) LogInfo(L"%s", description);
  return false;
}

bool CMIDIConvSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  format = WAVEFORMATEX{};
  dataSize = 0;
  MCI_OPEN_PARMSW open = {};
  open.lpstrDeviceType = L"sequencer";
  open.lpstrElementName = fileName;
  MCIERROR error = sequencer.sendCommand(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                                         reinterpret_cast<DWORD_PTR>(&open));
  if (error) {
    Close();
    return LogMci(L"MIDI File cannot be opened (error %lX)", error);
  }
  device = open.wDeviceID;

  MCI_STATUS_PARMS status = {};
  status.dwItem = MCI_SEQ_STATUS_PORT;
  error = sequencer.sendCommand(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status));
  if (error) {
    Close();
    return LogMci(L"MIDI Status request failed (error %lX)", error);
  }
  if (startTimeMs > 0) LogInfo(L"Warning: Encoding specific portions of a MIDI is currently not supported");
  LogInfo(L"For help on converting MIDI files, please see: %s", AddReferer(kHelp));

  // The sequencer's own time format can be song pointers or SMPTE frames; the PCM size needs milliseconds.
  MCI_SET_PARMS timeFormat = {};
  timeFormat.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  error =
      sequencer.sendCommand(device, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&timeFormat));
  if (!error) {
    status = {};
    status.dwItem = MCI_STATUS_LENGTH;
    error = sequencer.sendCommand(device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&status));
  }
  if (error) {
    Close();
    return LogMci(L"MIDI Length Status request failed (error %lX)", error);
  }

  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kRate;
  format.nAvgBytesPerSec = kBytesPerSecond;
  format.nBlockAlign = 2;
  format.wBitsPerSample = 16;
  const unsigned long long frames = static_cast<unsigned long long>(status.dwReturn) * kRate / 1000;
  dataSize = static_cast<UINT32>(std::min<unsigned long long>(frames, 0xFFFFFFFFu / 2) * 2);
  lengthMs = status.dwReturn;
  return true;
}

bool CMIDIConvSource::Close() {
  CDefConvertSource::Close();
  if (device) {
    MCI_GENERIC_PARMS close = {};
    sequencer.sendCommand(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    device = 0;
  }
  return true;
}

void CMIDIConvSource::Report(std::wstring message) {
  std::lock_guard<std::mutex> held(messagesLock);
  reported.push_back(std::move(message));
}

void CMIDIConvSource::LogReported() {
  std::vector<std::wstring> messages;
  {
    std::lock_guard<std::mutex> held(messagesLock);
    messages.swap(reported);
  }
  for (const std::wstring& message : messages) LogError(L"%s", message.c_str());
}

bool CMIDIConvSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!sink) return false;
  failed = false;
  playEnded = false;
  bytesRead = 0;
  bytesWritten = 0;
  writerFailed = false;
  abandonWriter = false;
  const bool recorded = Record(sink);
  ReleaseRecording();
  LogReported();
  return recorded && !failed;
}

bool CMIDIConvSource::CreateTempFile() {
  wchar_t folder[MAX_PATH] = {};
  wchar_t name[MAX_PATH] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"mid", 0, name)) return false;
  tempPath = name;
  // Deleted by the system when the last handle closes, so that even a killed conversion leaves nothing behind.
  tempFile.Reset(CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             TRUNCATE_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!tempFile) {
    DeleteFileW(name);
    tempPath.clear();
    return false;
  }
  return true;
}

bool CMIDIConvSource::Record(IPlayCallback* sink) {
  if (!CreateTempFile()) {
    LogError(L"Temp file cannot be created");
    return false;
  }
  MMRESULT result = waveInOpen(&waveIn, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&InputDone),
                               reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (result != MMSYSERR_NOERROR) {
    waveIn = nullptr;
    LogError(L"Waveform-audio input device cannot be opened for recording (error %lX)", code(result));
    return false;
  }
  {
    std::lock_guard<std::mutex> held(lock);
    recording = true;
    for (UINT32 i = 0; i < kQueuedAtStart; ++i)
      if (!QueueBuffer()) return false;
  }
  bufferDone.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (bufferDone) writer.Reset(CreateThread(nullptr, 0, &WriterMain, this, 0, nullptr));
  if (!writer) {
    LogError(L"Out of memory");
    return false;
  }
  SetThreadPriority(writer.Get(), THREAD_PRIORITY_HIGHEST);
  result = waveInStart(waveIn);
  if (result != MMSYSERR_NOERROR) {
    LogError(L"Input on the device cannot be started (error %lX)", code(result));
    return false;
  }
  recordingStarted = true;

  // Without the window the end of the piece would never be heard of: the recording would end at once, empty.
  if (!CreateNotifyWindow()) {
    LogError(L"Notification window cannot be created");
    return false;
  }
  // Without a MIDI output the platform's sequencer takes the play, then neither plays nor reports an end: the
  // recording would never stop.
  if (sequencer.outputCount() == 0) return LogMci(L"MIDI Play request failed (error %lX)", MCIERR_SEQ_NOMIDIPRESENT);
  MCI_PLAY_PARMS play = {};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(window);
  const MCIERROR error = sequencer.sendCommand(device, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
  if (error) return LogMci(L"MIDI Play request failed (error %lX)", error);
  playing = true;

  tempReader.Reset(CreateFileW(tempPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
  if (!tempReader) {
    LogError(L"Temp file cannot be opened for reading");
    return false;
  }
  try {
    readBuffer.assign(format.nAvgBytesPerSec, 0);
  } catch (const std::bad_alloc&) {
    LogError(L"Out of memory");
    return false;
  }

  // A sequencer that never reports the end would record for ever: it gets the piece's length and a margin.
  const ULONGLONG deadline = GetTickCount64() + lengthMs + (endMarginMs ? endMarginMs : 10000 + lengthMs / 10);
  bool refused = false;
  while (recording) {
    DispatchNotifications();
    if (!playEnded && GetTickCount64() > deadline) {
      LogError(L"MIDI playing did not end in time (length %lu ms)", static_cast<unsigned long>(lengthMs));
      StopSequencer();
      failed = true;
      break;
    }
    if (playEnded) {
      if (endNotification != MCI_NOTIFY_SUCCESSFUL) {
        LogError(L"MIDI playing failed (notification %lX)", static_cast<unsigned long>(endNotification));
        failed = true;
      }
      break;
    }
    LogReported();
    if (writerFailed) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    if (!Feed(sink)) {
      refused = true;
      break;
    }
  }
  // The sequencer is stopped first, so that the recording holds nothing played after the refusal.
  if (refused && !StopSequencer()) failed = true;
  if (!StopRecording(true)) failed = true;
  if (refused || failed || writerFailed) return false;
  // What the device handed back at the stop is on file only now.
  return Feed(sink) && !failed;
}

bool CMIDIConvSource::QueueBuffer() {
  UINT32 index = 0;
  while (index < kSlots && slots[index].data) ++index;
  if (index == kSlots) {
    Report(L"Buffer overflow");
    return false;
  }
  Slot& slot = slots[index];
  slot.data = new (std::nothrow) BYTE[format.nAvgBytesPerSec];
  if (!slot.data) {
    Report(L"Out of memory");
    return false;
  }
  slot.header = {};
  slot.header.lpData = reinterpret_cast<LPSTR>(slot.data);
  slot.header.dwBufferLength = format.nAvgBytesPerSec;
  slot.header.dwUser = index;
  InterlockedExchange(&slotDone[index], 0);
  MMRESULT result = waveInPrepareHeader(waveIn, &slot.header, sizeof(slot.header));
  if (result != MMSYSERR_NOERROR) {
    Report(FormatText(kMessageCapacity, L"Header prepare failed (error %lX)", code(result)));
    delete[] slot.data;
    slot.data = nullptr;
    return false;
  }
  result = waveInAddBuffer(waveIn, &slot.header, sizeof(slot.header));
  if (result != MMSYSERR_NOERROR) {
    Report(FormatText(kMessageCapacity, L"Add input buffer failed (error %lX)", code(result)));
    waveInUnprepareHeader(waveIn, &slot.header, sizeof(slot.header));
    delete[] slot.data;
    slot.data = nullptr;
    return false;
  }
  outstanding.push_back(index);
  return true;
}

void CMIDIConvSource::ReleaseBuffer(WAVEHDR* header) {
  UINT32 index = 0;
  while (index < kSlots && &slots[index].header != header) ++index;
  if (index == kSlots || !slots[index].data) {
    Report(L"Buffer not found");
    return;
  }
  const MMRESULT result = waveInUnprepareHeader(waveIn, header, sizeof(*header));
  if (result != MMSYSERR_NOERROR) {
    // The device may still write into it: kept rather than freed.
    Report(FormatText(kMessageCapacity, L"Header unprepare failed (error %lX)", code(result)));
    return;
  }
  delete[] slots[index].data;
  slots[index].data = nullptr;
  InterlockedExchange(&slotDone[index], 0);
}

void CALLBACK CMIDIConvSource::InputDone(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  if (message != WIM_DATA) return;
  // No wave-input call is allowed in here: the header is marked and the writer woken.
  auto* self = reinterpret_cast<CMIDIConvSource*>(instance);
  const DWORD_PTR index = reinterpret_cast<WAVEHDR*>(param1)->dwUser;
  if (index < kSlots) InterlockedExchange(&self->slotDone[index], 1);
  SetEvent(self->bufferDone.Get());
}

DWORD WINAPI CMIDIConvSource::WriterMain(void* self) {
  static_cast<CMIDIConvSource*>(self)->WriteDoneBuffers();
  return 0;
}

void CMIDIConvSource::WriteDoneBuffers() {
  for (;;) {
    {
      std::lock_guard<std::mutex> held(lock);
      if (outstanding.empty()) return;
    }
    WaitForSingleObject(bufferDone.Get(), INFINITE);
    if (abandonWriter) return;
    // The device fills its buffers in the order they were queued: the file keeps that order.
    for (;;) {
      UINT32 index;
      {
        std::lock_guard<std::mutex> held(lock);
        if (outstanding.empty() || !slotDone[outstanding.front()]) break;
        index = outstanding.front();
        outstanding.pop_front();
      }
      WAVEHDR& header = slots[index].header;
      const DWORD recorded = std::min(header.dwBytesRecorded, header.dwBufferLength);
      if (recorded && !writerFailed) {
        DWORD written = 0;
        if (WriteFile(tempFile.Get(), header.lpData, recorded, &written, nullptr) && written == recorded &&
            FlushFileBuffers(tempFile.Get())) {
          bytesWritten += recorded;
        } else {
          Report(L"Temp file cannot be written");
          writerFailed = true;
        }
      }
      ReleaseBuffer(&header);
      std::lock_guard<std::mutex> held(lock);
      if (recording && !writerFailed && !QueueBuffer()) writerFailed = true;
    }
  }
}

LRESULT CALLBACK CMIDIConvSource::NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == MM_MCINOTIFY) {
    auto* self = reinterpret_cast<CMIDIConvSource*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && static_cast<MCIDEVICEID>(lParam) == self->device && self->playing) {
      self->playing = false;
      self->playEnded = true;
      self->endNotification = wParam;
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool CMIDIConvSource::CreateNotifyWindow() {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &NotifyProc;
  windowClass.hInstance = EngineModule();
  windowClass.lpszClassName = kNotifyClass;
  RegisterClassW(&windowClass);  // fails harmlessly once the class exists
  window = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, EngineModule(), this);
  return window != nullptr;
}

void CMIDIConvSource::DispatchNotifications() {
  MSG message;
  while (window && PeekMessageW(&message, window, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool CMIDIConvSource::Feed(IPlayCallback* sink) {
  const unsigned long long available = bytesWritten;
  const UINT32 align = format.nBlockAlign;
  while (available - bytesRead >= align) {
    UINT32 block = static_cast<UINT32>(std::min<unsigned long long>(readBuffer.size(), available - bytesRead));
    block -= block % align;
    DWORD got = 0;
    if (!ReadFile(tempReader.Get(), readBuffer.data(), block, &got, nullptr) || got != block) {
      LogError(L"Temp file cannot be read");
      failed = true;
      return false;
    }
    bytesRead += got;
    if (!sink->OnData(readBuffer.data(), got)) return false;
  }
  return true;
}

bool CMIDIConvSource::StopSequencer() {
  playing = false;
  MCI_GENERIC_PARMS stop = {};
  const MCIERROR error = sequencer.sendCommand(device, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&stop));
  if (error) return LogMci(L"MIDI Stop request failed (error %lX)", error);
  return true;
}

bool CMIDIConvSource::StopRecording(bool requested) {
  {
    std::lock_guard<std::mutex> held(lock);
    recording = false;
  }
  bool ok = true;
  if (!recordingStarted && requested) {
    LogError(L"Recording not started");
    ok = false;
  }
  if (!waveIn) return ok;
  MMRESULT result;
  if (recordingStarted && (result = waveInStop(waveIn)) != MMSYSERR_NOERROR) {
    LogError(L"Device stop failed (error %lX)", code(result));
    ok = false;
  }
  recordingStarted = false;
  // The reset hands every queued buffer back, so that the writer sees its last one and ends.
  result = waveInReset(waveIn);
  if (result != MMSYSERR_NOERROR) {
    LogError(L"Device reset failed (error %lX)", code(result));
    ok = false;
  }
  EndWriter();
  // Buffers the writer never saw (it may not have started) are returned by now; unpreparing needs the device.
  for (Slot& slot : slots)
    if (slot.data && !(slot.header.dwFlags & WHDR_INQUEUE)) ReleaseBuffer(&slot.header);
  LogReported();
  result = waveInClose(waveIn);
  if (result != MMSYSERR_NOERROR) {
    LogError(L"Device close failed (error %lX)", code(result));
    ok = false;
  }
  // A buffer still queued after a failed close belongs to the device for good: it is left allocated.
  for (Slot& slot : slots) {
    if (result == MMSYSERR_NOERROR) delete[] slot.data;
    slot = Slot{};
  }
  {
    std::lock_guard<std::mutex> held(lock);
    outstanding.clear();
  }
  waveIn = nullptr;
  return ok;
}

void CMIDIConvSource::EndWriter() {
  if (!writer) return;
  if (WaitForSingleObject(writer.Get(), kWriterWaitMs) != WAIT_OBJECT_0) {
    LogError(L"Device reset failed (error %lX)", code(WAVERR_STILLPLAYING));
    failed = true;
    abandonWriter = true;
    SetEvent(bufferDone.Get());
    WaitForSingleObject(writer.Get(), INFINITE);
  }
  writer.Reset();
}

void CMIDIConvSource::ReleaseRecording() {
  if (playing && !StopSequencer()) failed = true;
  if (waveIn && !StopRecording(false)) failed = true;
  if (window) {
    // A stop posts the aborted notification of the play: it goes with the window.
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
    }
    DestroyWindow(window);
    window = nullptr;
  }
  readBuffer.clear();
  readBuffer.shrink_to_fit();
  bufferDone.Reset();
  tempReader.Reset();
  tempFile.Reset();
  if (!tempPath.empty()) {
    DeleteFileW(tempPath.c_str());
    tempPath.clear();
  }
}
