// Decodes PureVoice QCP files to PCM through the outside PureVoice codec library, loaded while a file is open.
#pragma once

#include <windows.h>

#include "ComPtr.h"
#include "DefConvertSource.h"
#include "Qscl.h"
#include "UniqueHandles.h"

class CQCPConvSource : public CDefConvertSource {
 public:
  ~CQCPConvSource() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  // Releases the library's objects and unloads it.
  bool STDMETHODCALLTYPE Close() override;

  static IConvertSource* Create() { return new CQCPConvSource(); }

 private:
  CQCPConvSource() = default;
  bool OpenFile();

  UniqueModule library;
  QsclCreateInstanceFunction createInstance = nullptr;
  ComPtr<IQsclFile> file;
  ComPtr<IQsclError> errors;
  DWORD samplesPerFrame = 0;
  DWORD frameCount = 0;
};
