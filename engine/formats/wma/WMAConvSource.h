// Decodes Windows Media files (and MP3) to PCM through the Windows Media Format SDK's synchronous reader.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include "ComPtr.h"
#include "DefConvertSource.h"

class CWMAConvSource : public CDefConvertSource {
 public:
  ~CWMAConvSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;

  static IConvertSource* Create() { return new CWMAConvSource(); }

 private:
  CWMAConvSource() = default;
  bool FindAudioOutput();
  void ReadDuration();

  ComPtr<IWMSyncReader> reader;
  DWORD audioOutput = 0;
  WORD streamNumber = 0;  // 0: not known, samples of every stream are read and filtered by output
  QWORD duration = 0;     // 100-ns units
};
