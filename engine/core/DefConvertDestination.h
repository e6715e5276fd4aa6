// Base of every destination: file name, format row, the PCM it receives, the source it converts from.
#pragma once

#include <string>

#include "DefErrLog.h"
#include "RefCounted.h"
#include "tavcore.h"

class CDefConvertDestination : public CRefCounted<IConvertDestination, IID_IConvertDestination>, public CDefErrLog {
 public:
  // Room in the caller's buffer for the text of a refused option.
  static constexpr int kOptionErrorCapacity = 256;

  ~CDefConvertDestination() override;

  int STDMETHODCALLTYPE GetFormatIndex() override { return formatIndex; }
  int STDMETHODCALLTYPE SetFormatIndex(int row) override { return formatIndex = row; }
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override;
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override;
  // Creates the folder chain and settles an existing file; concrete classes call it first.
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32, const void*) override { return true; }
  bool STDMETHODCALLTYPE Close() override { return true; }
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE SetSource(IConvertSource* src) override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* fmt) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override { callback = cb; }

 protected:
  CDefConvertDestination() = default;
  // Closes, logs the message and returns false: how every failing step of Open ends.
  bool Fail(const std::wstring& message);

  int formatIndex = -1;
  wchar_t fileName[MAX_PATH] = {};
  WAVEFORMATEX format = {};
  IConvertSource* source = nullptr;  // owned reference
  UINT32 framesWritten = 0;
};
