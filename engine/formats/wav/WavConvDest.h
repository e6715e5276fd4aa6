// Writes WAV files: PCM as it comes, or encoded through one or two ACM stages into the chosen codec.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include "ACMconverter.h"
#include "DefConvertDestination.h"
#include "FileStream.h"
#include "WAVSettings.h"

class CWavConvDest : public CDefConvertDestination {
 public:
  CWavConvDest();
  ~CWavConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  // The finished file's LIST/INFO chunk, which the job fills after Close.
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;

  static IConvertDestination* Create() { return new CWavConvDest(); }

  // The settings the next Open uses (the dialog object keeps them).
  WAVSETTINGS& Settings() { return settings.settings; }

 private:
  bool OpenStages(FormatBytes& fileFormat);
  bool WriteHeaders(const FormatBytes& fileFormat);
  // Appends encoded bytes to the "data" chunk; logs why when it cannot (a full disk, the 4 GB limit).
  bool WriteData(const void* data, DWORD size);
  bool FinishFile();
  void ReportWriteFailure();
  static bool WriteToFile(const void* data, DWORD size, void* userData);
  static bool FeedStage(const void* data, DWORD size, void* userData);

  ACMconverter stage1;
  ACMconverter stage2;
  CWAVSettings settings;
  CFileStream file;
  bool dataOpen = false;
  bool writeFailed = false;             // the reason has been logged
  unsigned long long dataStart = 0;     // file position of the "data" payload
  unsigned long long dataBytes = 0;     // bytes written to it
  unsigned long long factPosition = 0;  // of the frame count, 0 for PCM files (they have no "fact" chunk)
  DWORD outputRate = 0;                 // sample rate of the file, for its frame count
  WAVSETTINGS current;
};
