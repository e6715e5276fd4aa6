// The disc in one drive: its table of contents, one record per audio track, the disc's descriptive data, and the
// track objects attached to it. The drive is opened only while the TOC is read or a track is ripped.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "CDDB.h"
#include "tavcore_cd.h"

class CAudioCDDevices;
class CAudioCDTrack;

class CAudioCD final : public cdrip::IAudioCD, public cdrip::ICDDBQuery {
 public:
  CAudioCD(CAudioCDDevices* devices, const cdrip::CDDeviceInfo& drive);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override;

  // IAudioCD
  int STDMETHODCALLTYPE GetDriveNumber() override;
  HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReadTOC() override;
  const cdrip::CDTOC* STDMETHODCALLTYPE GetTOC() override { return tracks.empty() ? nullptr : &toc; }
  UINT32 STDMETHODCALLTYPE GetSerial() override { return tracks.empty() ? 0 : serial; }
  HRESULT STDMETHODCALLTYPE GetTrack(UINT32 index, cdrip::IAudioCDTrack** out) override;
  HRESULT STDMETHODCALLTYPE GetTrackFromCDAFile(const wchar_t* path, cdrip::IAudioCDTrack** out) override;
  HRESULT STDMETHODCALLTYPE GetTrackCount(UINT32* out) override;
  bool STDMETHODCALLTYPE GetDisplayName(wchar_t* buf, int cch) override;
  HRESULT STDMETHODCALLTYPE StartLookup(cdrip::ICDDBCallback* callback) override;
  HRESULT STDMETHODCALLTYPE StartSubmit(cdrip::ICDDBCallback* callback) override;
  bool STDMETHODCALLTYPE GetTitle(wchar_t* buf, int cch) override { return Copy(title, buf, cch); }
  bool STDMETHODCALLTYPE GetArtist(wchar_t* buf, int cch) override { return Copy(artist, buf, cch); }
  bool STDMETHODCALLTYPE GetGenre(wchar_t* buf, int cch) override { return Copy(genre, buf, cch); }
  bool STDMETHODCALLTYPE GetCategory(wchar_t* buf, int cch) override { return Copy(category, buf, cch); }
  HRESULT STDMETHODCALLTYPE GetYear(int* out) override;
  bool STDMETHODCALLTYPE GetTrackTitle(UINT32 index, wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE GetTrackExtended(UINT32 index, wchar_t* buf, int cch) override;
  HRESULT STDMETHODCALLTYPE SetTitle(const wchar_t* text) override { return Set(title, text); }
  HRESULT STDMETHODCALLTYPE SetArtist(const wchar_t* text) override { return Set(artist, text); }
  HRESULT STDMETHODCALLTYPE SetGenre(const wchar_t* text) override { return Set(genre, text); }
  HRESULT STDMETHODCALLTYPE SetCategory(const wchar_t* text) override { return Set(category, text); }
  HRESULT STDMETHODCALLTYPE SetYear(int value) override;
  bool STDMETHODCALLTYPE SetTrackTitle(UINT32 index, const wchar_t* text) override;
  bool STDMETHODCALLTYPE SetTrackExtended(UINT32 index, const wchar_t* text) override;

  // ICDDBQuery
  HRESULT STDMETHODCALLTYPE Query() override;
  int STDMETHODCALLTYPE GetMatchCount() override { return matches.count; }
  HRESULT STDMETHODCALLTYPE GetMatch(int index, wchar_t* artistOut, wchar_t* titleOut) override;
  HRESULT STDMETHODCALLTYPE SelectMatch(int index) override;
  int STDMETHODCALLTYPE GetResponseCode() override { return matches.responseCode; }

  // For the track objects: a SCSI layer handle on this drive (0 when it cannot be opened), and the track list.
  int OpenDrive();
  void Attach(CAudioCDTrack* track);
  void Detach(CAudioCDTrack* track);
  UINT32 AudioTrackCount() const { return static_cast<UINT32>(tracks.size()); }

  // The disc's TOC and data, copied for a CDDB operation or the cache; a CDDB result written into the disc.
  CDDBDiscData Snapshot();
  void Apply(const CDDBDisc& disc);

 private:
  struct TrackRecord {
    std::wstring title;
    std::wstring extended;
    cdrip::CDTrackInfo info;
  };

  ~CAudioCD();
  void WriteCacheIfModified();
  static DWORD WINAPI LookupWorker(void* parameter);
  static DWORD WINAPI SubmitWorker(void* parameter);
  HRESULT StartWorker(LPTHREAD_START_ROUTINE worker, cdrip::ICDDBCallback* callback);
  static bool Copy(const std::wstring& text, wchar_t* buf, int cch);
  HRESULT Set(std::wstring& field, const wchar_t* text);

  ULONG refCount = 1;
  CAudioCDDevices* devices;  // AddRef'd
  cdrip::CDDeviceInfo drive;
  int driveNumber = -1;
  cdrip::CDTOC toc = {};
  UINT32 serial = 0;
  std::vector<TrackRecord> tracks;
  std::wstring title, artist, genre, category;
  int year = -1;
  bool modified = false;
  std::vector<CAudioCDTrack*> attached;  // not owned; null where a track left
  std::mutex lock;                       // held while a CDDB result is written in
  CDDBMatchList matches;                 // of the last Query
  std::atomic<bool> lookupRunning{false};
};
