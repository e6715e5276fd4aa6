#include "BurnJob.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include <shlobj.h>
#include <wincrypt.h>

#include "PropertySet.h"
#include "QuietCallback.h"
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

// Keeps what a source reports while it is only measured: the conversion would report it again, so only a
// source that cannot even be opened has its lines shown.
class CSilentCallback : public CQuietCallback {
 public:
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override {
    lines.emplace_back(text ? text : L"", style ? style : L"");
  }

  std::vector<std::pair<std::wstring, std::wstring>> lines;  // text, style
};

// Whole CD sectors the source yields at least (0 when it cannot be measured; its conversion will say why),
// or -1 when it cannot be opened, which is then logged under its path. Rounded down and one sector short for
// converted formats, so only lists that surely do not fit are refused.
long MinimumSectors(const BurnEntry& entry, IConvertCallback* callback) {
  IConvertSource* source = entry.source;
  CSilentCallback silent;
  source->SetCallback(&silent);
  long sectors = -1;
  if (source->Open()) {
    sectors = 0;
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
  if (sectors < 0) {
    callback->Log((entry.path + L"\n").c_str());
    for (const auto& line : silent.lines) {
      if (line.second.empty()) callback->Log(line.first.c_str());
      else callback->LogStyled(line.first.c_str(), line.second.c_str());
    }
    if (silent.lines.empty()) callback->LogStyled(L"Source file cannot be opened\n", L"e");
  }
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

// ---- Joliet staging --------------------------------------------------------------------------------------

constexpr DWORD kCopyPieceBytes = 32768;
constexpr int kMaxTrackNumber = 999;

bool SettingOn(const wchar_t* name) {
  int value = 1;
  ReadPInt(L"Settings", name, &value);
  return value != 0;
}

std::wstring WithSlash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

std::wstring CacheFolder() {
  wchar_t stored[512] = {};
  if (ReadPString(L"Settings", L"CDCache", stored) && stored[0]) return WithSlash(stored);
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return {};
  return WithSlash(appData) + L"cdforge\\CDCache\\";
}

// Lower-case hexadecimal MD5 of the file's bytes; empty when it cannot be read.
std::wstring FileMd5(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  std::wstring digest;
  if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
      CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
    std::vector<BYTE> piece(65536);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) != FALSE) && got)
      if (!CryptHashData(hash, piece.data(), got, 0)) ok = false;
    BYTE bytes[16];
    DWORD size = sizeof(bytes);
    if (ok && CryptGetHashParam(hash, HP_HASHVAL, bytes, &size, 0) && size == 16) {
      wchar_t hex[33];
      for (int i = 0; i < 16; ++i) swprintf(hex + i * 2, 3, L"%02x", bytes[i]);
      digest = hex;
    }
  }
  if (hash) CryptDestroyHash(hash);
  if (provider) CryptReleaseContext(provider, 0);
  CloseHandle(file);
  return digest;
}

bool HasExtension(const std::wstring& path, const wchar_t* extension) {
  const size_t length = wcslen(extension);
  return path.size() >= length && _wcsicmp(path.c_str() + path.size() - length, extension) == 0;
}

// Puts the file onto the image as a one-stream storage named "TRACK%03d" plus the extension.
HRESULT AddToImage(IJolietDiscMaster* joliet, const std::wstring& path, int number, const wchar_t* extension) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  IStorage* storage = nullptr;
  HRESULT hr = StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE,
                                0, &storage);
  IStream* stream = nullptr;
  if (SUCCEEDED(hr)) {
    wchar_t name[32];
    swprintf(name, 32, L"TRACK%03d%ls", number, extension);
    hr = storage->CreateStream(name, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
  }
  std::vector<BYTE> piece(kCopyPieceBytes);
  while (SUCCEEDED(hr)) {
    DWORD got = 0;
    if (!ReadFile(file, piece.data(), kCopyPieceBytes, &got, nullptr)) {
      hr = HRESULT_FROM_WIN32(GetLastError());
      break;
    }
    if (got == 0) break;
    ULONG written = 0;
    hr = stream->Write(piece.data(), got, &written);
    if (SUCCEEDED(hr) && written != got) hr = STG_E_MEDIUMFULL;
  }
  CloseHandle(file);
  if (stream) stream->Release();
  if (SUCCEEDED(hr)) hr = joliet->AddData(storage, 0);
  if (storage) storage->Release();
  return hr;
}

// Hands the chosen speed to the recorder's "WriteSpeed" and reads back what it took, as recorders may choose
// another speed or have none to set; either way the disc is still recorded.
void ApplySpeed(IDiscRecorder* recorder, int speed, IConvertCallback* callback) {
  if (speed <= 0) return;
  IPropertyStorage* properties = nullptr;
  HRESULT hr = recorder->GetRecorderProperties(&properties);
  if (SUCCEEDED(hr) && !properties) hr = E_POINTER;
  if (SUCCEEDED(hr)) hr = CPropertySet::WriteNumber(properties, L"WriteSpeed", speed);
  if (SUCCEEDED(hr)) hr = recorder->SetRecorderProperties(properties);
  if (properties) properties->Release();
  properties = nullptr;
  CPropertySet::Value taken;
  if (SUCCEEDED(hr) && SUCCEEDED(recorder->GetRecorderProperties(&properties)) && properties) {
    CPropertySet::Read(properties, L"WriteSpeed", &taken);
    properties->Release();
  }
  if (taken.type == VT_I4 && taken.number == speed)
    LogFormatted(callback, L"", L"Recording speed: %d X\n", speed);
  else if (taken.type == VT_I4)
    LogFormatted(callback, L"i", L"The recorder records at %ld X instead of %d X\n", taken.number, speed);
  else
    LogFormatted(callback, L"i", L"The recorder's speed cannot be set; it records at its own speed\n");
}

enum class EntryResult { Added, Failed, Cancelled };

// Converts (or reuses) one entry's file and adds it as track `number`. An entry that cannot be converted fails
// the disc: recording the others would leave the user's file off a disc reported as made.
EntryResult StageDataEntry(IJolietDiscMaster* joliet, const BurnEntry& entry, int number, const CONVFORMAT& target,
                           const wchar_t* extension, const wchar_t* formatName, IConvertCallback* callback) {
  wchar_t name[MAX_PATH] = {};
  if (!entry.source->GetFileName(name, MAX_PATH)) {
    callback->LogStyled(L"Source filename not available (unexpected)\n", L"e");
    return EntryResult::Failed;
  }
  std::wstring file;
  bool temporary = false;
  if (SettingOn(L"NoReencode") && HasExtension(name, extension)) {
    LogFormatted(callback, L"", L"Skipping %ls (already in %ls format)\n", name, formatName);
    file = name;
  } else {
    const bool cached = SettingOn(L"UseCDCache");
    std::wstring writing;
    if (cached) {
      const std::wstring digest = FileMd5(name);
      const std::wstring folder = CacheFolder();
      if (digest.empty() || folder.empty()) {
        LogFormatted(callback, L"e", L"%ls cannot be read\n", name);
        return EntryResult::Failed;
      }
      file = folder + (extension + 1) + L"\\" + digest + extension;
      if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        LogFormatted(callback, L"", L"Skipping %ls (using cache file)\n", name);
      } else {
        // Converted under another name and renamed when whole, so an interrupted conversion is never reused.
        writing = folder + (extension + 1) + L"\\" + digest + L".part" + extension;
      }
    } else {
      static LONG counter = 0;
      wchar_t folder[MAX_PATH + 1] = {}, temp[MAX_PATH + 64];
      ACTempPath(folder);
      swprintf(temp, MAX_PATH + 64, L"%lsbrn%lu-%ld%ls", WithSlash(folder).c_str(), GetCurrentProcessId(),
               InterlockedIncrement(&counter), extension);
      file = writing = temp;
      temporary = true;
    }
    if (!writing.empty()) {
      LogFormatted(callback, L"", L"%ls\n", name);
      IConvertDestination* destination = nullptr;
      HRESULT hr = ConvCreateDest(&target, &destination);
      if (SUCCEEDED(hr) && !destination) hr = E_FAIL;
      if (SUCCEEDED(hr) && !destination->SetFileName(writing.c_str())) hr = E_INVALIDARG;
      if (SUCCEEDED(hr)) hr = AudioConvert(entry.source, destination, callback, nullptr, nullptr, -1, -1);
      if (destination) destination->Release();
      if (SUCCEEDED(hr) && writing != file && !MoveFileExW(writing.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING))
        hr = HRESULT_FROM_WIN32(GetLastError());
      if (FAILED(hr)) {
        DeleteFileW(writing.c_str());
        if (callback->IsCancelled()) return EntryResult::Cancelled;
        return EntryResult::Failed;
      }
    }
  }
  if (callback->IsCancelled()) {
    if (temporary) DeleteFileW(file.c_str());
    return EntryResult::Cancelled;
  }
  const HRESULT hr = AddToImage(joliet, file, number, extension);
  if (temporary) DeleteFileW(file.c_str());
  if (FAILED(hr)) {
    LogFormatted(callback, L"e", L"Cannot add file to image (hr=%lX)\n", Hex(hr));
    return EntryResult::Failed;
  }
  return EntryResult::Added;
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
  // Every source must open and the disc must take every track before the first is converted.
  long available = 0;
  if (SUCCEEDED(redbook->GetAvailableAudioTrackBlocks(&available))) {
    long needed = 0;
    for (const BurnEntry& entry : job.entries) {
      if (callback->IsCancelled()) break;
      const long sectors = MinimumSectors(entry, callback);
      if (sectors < 0) outcome = BurnOutcome::Failed;
      else needed += sectors;
    }
    needed += kTrackGapBlocks * static_cast<long>(job.entries.size() - 1);
    if (outcome == BurnOutcome::Completed && needed > available) {
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

BurnOutcome StageJoliet(IDiscMaster* master, const BurnJob& job, IConvertCallback* callback) {
  const bool mp3 = job.format == kBurnMp3;
  const wchar_t* extension = mp3 ? L".mp3" : L".wma";
  const wchar_t* formatName = mp3 ? L"MP3" : L"Windows Media";
  CONVFORMAT target = {};
  HRESULT hr = ConvGetFormatByName(&target, formatName);
  if (FAILED(hr)) {
    LogFormatted(callback, L"e", L"The %ls format is not available (error=%lX)\n", formatName, Hex(hr));
    return BurnOutcome::Failed;
  }
  IJolietDiscMaster* joliet = nullptr;
  hr = master->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&joliet));
  if (FAILED(hr) || !joliet) {
    LogFormatted(callback, L"e", L"Active disc format cannot be set to Joliet (error=%lX)\n",
                 Hex(FAILED(hr) ? hr : E_POINTER));
    return BurnOutcome::Failed;
  }
  IPropertyStorage* properties = nullptr;
  hr = joliet->GetJolietProperties(&properties);
  if (SUCCEEDED(hr) && !properties) hr = E_POINTER;
  if (SUCCEEDED(hr)) {
    hr = CPropertySet::WriteText(properties, L"VolumeName", job.volumeLabel);
    if (SUCCEEDED(hr)) hr = joliet->SetJolietProperties(properties);
  }
  if (properties) properties->Release();
  if (FAILED(hr)) LogFormatted(callback, L"e", L"Volume label cannot be set (error=%lX)\n", Hex(hr));

  master->ClearFormatContent();
  callback->SetStatusText(L"Converting:");
  callback->SetCurrentFile(L"Preparing...", FALSE);
  LogFormatted(callback, L"", L"Converting audio files to %ls\n", formatName);

  BurnOutcome outcome = BurnOutcome::Completed;
  int number = 0;
  for (const BurnEntry& entry : job.entries) {
    if (callback->IsCancelled()) {
      outcome = BurnOutcome::Cancelled;
      break;
    }
    // Dropping files silently would record a disc short of what the list holds.
    if (++number > kMaxTrackNumber) {
      LogFormatted(callback, L"e", L"Cannot add more than %d files to the image\n", kMaxTrackNumber);
      outcome = BurnOutcome::Failed;
      break;
    }
    const EntryResult result = StageDataEntry(joliet, entry, number, target, extension, formatName, callback);
    if (result == EntryResult::Cancelled) outcome = BurnOutcome::Cancelled;
    if (result == EntryResult::Failed) outcome = BurnOutcome::Failed;
    if (outcome != BurnOutcome::Completed) break;
  }
  if (outcome == BurnOutcome::Completed && callback->IsCancelled()) outcome = BurnOutcome::Cancelled;
  joliet->Release();
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
    outcome = StageJoliet(master, job, callback);
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
    ApplySpeed(recorder, job.speed, callback);
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
  // The staged tracks or files are not needed once recorded or abandoned; clearing removes their stash.
  master->ClearFormatContent();
  if (advised) master->ProgressUnadvise(cookie);
  return outcome;
}

// ------------------------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CBurnEventMapping::QueryCancel(boolean* cancel) {
  if (!cancel) return E_POINTER;
  *cancel = eventsCallback->IsCancelled() ? TRUE : FALSE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyPnPActivity() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyAddProgress(long, long) {
  PumpMessages();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyBlockProgress(long completed, long total) {
  eventsCallback->SetProgressRange(static_cast<int>(total));
  eventsCallback->SetProgressPos(static_cast<int>(completed));
  PumpMessages();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyTrackProgress(long currentTrack, long totalTracks) {
  wchar_t text[64];
  swprintf(text, 64, L"Track %ld/%ld...", currentTrack + 1, totalTracks);
  eventsCallback->SetCurrentFile(text, FALSE);
  PumpMessages();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyPreparingBurn(long) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyClosingDisc(long) {
  eventsCallback->SetCurrentFile(L"Closing Disc...", FALSE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyBurnComplete(HRESULT) { return S_OK; }

HRESULT STDMETHODCALLTYPE CBurnEventMapping::NotifyEraseComplete(HRESULT) { return S_OK; }

void CBurnEventMapping::PumpMessages() { DispatchPending(); }
