// Base of every source: file name, format row, open state, data size and the PCM format it delivers.
#pragma once

#include <string>

#include "DefErrLog.h"
#include "RefCounted.h"
#include "tavcore.h"

class CDefConvertSource : public CRefCounted<IConvertSource, IID_IConvertSource>, public CDefErrLog {
 public:
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override;
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override;
  int STDMETHODCALLTYPE GetFormatIndex() override { return formatIndex; }
  int STDMETHODCALLTYPE SetFormatIndex(int row) override { return formatIndex = row; }
  bool STDMETHODCALLTYPE GetFileTitle(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE GetFolder(wchar_t* buf, int cch) override;
  // Concrete classes call this first, then parse; on any failure they Close before returning false.
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE SetStartTime(int ms) override;
  // Concrete classes call this first and decode only when it succeeds.
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE GetDataSize(UINT32* bytes, int startMs, int endMs) override;
  bool STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* out) override;
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override { callback = cb; }

 protected:
  CDefConvertSource() = default;
  // Closes, logs the message and returns false: how every failing step of Open ends.
  bool Fail(const std::wstring& message);

  int startTimeMs = -1;  // -1 or 0: from the beginning
  wchar_t fileName[MAX_PATH] = {};
  UINT32 dataSize = 0;  // PCM bytes the source delivers
  WAVEFORMATEX format = {};
  BOOL opened = FALSE;
  int formatIndex = -1;
};

// a * b / c with a 64-bit product, rounded to the nearest (the platform's MulDiv on 32-bit values).
UINT32 MulDivRounded(UINT32 a, UINT32 b, UINT32 c);
