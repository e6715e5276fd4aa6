// The conversion job: both passes, clean-up, tempo and tag copy; and AudioConvert's worker thread.
#include "ConversionJob.h"

#include <objbase.h>
#include <process.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "AbiGuard.h"
#include "DefConvertSource.h"
#include "EngineResources.h"
#include "JobCallback.h"
#include "JobSink.h"
#include "Normalizer.h"
#include "UniqueHandles.h"
#include "resource.h"

namespace {
int ReadSetting(const wchar_t* name, int fallback) {
  int value = fallback;
  ReadPInt(L"Settings", name, &value);
  return value;
}

bool FileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& info) {
  UniqueFile file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && GetFileInformationByHandle(file.Get(), &info);
}

bool FindData(const wchar_t* path, WIN32_FIND_DATAW& data) {
  HANDLE found = FindFirstFileW(path, &data);
  if (found == INVALID_HANDLE_VALUE) return false;
  FindClose(found);
  return true;
}

// Raises the process and thread priority for the job and puts both back at the end.
class PriorityBoost {
 public:
  void Raise() {
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    raised = true;
  }
  ~PriorityBoost() {
    if (!raised) return;
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
  }

 private:
  bool raised = false;
};

struct NormalizerOwner {
  INormalizer* object = nullptr;
  ~NormalizerOwner() {
    if (object) object->Destroy();
  }
};

const wchar_t kNoAudio[] = L"Nothing to convert: the file holds no audio\n";
const wchar_t kRangeAfterEnd[] = L"Nothing to convert: the range starts at or after the end of the file\n";
const wchar_t kAllSilent[] = L"Nothing to convert: the file is silent throughout\n";

// A length in milliseconds as bytes of whole sample frames: a cut inside a frame would shift every later
// sample into the wrong channel or byte position.
UINT32 FrameBytes(const WAVEFORMATEX& format, int ms) {
  UINT32 bytes = MulDivRounded(format.nAvgBytesPerSec, static_cast<UINT32>(ms), 1000);
  return format.nBlockAlign ? bytes - bytes % format.nBlockAlign : bytes;
}

// Pass 2: the temporary file, trimmed and faded, through the normaliser into the destination.
bool SecondPass(const ConversionRequest& request, CJobCallback* cb, const WAVEFORMATEX& format,
                const CONVOPTIONS& options, TempPcmFile& temp, SilenceDetector* silence, INormalizer* normalizer,
                std::vector<unsigned char>& buffer, UINT32 total, unsigned long long& written) {
  UINT32 leading = options.trimLeadingSilence && silence ? silence->leadingBytes : 0;
  UINT32 trailing = options.trimTrailingSilence && silence ? silence->trailingBytes : 0;
  if (trailing) temp.TruncateEnd(trailing);
  temp.Seek(leading);
  if (options.fadeInMs > 0) temp.FadeIn(format, FrameBytes(format, options.fadeInMs));
  if (options.fadeOutMs > 0) temp.FadeOut(format, FrameBytes(format, options.fadeOutMs));
  if (normalizer && request.normalize != TAVCORE_NORMALIZE_ANALYSED) {
    double requested = *request.normalize;
    normalizer->GetGain(request.normalize);
    if (requested != 0.0) normalizer->SetGain(requested);
  }

  cb->SetStatusText(LoadEngineString(IDS_CONVERTING).c_str());
  cb->SetBytePosition(0);
  // A file that is silent throughout counts as leading and trailing silence at once: nothing is left.
  unsigned long long cut = static_cast<unsigned long long>(leading) + trailing;
  cb->SetByteRange(static_cast<UINT32>(cut >= total ? 0 : total - cut));
  bool ok = true;
  while (!cb->IsCancelled()) {
    long long read = temp.Read(buffer.data(), static_cast<UINT32>(buffer.size()));
    if (read < 0) {
      cb->LogStyled(L"Temporary file cannot be read\n", L"e");
      ok = false;
      break;
    }
    if (read == 0) break;
    UINT32 size = static_cast<UINT32>(read);
    if (normalizer) normalizer->Process(size, buffer.data(), buffer.data());
    if (!request.destination->Write(size, buffer.data())) {
      ok = false;
      break;
    }
    written += size;
    cb->StepProgress(static_cast<int>(size));
  }
  cb->SetBytePosition(total);
  return ok;
}
}  // namespace

bool IsSameFile(const wchar_t* first, const wchar_t* second) {
  WIN32_FIND_DATAW a, b;
  if (!FindData(first, a) || !FindData(second, b)) return false;
  BY_HANDLE_FILE_INFORMATION identityA, identityB;
  if (FileIdentity(first, identityA) && FileIdentity(second, identityB)) {
    return identityA.dwVolumeSerialNumber == identityB.dwVolumeSerialNumber &&
           identityA.nFileIndexHigh == identityB.nFileIndexHigh && identityA.nFileIndexLow == identityB.nFileIndexLow;
  }
  // Without file identities: everything the directory entries tell must agree.
  return a.dwFileAttributes == b.dwFileAttributes && CompareFileTime(&a.ftCreationTime, &b.ftCreationTime) == 0 &&
         CompareFileTime(&a.ftLastAccessTime, &b.ftLastAccessTime) == 0 &&
         CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0 && a.nFileSizeHigh == b.nFileSizeHigh &&
         a.nFileSizeLow == b.nFileSizeLow && wcscmp(a.cFileName, b.cFileName) == 0;
}

HRESULT RunConversion(const ConversionRequest& request) {
  IConvertSource* src = request.source;
  IConvertDestination* dst = request.destination;
  if (!src || !dst || !request.callback) return E_INVALIDARG;
  CJobCallback jobCallback(*request.callback);
  CJobCallback* cb = &jobCallback;
  const int silenceThreshold = std::clamp(ReadSetting(L"SilenceDetector", 5), 0, 100);
  const bool analyseTempo = ReadSetting(L"BPMAnalysis", 0) != 0;
  const CONVOPTIONS options = request.options ? *request.options : CONVOPTIONS{};
  const bool rangeGiven = request.startMs != -1 || request.endMs != -1;

  src->SetCallback(cb);
  dst->SetCallback(cb);
  cb->SetStatusText(LoadEngineString(IDS_CONVERTING).c_str());
  wchar_t title[MAX_PATH] = {};
  if (src->GetFileTitle(title, MAX_PATH)) cb->SetCurrentFile(title, TRUE);

  bool ok = true;
  bool sourceOpened = false, destinationOpened = false;
  double tempoFound = 0.0;
  {
    wchar_t sourceName[MAX_PATH] = {}, destinationName[MAX_PATH] = {};
    if (src->GetFileName(sourceName, MAX_PATH) && dst->GetFileName(destinationName, MAX_PATH) &&
        IsSameFile(sourceName, destinationName)) {
      cb->LogStyled(L"Source file is equal to destination file\n", L"e");
      ok = false;
    }
  }

  PriorityBoost priority;
  NormalizerOwner normalizer;
  std::optional<SilenceDetector> silence;
  std::unique_ptr<TempoAnalyzer> tempo;
  TempPcmFile temp;
  std::vector<unsigned char> buffer;
  CPlayCallback sink;
  WAVEFORMATEX format = {};
  UINT32 total = 0;
  const bool normalizing = request.normalize != nullptr;
  const bool twoPass = normalizing || options.fadeInMs > 0 || options.fadeOutMs > 0 || options.trimLeadingSilence ||
                       options.trimTrailingSilence;

  if (ok) {
    src->SetStartTime(request.startMs);
    ok = sourceOpened = src->Open();
  }
  if (ok) {
    src->GetFormat(&format);
    dst->SetSource(src);
    dst->SetFormat(&format);
    if (rangeGiven) {
      // Both ends of the range fall on whole frames, where the source starts and the sink stops.
      UINT32 start = 0, end = 0;
      src->GetDataSize(&end, -1, request.endMs);
      if (request.startMs > 0) src->GetDataSize(&start, -1, request.startMs);
      if (format.nBlockAlign) {
        start -= start % format.nBlockAlign;
        end -= end % format.nBlockAlign;
      }
      total = end > start ? end - start : 0;
      sink.byteLimit = total;
    } else {
      src->GetDataSize(&total, -1, -1);
    }
    // Nothing to convert is said before an output file exists.
    if (total == 0) {
      cb->LogStyled(rangeGiven ? kRangeAfterEnd : kNoAudio, L"e");
      ok = false;
    }
  }
  if (ok) ok = destinationOpened = dst->Open();
  if (ok) {
    GUID sourceClass = {};
    src->GetClassId(&sourceClass);
    cb->SetBytePosition(0);
    cb->SetByteRange(total);
    int highPriority = ReadSetting(L"HighPriority", 1);
    if (highPriority > 1 || highPriority < 0 || (highPriority == 1 && IsEqualGUID(sourceClass, CLSID_CAudioCDTrack)))
      priority.Raise();
    if (analyseTempo) {
      tempo = std::make_unique<TempoAnalyzer>(total);
      sink.tempo = tempo.get();
    }
    sink.destination = dst;
    sink.callback = cb;
    sink.stepProgress = true;
  }
  if (ok && twoPass) {
    try {
      buffer.assign(std::max<DWORD>(format.nAvgBytesPerSec, format.nBlockAlign ? format.nBlockAlign : 1), 0);
    } catch (const std::bad_alloc&) {
      cb->LogStyled(L"Out of memory\n", L"e");
      ok = false;
    }
    if (ok) {
      cb->SetStatusText(LoadEngineString(IDS_ANALYZING).c_str());
      if (!temp.Create()) {
        cb->LogStyled(L"Temporary file cannot be created\n", L"e");
        ok = false;
      }
    }
    if (ok) {
      sink.tempFile = &temp;
      if (normalizing) {
        // The job's own normaliser takes every integer width and channel count.
        normalizer.object = new (std::nothrow) Normalizer(true);
        if (!normalizer.object) {
          cb->LogStyled(L"Normalizer cannot be started\n", L"e");
          ok = false;
        } else {
          normalizer.object->Init(&format);
          sink.normalizer = normalizer.object;
        }
      }
      if (options.trimLeadingSilence || options.trimTrailingSilence) {
        silence.emplace(format, silenceThreshold);
        sink.silence = &*silence;
      }
      sink.destination = nullptr;
    }
  }
  if (ok) ok = src->ReadAll(&sink) || sink.limitReached;
  unsigned long long written = twoPass ? 0 : sink.bytesDone;
  if (ok && !twoPass) cb->SetBytePosition(total);
  if (ok && twoPass && !cb->IsCancelled())
    ok = SecondPass(request, cb, format, options, temp, silence ? &*silence : nullptr, normalizer.object, buffer, total,
                    written);
  // An empty output would be a file no player opens, reported as converted.
  if (ok && written == 0 && !cb->IsCancelled()) {
    cb->LogStyled(options.trimLeadingSilence || options.trimTrailingSilence ? kAllSilent : kNoAudio, L"e");
    ok = false;
  }

  // Clean-up, whatever happened. A destination that cannot finish its file (a full disk when the last
  // buffers and headers are written) fails the conversion, as does any error a source or destination logged.
  if (cb->IsCancelled()) ok = false;
  if (sourceOpened) src->Close();
  if (destinationOpened && !dst->Close()) ok = false;
  if (cb->ErrorLogged()) ok = false;
  if (tempo) {
    if (!ok && cb->IsCancelled()) {
      tempo->Discard();
    } else {
      cb->SetCurrentFile(L"BPM Analysis...", FALSE);
      tempoFound = tempo->Estimate();
    }
  }
  src->SetCallback(nullptr);
  dst->SetCallback(nullptr);
  dst->SetSource(nullptr);
  if (ok) CopyTagToOutput(src, dst, rangeGiven, tempoFound);
  temp.Delete();
  return ok ? S_OK : E_FAIL;
}

namespace {
unsigned __stdcall ConversionWorker(void* argument) {
  auto* request = static_cast<std::pair<ConversionRequest, HRESULT>*>(argument);
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  request->second = GuardedHResult([&] { return RunConversion(request->first); });
  if (SUCCEEDED(initialized)) CoUninitialize();
  return 0;
}
}  // namespace

TAVCORE_API HRESULT WINAPI AudioConvert(IConvertSource* src, IConvertDestination* dst, IConvertCallback* cb,
                                        const CONVOPTIONS* options, double* normalize, int startMs, int endMs) {
  if (!src || !dst || !cb) return E_INVALIDARG;
  return GuardedHResult([&]() -> HRESULT {
    std::pair<ConversionRequest, HRESULT> job{{src, dst, cb, options, normalize, startMs, endMs}, E_FAIL};
    UniqueHandle worker(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ConversionWorker, &job, 0, nullptr)));
    if (!worker) return E_FAIL;
    // The caller's window stays live: its messages are dispatched while the worker runs. Waiting for
    // either the worker or a message keeps this thread from spinning.
    // Messages already waiting are dispatched before the first wait, so even a job that ends at once
    // does not hold them up.
    HANDLE handle = worker.Get();
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      DWORD woken = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken == WAIT_OBJECT_0) break;
      if (woken == WAIT_FAILED) {
        WaitForSingleObject(handle, INFINITE);
        break;
      }
    }
    return job.second;
  });
}
