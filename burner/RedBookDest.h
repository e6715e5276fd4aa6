// The burner's conversion destination: PCM of any format in, CD audio (44.1 kHz, 16-bit stereo) out into a
// staging file that the burn job reads back in whole sectors.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>

#include "tavcore.h"
#include "tavcore_guids.h"
#include "RefCounted.h"

// What GetClassId reports.
inline constexpr GUID CLSID_RedBookDest = {
    0x520CCA63, 0x51A5, 0x11D3, {0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E}};

class CRedBookDest : public CRefCounted<IConvertDestination, IID_IConvertDestination, CRedBookDest> {
 public:
  // The CD audio format every block is converted to.
  static const WAVEFORMATEX kCdAudioFormat;

  CRedBookDest() = default;
  // Closes the conversion stream and the staging file, and deletes the file.
  ~CRedBookDest() override;
  CRedBookDest(const CRedBookDest&) = delete;
  CRedBookDest& operator=(const CRedBookDest&) = delete;


  int STDMETHODCALLTYPE GetFormatIndex() override;
  int STDMETHODCALLTYPE SetFormatIndex(int row) override;
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override;
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override;
  // Opens the conversion stream when the input is not CD audio, then creates the staging file.
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  // Closes the conversion stream, flushes the staging file and rewinds it; the file stays open.
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE SetSource(IConvertSource* src) override;
  bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) override;
  bool STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) override;
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) override;
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) override;
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override;

  // The staging file for the burn job: open (positioned at its start after Close) or null.
  FILE* StagingFile() const { return staging; }
  // Its full path; empty before Open.
  const wchar_t* StagingPath() const { return stagingPath; }
  // Whether blocks go through ACM (the input is not CD audio).
  bool Converts() const { return stream != nullptr; }

 private:
  void LogError(const wchar_t* format, ...);
  void CloseStream();
  void CloseStaging();
  bool Store(const void* data, size_t size);

  friend class CRefCounted<IConvertDestination, IID_IConvertDestination, CRedBookDest>;  // deletes it at the last Release
  IConvertCallback* callback = nullptr;  // borrowed
  wchar_t stagingPath[MAX_PATH] = {};
  FILE* staging = nullptr;
  WAVEFORMATEX input = {};  // the first 18 bytes of the caller's record
  HACMSTREAM stream = nullptr;
};
