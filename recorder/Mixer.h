// The platform mixer of a wave-input device: its recording line, the selector of that line's sources, and each
// source's volume.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

// The mixer functions used; tests put a double of a sound card's mixer behind them.
struct MixerFunctions {
  decltype(&mixerOpen) open;
  decltype(&mixerClose) close;
  decltype(&mixerGetLineInfoW) getLineInfo;
  decltype(&mixerGetLineControlsW) getLineControls;
  decltype(&mixerGetControlDetailsW) getControlDetails;
  decltype(&mixerSetControlDetails) setControlDetails;
};
extern MixerFunctions mixerFunctions;

class CMixer {
 public:
  static constexpr DWORD kFullVolume = 65535;

  struct Source {
    std::wstring name;
    DWORD lineId = 0;
    DWORD volumeControl = 0;  // 0: the line has no volume control
  };

  CMixer() = default;
  ~CMixer() { Close(); }
  CMixer(const CMixer&) = delete;
  CMixer& operator=(const CMixer&) = delete;

  // Opens the mixer of the wave-input device and reads its recording line's selector; false when the device
  // has no mixer, no recording line or no selector (Sources() is then empty).
  bool Open(UINT waveInDevice);
  void Close();

  const std::wstring& DestinationName() const { return destinationName; }
  const std::vector<Source>& Sources() const { return sources; }
  // The index of the selected source, or -1.
  int SelectedSource() const;
  // Makes that source the only selected one.
  bool SelectSource(int index);
  bool HasVolume(int index) const;
  bool GetVolume(int index, DWORD* value) const;
  bool SetVolume(int index, DWORD value);

 private:
  HMIXER mixer = nullptr;
  std::wstring destinationName;
  DWORD selectorControl = 0;
  std::vector<Source> sources;
};
