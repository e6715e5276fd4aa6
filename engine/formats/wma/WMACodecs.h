// What the engine asks of the SDK's codec information for audio: codecs, their formats under an encoding
// mode's enumeration settings, and profiles built from a settings record.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ComPtr.h"

struct WMASETTINGS {
  uint32_t codec = 0;
  uint32_t format = 0;
  uint32_t mode = 0;          // 0 CBR, 1 quality VBR, 2 two-pass VBR (average), 3 two-pass CBR
  uint32_t maxBitrate = 0;    // kbps, 0 none; variable bit rate only
  uint32_t bufferWindow = 0;  // ms, 0 the format's own
};
static_assert(sizeof(WMASETTINGS) == 20 && offsetof(WMASETTINGS, bufferWindow) == 16, "the stored record is 20 bytes");

constexpr uint32_t kWmaModes = 4;
bool ModeIsVbr(uint32_t mode);
DWORD ModePasses(uint32_t mode);

// One format of a codec under one mode, as the format lists of the settings hold it.
struct WMAFormatEntry {
  uint32_t mode;
  DWORD format;
  DWORD bitrate;  // bits per second
  DWORD sampleRate;
  WORD channels;
  WORD bits;
  bool lowDelay;
  DWORD quality;  // quality-based variable bit rate: 0 to 100
  std::wstring description;
};

class WMACodecInfo {
 public:
  // A profile manager and its codec information; false (with the code) when the SDK cannot give them.
  HRESULT Open();
  IWMProfileManager* Manager() const { return manager.Get(); }

  DWORD CodecCount();
  std::wstring CodecName(DWORD codec);
  // The mode's "_VBRENABLED" and "_PASSESUSED" enumeration settings, applied to the codec.
  HRESULT ApplyMode(DWORD codec, uint32_t mode);
  DWORD FormatCount(DWORD codec);
  HRESULT Format(DWORD codec, DWORD format, IWMStreamConfig** config, std::wstring* description);
  // The codec's formats under each mode 0 to 3, leaving out those for audio with video ("(A/V)").
  std::vector<WMAFormatEntry> ListFormats(DWORD codec);

 private:
  ComPtr<IWMProfileManager> manager;
  ComPtr<IWMCodecInfo3> info;
};

// The wave format of a stream configuration (its media type's WAVEFORMATEX, up to 18 bytes of it).
bool StreamWaveFormat(IWMStreamConfig* config, WAVEFORMATEX& format);

// The profile of a record: its codec's format under its mode, with the maximum bit rate and buffer window.
HRESULT BuildProfile(WMACodecInfo& codecs, const WMASETTINGS& settings, IWMProfile** profile);
// Windows Media Audio 9, 128 kbps, variable bit rate: what is used when the record is not valid.
HRESULT LoadDefaultProfile(IWMProfileManager* manager, IWMProfile** profile);
// The record a profile's first audio stream describes; false when no installed codec format matches it.
bool SettingsFromProfile(WMACodecInfo& codecs, IWMProfile* profile, WMASETTINGS& settings);

// The stored record, checked against the installed codecs as the destination and the dialog load it.
void LoadWmaSettings(WMASETTINGS& record);
void SaveWmaSettings(const WMASETTINGS& record);
// Forgets the process-wide last valid choice (tests that change the installed codecs).
void ResetWmaLastValid();
