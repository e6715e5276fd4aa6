// The audio CD records the engine shares with its callers; all of them little-endian with fixed layouts.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <cstddef>

#include "tavcore_guids.h"

#ifndef TAVCORE_API
#define TAVCORE_API extern "C"
#endif

namespace cdrip {

// One audio track as a ".cda" file describes it (its "fmt " chunk) and as the disc object lists it.
struct CDTrackInfo {
  UINT16 version;        // 1
  UINT16 track;          // track number as in the TOC
  UINT32 serial;         // the disc serial
  UINT32 startSector;    // first logical block address
  UINT32 lengthSectors;  // up to the next TOC entry
  UINT32 startMSF;       // absolute start, M << 16 | S << 8 | F
  UINT32 lengthMSF;      // length in frames, packed the same way
};
static_assert(sizeof(CDTrackInfo) == 24 && offsetof(CDTrackInfo, serial) == 4 &&
                  offsetof(CDTrackInfo, startSector) == 8 && offsetof(CDTrackInfo, lengthSectors) == 12 &&
                  offsetof(CDTrackInfo, startMSF) == 16 && offsetof(CDTrackInfo, lengthMSF) == 20,
              "CDTrackInfo layout");

// One CD drive of the device list; all text ASCII.
#pragma pack(push, 1)
struct CDDeviceInfo {
  BYTE hostAdapter;
  BYTE target;
  BYTE lun;
  BYTE reserved;
  char description[65];  // "%s, %s v%s (%d:%d:%d)": vendor, product, revision, adapter, target, lun
  char vendor[9];        // INQUIRY bytes 8-15, space padding kept
  char product[17];      // INQUIRY bytes 16-31
  char revision[5];      // INQUIRY bytes 32-35
  BYTE rest[21];
};
#pragma pack(pop)
static_assert(sizeof(CDDeviceInfo) == 121 && offsetof(CDDeviceInfo, description) == 4 &&
                  offsetof(CDDeviceInfo, vendor) == 69 && offsetof(CDDeviceInfo, product) == 78 &&
                  offsetof(CDDeviceInfo, revision) == 95 && offsetof(CDDeviceInfo, rest) == 100,
              "CDDeviceInfo layout");

// The whole table of contents: offsets[i] is the absolute frame address (lead-in included) of track i + 1,
// offsets[count] the lead-out. Counts audio and data tracks alike.
struct CDTOC {
  UINT32 count;
  UINT32 offsets[100];
};
static_assert(sizeof(CDTOC) == 404 && offsetof(CDTOC, offsets) == 4, "CDTOC layout");

// MSF packed as M << 16 | S << 8 | F.
inline UINT32 PackMSF(UINT32 minutes, UINT32 seconds, UINT32 frames) { return minutes << 16 | seconds << 8 | frames; }
// A length in frames (75 per second) packed the same way.
inline UINT32 PackFrames(UINT32 frames) { return PackMSF(frames / 4500, frames / 75 % 60, frames % 75); }

// One line of a CDDB query answer.
struct CDDBMatch {
  wchar_t category[12];
  wchar_t discId[9];
  wchar_t artist[81];
  wchar_t title[81];
  UINT32 cacheKey;  // the disc serial for a match from the local cache, else 0
  UINT32 exact;     // 1 for the single match of a 200 answer or a cache match
};
static_assert(sizeof(CDDBMatch) == 376 && offsetof(CDDBMatch, cacheKey) == 368, "CDDBMatch layout");

// Reference counts of the CD objects are plain: one thread uses an object at a time.
struct IAudioCD;
struct IAudioCDTrack;

// Implemented by the caller of StartLookup and StartSubmit; its first slot and the one after Release are not
// called.
struct ICDDBCallback : public IUnknown {
  virtual int STDMETHODCALLTYPE SetStatus(const wchar_t* text) = 0;
  // A negative answer cancels.
  virtual int STDMETHODCALLTYPE ChooseMatch(const CDDBMatch* matches, int count, int* chosen) = 0;
  virtual void STDMETHODCALLTYPE Finished(BOOL success) = 0;
};

struct IAudioCDDevices : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCD(int index, IAudioCD** out) = 0;
  // 0 = A:; 0 for an index out of range.
  virtual int STDMETHODCALLTYPE GetDriveNumber(int index) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryDriveNumber(int index, int* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCDByDrive(int driveNumber, IAudioCD** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayName(int index, wchar_t* buf, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved1(void* unused) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved2(void* unused) = 0;
  virtual int STDMETHODCALLTYPE GetCount() = 0;
};

struct IAudioCD : public IUnknown {
  virtual int STDMETHODCALLTYPE GetDriveNumber() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadTOC() = 0;
  // null while there are no audio tracks.
  virtual const CDTOC* STDMETHODCALLTYPE GetTOC() = 0;
  virtual UINT32 STDMETHODCALLTYPE GetSerial() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTrack(UINT32 index, IAudioCDTrack** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTrackFromCDAFile(const wchar_t* path, IAudioCDTrack** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTrackCount(UINT32* out) = 0;
  // "vendor product revision (X:)" with the INQUIRY fields as stored, blanks included.
  virtual bool STDMETHODCALLTYPE GetDisplayName(wchar_t* buf, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartLookup(ICDDBCallback* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartSubmit(ICDDBCallback* callback) = 0;
  virtual bool STDMETHODCALLTYPE GetTitle(wchar_t* buf, int cch) = 0;
  virtual bool STDMETHODCALLTYPE GetArtist(wchar_t* buf, int cch) = 0;
  virtual bool STDMETHODCALLTYPE GetGenre(wchar_t* buf, int cch) = 0;
  virtual bool STDMETHODCALLTYPE GetCategory(wchar_t* buf, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetYear(int* out) = 0;
  virtual bool STDMETHODCALLTYPE GetTrackTitle(UINT32 index, wchar_t* buf, int cch) = 0;
  virtual bool STDMETHODCALLTYPE GetTrackExtended(UINT32 index, wchar_t* buf, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTitle(const wchar_t* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetArtist(const wchar_t* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetGenre(const wchar_t* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCategory(const wchar_t* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetYear(int year) = 0;
  virtual bool STDMETHODCALLTYPE SetTrackTitle(UINT32 index, const wchar_t* text) = 0;
  virtual bool STDMETHODCALLTYPE SetTrackExtended(UINT32 index, const wchar_t* text) = 0;
};

struct ICDDBQuery : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Query() = 0;
  virtual int STDMETHODCALLTYPE GetMatchCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMatch(int index, wchar_t* artist, wchar_t* title) = 0;
  virtual HRESULT STDMETHODCALLTYPE SelectMatch(int index) = 0;
  virtual int STDMETHODCALLTYPE GetResponseCode() = 0;
};

struct IAudioCDTrack : public IUnknown {
  // Leaves the disc's track list and releases the disc.
  virtual HRESULT STDMETHODCALLTYPE Detach() = 0;
  // The length in frames as minutes, seconds, frames; each pointer may be null.
  virtual HRESULT STDMETHODCALLTYPE GetLength(BYTE* minutes, BYTE* seconds, BYTE* frames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCD(IAudioCD** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInfo(CDTrackInfo* out) = 0;
};

}  // namespace cdrip

// The process's CD drive list, enumerated on the first call; one reference per call.
TAVCORE_API HRESULT WINAPI CreateAudioCDDevices(cdrip::IAudioCDDevices** out);
