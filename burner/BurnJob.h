// The burn job: stages the list of sources as audio tracks, or as MP3 / Windows Media files of a Joliet data
// disc, through a disc master (IMAPI v1) and records the disc, reporting through the progress window's
// IConvertCallback.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Imapi.h"
#include "tavcore.h"
#include "RefCounted.h"

enum BurnFormat { kBurnRedBook = 1, kBurnMp3 = 2, kBurnWindowsMedia = 3 };

struct BurnEntry {
  std::wstring path;
  IConvertSource* source = nullptr;  // owned reference
};

// One recording's list; owns the sources it makes.
class BurnJob {
 public:
  BurnJob() = default;
  ~BurnJob();
  BurnJob(const BurnJob&) = delete;
  BurnJob& operator=(const BurnJob&) = delete;

  // Makes the engine's source for the file; the engine's result when it cannot.
  HRESULT AddFile(const std::wstring& path);

  int format = kBurnRedBook;
  int speed = 0;             // times CD speed; 0 leaves the recorder at its fastest
  std::wstring volumeLabel;  // at most 32 characters
  std::vector<BurnEntry> entries;
};

enum class BurnOutcome { Completed, Cancelled, Failed };

// Red Book staging of every entry through `master`. Stops at the first failure or cancel; the tracks must
// all fit on the disc (checked before the first track, and whenever the image reports a full disc).
BurnOutcome StageRedBook(IDiscMaster* master, const BurnJob& job, IConvertCallback* callback);

// Joliet staging (formats 2 and 3): each entry converted to the target format unless it already has it, as
// "TRACKnnn.mp3" / ".wma" in list order, converted files kept in the "CDCache" folder when "UseCDCache" is on.
// An entry that cannot be converted, or a file the image refuses (a full disc among them), stops the staging.
BurnOutcome StageJoliet(IDiscMaster* master, const BurnJob& job, IConvertCallback* callback);

// Steps 4-9 of recording on an opened disc master: sets the recorder, advises `events` (may be null),
// stages, sets the speed, records (simulate = test mode) and reports the outcome in the callback's log and texts. The
// staged content is cleared at the end whatever happened, so no staging file stays behind.
BurnOutcome RecordCD(IDiscMaster* master, IDiscRecorder* recorder, const BurnJob& job, IConvertCallback* callback,
                     IDiscMasterProgressEvents* events, bool testMode);

// IMAPI's progress events as a progress window shows them through its IConvertCallback: the cancel flag,
// block progress (range before position, which would otherwise be clipped to the old range), track and
// closing texts. Pending window messages are dispatched where the window would. IUnknown is left to the
// class that is the COM object.
class CBurnEventMapping : public IDiscMasterProgressEvents {
 public:
  virtual ~CBurnEventMapping() = default;

  HRESULT STDMETHODCALLTYPE QueryCancel(boolean* cancel) override;
  HRESULT STDMETHODCALLTYPE NotifyPnPActivity() override;
  HRESULT STDMETHODCALLTYPE NotifyAddProgress(long completedSteps, long totalSteps) override;
  HRESULT STDMETHODCALLTYPE NotifyBlockProgress(long completed, long total) override;
  HRESULT STDMETHODCALLTYPE NotifyTrackProgress(long currentTrack, long totalTracks) override;
  HRESULT STDMETHODCALLTYPE NotifyPreparingBurn(long estimatedSeconds) override;
  HRESULT STDMETHODCALLTYPE NotifyClosingDisc(long estimatedSeconds) override;
  HRESULT STDMETHODCALLTYPE NotifyBurnComplete(HRESULT status) override;
  HRESULT STDMETHODCALLTYPE NotifyEraseComplete(HRESULT status) override;

  // Dispatches the thread's pending messages.
  virtual void PumpMessages();

 protected:
  IConvertCallback* eventsCallback = nullptr;  // borrowed; set by the deriving class
};

// The mapping as a COM object of its own, for any IConvertCallback.
class CBurnProgressEvents : public CRefCounted<CBurnEventMapping, IID_IDiscMasterProgressEvents, CBurnProgressEvents> {
 public:
  explicit CBurnProgressEvents(IConvertCallback* callback) { eventsCallback = callback; }

 private:
  friend class CRefCounted<CBurnEventMapping, IID_IDiscMasterProgressEvents, CBurnProgressEvents>;  // deletes it
};
