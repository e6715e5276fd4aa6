#include "BurnJob.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "RedBookDest.h"

namespace {

constexpr long kSectorBytes = 2352;
constexpr size_t kPieceBytes = 32 * kSectorBytes;
constexpr long kTrackGapBlocks = 150;  // track-at-once recording puts two seconds before every later track
constexpr DWORD kCdBytesPerSecond = 176400;

void LogFormatted(IConvertCallback* callback, const wchar_t* style, const wchar_t* format, ...) {
  wchar_t text[512];
  va_list args;
  va_start(args, format);
  vswprintf(text, 512, format, args);
  va_end(args);
  callback->LogStyled(text, style);
}

unsigned long Hex(HRESULT hr) { return static_cast<unsigned long>(hr); }

void DispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Swallows what a source reports while it is only measured: the conversion reports it again.
class CSilentCallback : public IConvertCallback {
 public:
  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t*) override { return FALSE; }
  void STDMETHODCALLTYPE Log(const wchar_t*) override {}
  void STDMETHODCALLTYPE LogStyled(const wchar_t*, const wchar_t*) override {}
  void STDMETHODCALLTYPE SetProgressRange(int) override {}
  void STDMETHODCALLTYPE SetProgressPos(int) override {}
  void STDMETHODCALLTYPE StepProgress(int) override {}
  void STDMETHODCALLTYPE SetStatusText(const wchar_t*) override {}
  BOOL STDMETHODCALLTYPE IsCancelled() override { return FALSE; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t*, BOOL) override {}
};

// Whole CD sectors the source yields at least (0 when it cannot be measured; its conversion will say why).
// Rounded down and one sector short for converted formats, so only lists that surely do not fit are refused.
long MinimumSectors(IConvertSource* source) {
  CSilentCallback silent;
  source->SetCallback(&silent);
  long sectors = 0;
  if (source->Open()) {
    WAVEFORMATEX format = {};
    UINT32 bytes = 0;
    if (source->GetFormat(&format) && source->GetDataSize(&bytes, -1, -1) && format.nAvgBytesPerSec) {
      const unsigned long long cdBytes =
          static_cast<unsigned long long>(bytes) * kCdBytesPerSecond / format.nAvgBytesPerSec;
      sectors = static_cast<long>(cdBytes / kSectorBytes);
      if (format.nAvgBytesPerSec != kCdBytesPerSecond && sectors > 0) --sectors;
    }
    source->Close();
  }
  source->SetCallback(nullptr);
  return sectors;
}

// Hands the staging file to the open track in pieces of 32 sectors; the last piece is padded with silence
// to a whole sector rather than losing its samples.
BurnOutcome AddBlocks(IRedbookDiscMaster* redbook, FILE* staging, IConvertCallback* callback) {
  std::vector<byte> piece(kPieceBytes);
  for (;;) {
    if (callback->IsCancelled()) return BurnOutcome::Cancelled;
    const size_t got = fread(piece.data(), 1, kPieceBytes, staging);
    if (got == 0) break;
    const size_t whole = (got + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
    std::fill(piece.begin() + static_cast<std::ptrdiff_t>(got), piece.begin() + static_cast<std::ptrdiff_t>(whole), 0);
    const HRESULT hr = redbook->AddAudioTrackBlocks(piece.data(), static_cast<long>(whole));
    if (hr == IMAPI_E_DISCFULL) {
      // A truncated last track is no faithful disc: nothing is recorded.
      callback->LogStyled(L"The disc is full, audio blocks skipped\n", L"i");
      return BurnOutcome::Failed;
    }
    if (FAILED(hr)) {
      LogFormatted(callback, L"e", L"Adding audio track block failed (hr=%lX)\n", Hex(hr));
      return BurnOutcome::Failed;
    }
    if (got < kPieceBytes) break;
  }
  if (ferror(staging)) {
    callback->LogStyled(L"Staging file cannot be read\n", L"e");
    return BurnOutcome::Failed;
  }
  return BurnOutcome::Completed;
}

BurnOutcome StageTrack(IRedbookDiscMaster* redbook, const BurnEntry& entry, IConvertCallback* callback) {
  wchar_t name[MAX_PATH] = {};
  if (!entry.source->GetFileName(name, MAX_PATH)) wcsncpy(name, entry.path.c_str(), MAX_PATH - 1);
  LogFormatted(callback, L"", L"%ls\n", name);

  HRESULT hr = redbook->CreateAudioTrack(0);
  if (FAILED(hr)) {
    LogFormatted(callback, L"e", L"Audio track creation failed (hr=%lX)\n", Hex(hr));
    callback->LogStyled(L"This error usually occurs if the disc is not writeable.\n", L"i");
    return BurnOutcome::Failed;
  }
  CRedBookDest destination;  // its staging file goes with it
  hr = AudioConvert(entry.source, &destination, callback, nullptr, nullptr, -1, -1);
  if (callback->IsCancelled()) return BurnOutcome::Cancelled;
  // A track that did not convert whole must not be burnt in part; the engine has logged why.
  if (FAILED(hr)) return BurnOutcome::Failed;
  if (!destination.StagingFile()) {
    callback->LogStyled(L"Staging file cannot be created\n", L"e");
    return BurnOutcome::Failed;
  }
  callback->SetCurrentFile(L"Adding blocks...", FALSE);
  const BurnOutcome added = AddBlocks(redbook, destination.StagingFile(), callback);
  if (added != BurnOutcome::Completed) return added;
  hr = redbook->CloseAudioTrack();
  if (FAILED(hr)) {
    LogFormatted(callback, L"e", L"Closing audio track failed (hr=%lX)\n", Hex(hr));
    return BurnOutcome::Failed;
  }
  return BurnOutcome::Completed;
}

}  // namespace

BurnJob::~BurnJob() {
  for (BurnEntry& entry : entries)
    if (entry.source) entry.source->Release();
}

HRESULT BurnJob::AddFile(const std::wstring& path) {
  CONVFORMAT format = {};
  HRESULT hr = ConvGetFormatOf(&format, path.c_str());
  if (FAILED(hr)) return hr;
  IConvertSource* source = nullptr;
  hr = ConvCreateSource(&format, &source);
  if (FAILED(hr)) return hr;
  if (!source) return E_FAIL;
  if (!source->SetFileName(path.c_str())) {
    source->Release();
    return E_INVALIDARG;
  }
  entries.push_back({path, source});
  return S_OK;
}

BurnOutcome StageRedBook(IDiscMaster* master, const BurnJob& job, IConvertCallback* callback) {
  IRedbookDiscMaster* redbook = nullptr;
  HRESULT hr = master->SetActiveDiscMasterFormat(IID_IRedbookDiscMaster, reinterpret_cast<void**>(&redbook));
  if (FAILED(hr) || !redbook) {
    LogFormatted(callback, L"e", L"Active disc format cannot be set to CD-DA (error=%lX)\n",
                 Hex(FAILED(hr) ? hr : E_POINTER));
    return BurnOutcome::Failed;
  }
  master->ClearFormatContent();
  callback->SetStatusText(L"Converting:");
  callback->SetCurrentFile(L"Preparing...", FALSE);
  callback->Log(L"Converting audio files to Red-book format...\n");
  redbook->CloseAudioTrack();

  BurnOutcome outcome = BurnOutcome::Completed;
  // The disc must take every track before the first is converted.
  long available = 0;
  if (SUCCEEDED(redbook->GetAvailableAudioTrackBlocks(&available))) {
    long needed = 0;
    for (const BurnEntry& entry : job.entries) {
      if (callback->IsCancelled()) break;
      needed += MinimumSectors(entry.source);
    }
    needed += kTrackGapBlocks * static_cast<long>(job.entries.size() - 1);
    if (needed > available) {
      LogFormatted(callback, L"e", L"The tracks need %ld blocks, but the disc holds only %ld\n", needed, available);
      outcome = BurnOutcome::Failed;
    }
  }
  for (const BurnEntry& entry : job.entries) {
    if (outcome != BurnOutcome::Completed) break;
    if (callback->IsCancelled()) {
      outcome = BurnOutcome::Cancelled;
      break;
    }
    outcome = StageTrack(redbook, entry, callback);
  }
  if (outcome == BurnOutcome::Completed && callback->IsCancelled()) outcome = BurnOutcome::Cancelled;
  redbook->Release();
  return outcome;
}

BurnOutcome RecordCD(IDiscMaster* master, IDiscRecorder* recorder, const BurnJob& job, IConvertCallback* callback,
                     IDiscMasterProgressEvents* events, bool testMode) {
  if (job.entries.empty()) return BurnOutcome::Failed;
  master->SetActiveDiscRecorder(recorder);
  UINT_PTR cookie = 0;
  const bool advised = events && SUCCEEDED(master->ProgressAdvise(events, &cookie));

  BurnOutcome outcome;
  if (job.format == kBurnRedBook) {
    outcome = StageRedBook(master, job, callback);
  } else {
    // Data discs are not staged by this job yet: refuse rather than record an empty disc.
    IUnknown* joliet = nullptr;
    const HRESULT hr = master->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&joliet));
    if (FAILED(hr)) {
      LogFormatted(callback, L"e", L"Active disc format cannot be set to Joliet (error=%lX)\n", Hex(hr));
    } else {
      joliet->Release();
      LogFormatted(callback, L"e", L"Active disc format cannot be set to Joliet (error=%lX)\n", Hex(E_NOTIMPL));
    }
    outcome = BurnOutcome::Failed;
  }

  if (outcome == BurnOutcome::Cancelled) {
    callback->Log(L"Canceled\n");
    callback->SetCurrentFile(L"Canceled", FALSE);
  } else if (outcome == BurnOutcome::Failed) {
    callback->SetCurrentFile(L"Failed - please see details", FALSE);
  } else {
    callback->SetStatusText(L"Burning:");
    callback->SetCurrentFile(L"Preparing Burn...", FALSE);
    callback->Log(testMode ? L"Recording disc (test mode)...\n" : L"Recording disc...\n");
    const HRESULT hr = master->RecordDisc(testMode, false);
    callback->SetProgressPos(0);
    if (FAILED(hr)) {
      LogFormatted(callback, L"e", L"Recording failed (hr=%lX)\n", Hex(hr));
      callback->SetCurrentFile(L"Failed - please see details", FALSE);
      outcome = hr == IMAPI_E_USERABORT || callback->IsCancelled() ? BurnOutcome::Cancelled : BurnOutcome::Failed;
    } else {
      callback->SetCurrentFile(L"Completed", FALSE);
      callback->LogStyled(L"Audio CD was successfully created\n", L"i");
    }
  }
  // The staged tracks are not needed once recorded or abandoned; clearing removes their stash.
  master->ClearFormatContent();
  if (advised) master->ProgressUnadvise(cookie);
  return outcome;
}

// ------------------------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDiscMasterProgressEvents)) return E_NOINTERFACE;
  *out = static_cast<IDiscMasterProgressEvents*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CBurnProgressEvents::AddRef() { return ++refCount; }

ULONG STDMETHODCALLTYPE CBurnProgressEvents::Release() {
  const ULONG left = --refCount;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::QueryCancel(boolean* cancel) {
  if (cancel) *cancel = callback->IsCancelled() ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyPnPActivity() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyAddProgress(long, long) {
  DispatchPending();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyBlockProgress(long completed, long total) {
  callback->SetProgressPos(static_cast<int>(completed));
  callback->SetProgressRange(static_cast<int>(total));
  DispatchPending();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyTrackProgress(long currentTrack, long totalTracks) {
  wchar_t text[64];
  swprintf(text, 64, L"Track %ld/%ld...", currentTrack + 1, totalTracks);
  callback->SetCurrentFile(text, FALSE);
  DispatchPending();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyPreparingBurn(long) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyClosingDisc(long) {
  callback->SetCurrentFile(L"Closing Disc...", FALSE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyBurnComplete(HRESULT) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnProgressEvents::NotifyEraseComplete(HRESULT) { return S_OK; }
