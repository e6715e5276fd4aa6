// CMainDlg: the "Voxcap" window around the recording engine: source, format, quality and output name, tags,
// scheduled start and stop, silence option, the transport buttons, status and level meter.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "AutoDlg.h"
#include "Dialog.h"
#include "LevelMeter.h"
#include "MetadataDlg.h"
#include "Mixer.h"
#include "QuietCallback.h"
#include "Recorder.h"
#include "tavcore.h"

class CMainDlg final : public CDialog, public CQuietCallback, public IRecorderEvents {
 public:
  // Timer ids: the meter (100 ms), the status while recording (500 ms), the start and stop schedules (1 s).
  static constexpr UINT_PTR kMeterTimer = 1, kStatusTimer = 2, kStartTimer = 3, kStopTimer = 4;
  // The address behind the output file's help link (before the referrer is added).
  static const wchar_t kHelpAddress[];

  // Opens a web address for the user; tests replace it.
  static void (*openLink)(HWND owner, const wchar_t* address);
  // Asks for a folder (the title is the question); false when the user cancels. Tests replace it.
  static bool (*pickFolder)(HWND owner, const wchar_t* title, std::wstring* folder);

  explicit CMainDlg(IClock& clock = SystemClock());
  ~CMainDlg();

  // The program's window: returns when the user closes it.
  INT_PTR Run();
  // The same window without its own message loop (tests dispatch for it); closing destroys it.
  HWND Create();

  bool IsRecording() const { return recorder.IsRecording(); }
  // The output path of the latest recording.
  const std::wstring& LastOutputPath() const { return lastOutputPath; }
  const RecordingTags& Tags() const { return tags; }
  const CLevelMeter& Meter() const { return meter; }

  // IConvertCallback: the destination's errors (they may come from the encoder thread) become messages.
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override;

  // IRecorderEvents: from the capture and encoder threads; handled on the window's thread.
  void OnRecorderMessage(const std::wstring& text, const std::wstring& caption, UINT icon) override;
  void OnStopWanted() override;

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Notice {
    std::wstring text, caption;
    UINT type;
  };

  void OnInit();
  void OnCommand(int id, int code);
  void OnTimer(UINT_PTR id);
  void OnScroll(HWND slider);
  void OnClose();

  void FillDevices();
  UINT Device() const;
  void OnDeviceChange();
  void OpenMixer();
  void OnLineChange();
  void ShowLineVolume();

  void FillFormats(const std::wstring& lastFormat);
  void OnFormatChange();
  bool ApplyFormat(UINT32 row);
  bool HasQualityPresets() const;
  void FillQuality();
  void OnQualityChange();
  void ApplyQuality(int preset);
  void RefreshSettingsText();
  void UpdateTagOptions();
  void OnChangeSettings();
  void OnBrowse();
  void OnEditTags();

  void OnAutoBox(bool start);
  void OnAutoSetup(bool start, bool arm);
  void ApplySchedule(bool start, const Schedule& schedule);

  void SetTolerance(int position);

  bool StartRecording();
  void StopRecording();
  void OnPause();
  static void ShowStopStatus(void* context, const wchar_t* text);

  std::wstring StatusText();
  void RefreshStatus();
  void RefreshSize();
  void UpdateButtons();
  void OnMeterTimer();

  void Post(const Notice& notice);
  void ShowNotices();
  void OfferRecovery();
  void Message(const wchar_t* text, const wchar_t* caption, UINT type);

  IClock& clock;
  CRecorder recorder{this};
  CMixer mixer;
  CLevelMeter meter;
  bool modal = false;

  IConvertDestination* destination = nullptr;
  CONVFORMAT format = {};
  int formatItem = -1;  // restored when a change is refused
  int qualityItem = 0;

  RecordingTags tags;
  Schedule startSchedule, stopSchedule;
  ULONGLONG startArmedTick = 0, recordingStartTick = 0;
  std::wstring lastOutputPath;

  std::mutex noticeLock;
  std::deque<Notice> notices;
  std::atomic<HWND> noticeWindow{nullptr};  // read by the engine's threads
  bool showingNotices = false;
};
