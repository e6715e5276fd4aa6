// The disc object's CDDB side: the synchronous query, and the lookup and submission on worker threads that
// report to the caller's callback. A worker holds the disc, the callback and this module until it ends.
#include <cwchar>
#include <cwctype>

#include "AudioCD.h"
#include "EngineResources.h"
#include "resource.h"

namespace {

struct WorkerStart {
  CAudioCD* disc;
  cdrip::ICDDBCallback* callback;
  CDDBDiscData data;
};

void Status(cdrip::ICDDBCallback* callback, UINT id) { callback->SetStatus(LoadEngineString(id).c_str()); }

// The first step of both workers: the query, announced to the callback. False when no server answered.
bool QueryForWorker(CCDDB& cddb, const WorkerStart& start, CDDBMatchList* list) {
  Status(start.callback, IDS_CDDB_CONTACTING);
  return cddb.Query(start.data.toc, start.data.serial, list);
}

bool SameText(const wchar_t* a, const std::wstring& b) {
  const size_t length = wcslen(a);
  if (length != b.size()) return false;
  for (size_t i = 0; i < length; ++i)
    if (towlower(a[i]) != towlower(b[i])) return false;
  return true;
}

// Ends a worker: releases what it held and the module reference it was started with.
[[noreturn]] void EndWorker(WorkerStart* start) {
  start->callback->Release();
  start->disc->Release();
  delete start;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&EndWorker), &self);
  FreeLibraryAndExitThread(self, 0);
}

}  // namespace

void CAudioCD::WriteCacheIfModified() {
  if (!modified || tracks.empty()) return;
  CCDDB::WriteCache(Snapshot());
  modified = false;
}

CDDBDiscData CAudioCD::Snapshot() {
  std::lock_guard<std::mutex> held(lock);
  CDDBDiscData data;
  data.toc = toc;
  data.serial = serial;
  data.title = title;
  data.artist = artist;
  data.genre = genre;
  data.category = category;
  data.year = year;
  for (const TrackRecord& track : tracks) {
    data.titles.push_back(track.title);
    data.extended.push_back(track.extended);
  }
  return data;
}

void CAudioCD::Apply(const CDDBDisc& disc) {
  std::lock_guard<std::mutex> held(lock);
  SetTitle(disc.title.c_str());
  SetArtist(disc.artist.c_str());
  SetCategory(disc.category.c_str());
  SetGenre(disc.genre.c_str());
  SetYear(disc.year);
  for (size_t i = 0; i < disc.titles.size(); ++i) SetTrackTitle(static_cast<UINT32>(i), disc.titles[i].c_str());
  for (size_t i = 0; i < disc.extended.size(); ++i) SetTrackExtended(static_cast<UINT32>(i), disc.extended[i].c_str());
}

HRESULT CAudioCD::Query() {
  if (tracks.empty()) return E_UNEXPECTED;
  CCDDB cddb;
  const bool contacted = cddb.Query(toc, serial, &matches);
  return contacted || matches.count > 0 ? S_OK : E_FAIL;
}

HRESULT CAudioCD::GetMatch(int index, wchar_t* artistOut, wchar_t* titleOut) {
  if (index < 0 || index >= matches.count) return E_INVALIDARG;
  if (artistOut) wcscpy(artistOut, matches.items[index].artist);
  if (titleOut) wcscpy(titleOut, matches.items[index].title);
  return S_OK;
}

HRESULT CAudioCD::SelectMatch(int index) {
  if (index < 0 || index >= matches.count) return E_INVALIDARG;
  CCDDB cddb;
  CDDBDisc disc;
  if (!cddb.Read(matches.items[index], &disc, nullptr)) return E_FAIL;
  Apply(disc);
  return S_OK;
}

HRESULT CAudioCD::StartWorker(LPTHREAD_START_ROUTINE worker, cdrip::ICDDBCallback* callback) {
  HMODULE self = nullptr;
  if (!callback || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(worker), &self))
    return E_FAIL;
  auto* start = new WorkerStart{this, callback, Snapshot()};
  AddRef();
  callback->AddRef();
  HANDLE thread = CreateThread(nullptr, 0, worker, start, 0, nullptr);
  if (!thread) {
    callback->Release();
    Release();
    delete start;
    FreeLibrary(self);
    return E_FAIL;
  }
  CloseHandle(thread);
  return S_OK;
}

HRESULT CAudioCD::StartLookup(cdrip::ICDDBCallback* callback) {
  if (!GetTOC()) return E_FAIL;
  if (lookupRunning.exchange(true)) return S_OK;  // one lookup of a disc at a time
  const HRESULT started = StartWorker(LookupWorker, callback);
  if (FAILED(started)) lookupRunning = false;
  return started;
}

HRESULT CAudioCD::StartSubmit(cdrip::ICDDBCallback* callback) {
  if (!GetTOC()) return E_FAIL;
  return StartWorker(SubmitWorker, callback);
}

DWORD WINAPI CAudioCD::LookupWorker(void* parameter) {
  auto* start = static_cast<WorkerStart*>(parameter);
  cdrip::ICDDBCallback* callback = start->callback;
  CCDDB cddb;
  CDDBMatchList list;
  bool success = false;
  const bool contacted = QueryForWorker(cddb, *start, &list);
  if (!contacted && list.count == 0) {
    Status(callback, IDS_CDDB_NO_CONTACT);
  } else if (list.count == 0) {
    Status(callback, IDS_CDDB_NO_MATCHES);
  } else {
    int chosen = 0;
    if (list.count > 1) {
      Status(callback, IDS_CDDB_MULTIPLE_MATCHES);
      if (callback->ChooseMatch(list.items, list.count, &chosen) < 0) {
        callback->SetStatus(L"");
        chosen = -1;
      }
    }
    if (chosen >= 0 && chosen < list.count) {
      Status(callback, IDS_CDDB_RETRIEVING);
      CDDBDisc disc;
      if (cddb.Read(list.items[chosen], &disc, nullptr)) {
        start->disc->Apply(disc);
        success = true;
      } else {
        Status(callback, IDS_CDDB_NOT_RETRIEVED);
      }
    }
  }
  // The mark goes first: a caller may start the next lookup from Finished.
  start->disc->lookupRunning = false;
  callback->Finished(success);
  EndWorker(start);
}

DWORD WINAPI CAudioCD::SubmitWorker(void* parameter) {
  auto* start = static_cast<WorkerStart*>(parameter);
  cdrip::ICDDBCallback* callback = start->callback;
  CCDDB cddb;
  CDDBMatchList list;
  QueryForWorker(cddb, *start, &list);
  std::wstring previous;
  for (int i = list.count - 1; i >= 0; --i) {
    const cdrip::CDDBMatch& match = list.items[i];
    if (match.cacheKey != 0 || !SameText(match.category, start->data.category)) continue;
    if (callback->SetStatus(LoadEngineString(IDS_CDDB_RETRIEVING).c_str()) < 0) {
      callback->Finished(FALSE);
      EndWorker(start);
    }
    CDDBDisc disc;
    cddb.Read(match, &disc, &previous);
    break;
  }
  Status(callback, IDS_CDDB_SUBMITTING);
  const bool submitted = cddb.Submit(start->data, previous);
  Status(callback, submitted ? IDS_CDDB_SUBMITTED : IDS_CDDB_NOT_SUBMITTED);
  callback->Finished(submitted);
  EndWorker(start);
}
