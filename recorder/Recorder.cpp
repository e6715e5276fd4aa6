// Threads: the window's (start, stop, ticks, meter), the device callback, the capture worker (the sink below:
// silence, spooling, meter) and the encoder. Each shared flag has one writer; stop ends the capture before the
// encoder, and the encoder before the destination is closed.
#include "Recorder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "SilenceScan.h"
#include "SpoolRecord.h"
#include "SpoolRecovery.h"

namespace {

constexpr DWORD kEncoderPollMs = 500;

bool PlatformSpoolWriter(CTempFile& file, const void* data, DWORD size) { return file.Append(data, size) && file.Flush(); }
std::atomic<CRecorder::SpoolWriter> spoolWriter{&PlatformSpoolWriter};

}  // namespace

const WAVEFORMATEX CRecorder::kFormat = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};

void CRecorder::SetSpoolWriter(SpoolWriter writer) { spoolWriter.store(writer ? writer : &PlatformSpoolWriter); }

CRecorder::CRecorder(IRecorderEvents* recorderEvents) : events(recorderEvents) {}

CRecorder::~CRecorder() {
  if (recording) Stop();
  StopMonitor();
}

void CRecorder::Message(const wchar_t* text, const wchar_t* caption, UINT icon) {
  if (events) events->OnRecorderMessage(text, caption, icon);
}

bool CRecorder::StartMonitor(UINT device) {
  if (recording) return false;  // the capture is the recording's
  StopMonitor();
  capture = std::make_unique<CCapture>([this](const BYTE* data, UINT32 size) { OnMonitored(data, size); },
                                       [this](const wchar_t* text, const wchar_t* caption) { Message(text, caption); });
  if (capture->Open(device, kFormat, kMeterBytes)) return true;
  capture.reset();
  return false;
}

void CRecorder::StopMonitor() {
  if (!recording) capture.reset();
}

void CRecorder::OnMonitored(const BYTE* data, UINT32 size) {
  std::lock_guard<std::mutex> held(meterLock);
  std::memset(meter, 0, sizeof(meter));
  std::memcpy(meter, data, std::min<UINT32>(size, kMeterBytes));
  meterFresh = true;
}

bool CRecorder::MeterFrames(BYTE out[kMeterBytes]) const {
  std::lock_guard<std::mutex> held(meterLock);
  if (!recording) {
    if (!meterFresh) return false;
    std::memcpy(out, meter, kMeterBytes);
    return true;
  }
  // While recording the newest block (a second of audio) is walked through by the clock, so the meter moves
  // ten times a second although a block comes once a second.
  if (meterBlock.size() < kMeterBytes) return false;
  const ULONGLONG blockMs = meterBlock.size() * 1000ull / kFormat.nAvgBytesPerSec;
  ULONGLONG at = (GetTickCount64() % std::max<ULONGLONG>(blockMs, 1)) * kFormat.nAvgBytesPerSec / 1000;
  at -= at % kFormat.nBlockAlign;
  at = std::min<ULONGLONG>(at, meterBlock.size() - kMeterBytes);
  std::memcpy(out, meterBlock.data() + at, kMeterBytes);
  return true;
}

bool CRecorder::Start(UINT device, const std::wstring& outputPath, IConvertDestination* output, bool silenceOption,
                      int threshold) {
  if (recording || !output) return false;
  StopMonitor();
  totalBytes = 0;
  output->SetFileName(outputPath.c_str());
  output->SetFormat(&kFormat);
  if (!output->Open()) return false;
  spoolBase = outputPath;
  spool = std::make_unique<CTempFile>();
  if (FAILED(spool->Create(SpoolFileName(spoolBase, 0)))) {
    Message(L"Temp file cannot be created");
    output->Close();
    spool.reset();
    return false;
  }
  destination = output;
  destination->AddRef();
  paused = false;
  inSilence = false;
  silenceBytes = 0;
  stoppedBySilence = false;
  spoolBroken = false;
  detectSilence = silenceOption;
  skipSilence = silenceOption;
  silencePercent = std::clamp(threshold, 1, 21);
  sequence = 0;
  spoolSize = 0;
  encoderRunning = true;
  // Noted first, so that a crash from here on leaves the spool for the next start to recover.
  NoteInterruptibleRecording(spoolBase);
  recording = true;
  capture = std::make_unique<CCapture>([this](const BYTE* data, UINT32 size) { OnCaptured(data, size); },
                                       [this](const wchar_t* text, const wchar_t* caption) { Message(text, caption); });
  if (!capture->Open(device, kFormat, kBlockBytes)) {
    capture.reset();
    recording = false;
    encoderRunning = false;
    spool->CloseAndDelete();
    spool.reset();
    destination->Close();
    destination->Release();
    destination = nullptr;
    ForgetInterruptibleRecording();
    return false;
  }
  encoder = std::thread(&CRecorder::Encode, this);
  return true;
}

void CRecorder::OnCaptured(const BYTE* data, UINT32 size) {
  OnMonitored(data, size);
  if (!recording || paused || spoolBroken) return;
  const int limit = SilenceLimit(silencePercent);
  if (skipSilence) {
    const UINT32 leading = LeadingSilence(data, size, limit);
    if (leading >= size) return;
    data += leading;
    size -= leading;
    if (TrailingSilence(data, size, limit) >= size * 999 / 1000) return;
    skipSilence = false;
  }
  if (size == 0) return;
  if (size > kBlockBytes) {
    Message(L"UNEXCEPTED: Recording buffer too big");
    size = kBlockBytes;  // a capture buffer is one block: this does not happen
  }
  SpoolHeader header = {kSpoolMagic, sequence + 1, size, size, kSpoolAudio, 0};
  if (detectSilence) {
    const UINT32 trailing = TrailingSilence(data, size, limit);
    if (inSilence) {
      silenceBytes += trailing;
      if (trailing != size) {
        inSilence = false;
        silenceBytes = 0;
      }
    }
    if (!inSilence && trailing > size * 5 / 1000) {
      silenceBytes = trailing;
      silenceStartBlock = header.sequence;
      header.audible = size - trailing;
      inSilence = true;  // last: the encoder reads the block number once it sees the flag
    }
  }
  {
    std::lock_guard<std::mutex> held(meterLock);
    meterBlock.assign(data, data + size);
  }
  if (!Spool(header, data)) {
    // A spool that cannot be written (a full disk) ends the recording: what is spooled is still encoded.
    spoolBroken = true;
    if (events) events->OnStopWanted();
    return;
  }
  sequence = header.sequence;
  totalBytes += size;
}

bool CRecorder::Spool(const SpoolHeader& header, const BYTE* data) {
  std::vector<BYTE>& record = blockRecord;
  record.resize(sizeof(SpoolHeader) + header.length);
  std::memcpy(record.data(), &header, sizeof(header));
  std::memcpy(record.data() + sizeof(header), data, header.length);
  const auto recordBytes = static_cast<DWORD>(record.size());
  if (spoolSize <= kSpoolLimit) {
    if (!spoolWriter.load()(*spool, record.data(), recordBytes)) {
      Message(L"Cannot write recording buffer");
      return false;
    }
    spoolSize += recordBytes;
    return true;
  }
  // The block opens the next file; the current one ends with a record that names it.
  auto next = std::make_unique<CTempFile>();
  if (FAILED(next->Create(SpoolFileName(spoolBase, header.sequence))) ||
      !spoolWriter.load()(*next, record.data(), recordBytes)) {
    Message(L"Cannot write recording buffer (new)");
    if (next->IsOpen()) next->CloseAndDelete();
    return false;
  }
  SpoolChangeFile change = {};
  change.header = header;
  change.header.kind = kSpoolChangeFile;
  next->Path().copy(change.path, kSpoolPathChars - 1);
  if (!spoolWriter.load()(*spool, &change, sizeof(change))) {
    Message(L"Cannot write recording buffer (change file)");
    next->CloseAndDelete();
    return false;
  }
  spool->Close();
  spool = std::move(next);
  spoolSize = recordBytes;
  return true;
}

void CRecorder::Encode() {
  CTempFile input;
  if (!input.Open(SpoolFileName(spoolBase, 0))) {
    Message(L"Temp file cannot be opened for reading");
    return;
  }
  std::vector<BYTE> data;
  try {
    data.resize(kBlockBytes);
  } catch (...) {
    Message(L"Out of memory");
    return;
  }
  UINT32 expected = 1;
  bool cutAtSilence = false;
  // Reads exactly size bytes of the record at position; a record still being written is waited for.
  auto readWhole = [&](LONGLONG position, void* into, DWORD size) {
    for (;;) {
      DWORD got = 0;
      const bool running = encoderRunning;  // read before the file: a record written before the stop is seen
      if (input.Seek(position) && input.Read(into, size, &got) && got == size) return true;
      if (!running) return false;
      Sleep(kEncoderPollMs);
    }
  };
  for (;;) {
    const LONGLONG at = input.Position();
    SpoolHeader header = {};
    if (!readWhole(at, &header, sizeof(header))) break;  // capture has ended and the spool is drained
    if (inSilence && header.sequence >= silenceStartBlock) {
      // Whether the silence ends the recording is known only once the sound comes back or capture ends.
      while (inSilence && encoderRunning) Sleep(kEncoderPollMs);
      if (inSilence) cutAtSilence = true;
    }
    if (header.kind == kSpoolChangeFile) {
      wchar_t path[kSpoolPathChars] = {};
      if (!readWhole(at + sizeof(header), path, sizeof(path))) break;
      input.CloseAndDelete();
      path[kSpoolPathChars - 1] = L'\0';
      if (!input.Open(path)) {
        Message(L"Temp file cannot be opened for reading");
        return;
      }
      continue;
    }
    if (header.sequence != expected) {
      Message(L"Buffer lost");
      break;
    }
    if (header.length > data.size()) {
      Message(L"Buffer to small");
      break;
    }
    if (!readWhole(at + sizeof(header), data.data(), header.length)) break;
    UINT32 wanted = header.length;
    if (cutAtSilence) wanted = header.sequence == silenceStartBlock ? header.audible : 0;
    if (wanted > 0) destination->Write(wanted, data.data());
    // Marked as handed over, so that a recovery after a crash does not repeat it.
    const UINT32 encoded = kSpoolMagicEncoded;
    input.WriteAt(at, &encoded, sizeof(encoded));
    input.Seek(at + sizeof(header) + header.length);
    ++expected;
  }
  input.CloseAndDelete();
}

void CRecorder::OnStatusTick() {
  if (recording && inSilence && !stoppedBySilence && silenceBytes / kBlockBytes >= silenceStopSeconds) {
    stoppedBySilence = true;
    if (events) events->OnStopWanted();
  }
}

void CRecorder::Stop(void (*status)(void*, const wchar_t*), void* context) {
  if (!recording) return;
  auto say = [&](const wchar_t* text) {
    if (status) status(context, text);
  };
  say(L"Stopping");
  capture.reset();  // the capture worker has ended: no block is spooled after this
  recording = false;
  say(L"Waiting for encoding to finish");
  encoderRunning = false;
  if (encoder.joinable()) encoder.join();
  if (spool) spool->CloseAndDelete();
  spool.reset();
  {
    std::lock_guard<std::mutex> held(meterLock);
    meterBlock.clear();
    meterFresh = false;
  }
  say(L"Closing output file");
  destination->Close();
  destination->Release();
  destination = nullptr;
  ForgetInterruptibleRecording();
  say(L"Ready");
  if (stoppedBySilence)
    Message(L"Recording stopped because 5 minutes of silence were detected.", L"Note!", MB_ICONINFORMATION);
}
