// Encodes PCM into Windows Media Audio files through the Windows Media Format SDK's writer, in one pass or with
// the encoder's preprocessing passes (the PCM of the first pass is kept in a pass file and replayed).
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include "ComPtr.h"
#include "DefConvertDestination.h"
#include "TempPcmFile.h"
#include "WMASettingsDlg.h"

class CWMAConvDest : public CDefConvertDestination {
 public:
  CWMAConvDest();
  ~CWMAConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;

  static IConvertDestination* Create() { return new CWMAConvDest(); }
  WMASETTINGS& Settings() { return settings.settings; }

 private:
  bool OpenWriter();
  bool FindAudioInput();
  bool DescribeInput();
  bool WriteBlock(UINT32 size, const void* data);
  void ReplayPasses(bool& cancelled, bool& empty);
  // Logs the message with the code, then the platform's description of the code.
  void ReportSdkError(const wchar_t* message, HRESULT hr);
  bool FailSdk(const wchar_t* message, HRESULT hr);

  CWMASettingsDlg settings;
  ComPtr<IWMWriter> writer;
  ComPtr<IWMWriterPreprocess> preprocess;
  DWORD audioInput = 0;
  DWORD passesLeft = 0;
  DWORD passesPlanned = 0;
  bool writeFailed = false;  // a block or the end of writing failed: the file is not complete
  unsigned long long bytesWritten = 0;
  QWORD time = 0;  // presentation time of the next sample, 100-ns units
  bool writing = false;
  bool copyingToPassFile = false;
  TempPcmFile passFile;
};
