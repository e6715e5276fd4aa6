// The PureVoice codec library (Qscl.dll) as the engine calls it: its entry point, the identifiers, the records
// it exchanges and the slots of its file object and error interface.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

// Class id of the file object; QsclCreateInstance makes one.
inline constexpr GUID ID_QsclFile = {0x52B19DEA, 0x8EDB, 0x4783, {0x9E, 0x56, 0xC8, 0x04, 0x9F, 0x09, 0x6F, 0xAC}};
inline constexpr GUID IID_IQsclFile = {0x79D11DB9, 0x1208, 0x421E, {0xBF, 0xED, 0xC6, 0x72, 0xD2, 0xCD, 0xD5, 0x50}};
inline constexpr GUID IID_IQsclError = {0x9B9159A1, 0xD6F4, 0x4667, {0x94, 0x88, 0x24, 0x9B, 0x3F, 0x65, 0x92, 0xC7}};
// Format identifiers of the open record: the container that is read and the samples it is decoded to.
inline constexpr GUID ID_QsclFormatQcp = {0xEE94E068, 0x94F7, 0x4AAF, {0xAA, 0x87, 0x1F, 0x7B, 0xEE, 0x57, 0x5C, 0x09}};
inline constexpr GUID ID_QsclFormatPcm = {0x8E7AD2F2, 0xDE1A, 0x4688, {0xA0, 0x04, 0x86, 0xB1, 0xDA, 0x4C, 0x53, 0x13}};

struct QSCL_OPEN_PARAMS {
  DWORD size;  // sizeof(QSCL_OPEN_PARAMS): the library refuses records it does not know
  // In the ANSI code page: the library opens it with the narrow file functions.
  const char* path;
  GUID fileFormat;    // ID_QsclFormatQcp
  GUID decodeFormat;  // ID_QsclFormatPcm
  DWORD samplesPerSecond;
  DWORD bitsPerSample;
};
static_assert(offsetof(QSCL_OPEN_PARAMS, path) == 8 && offsetof(QSCL_OPEN_PARAMS, fileFormat) == 16 &&
                  offsetof(QSCL_OPEN_PARAMS, samplesPerSecond) == 48 && sizeof(QSCL_OPEN_PARAMS) == 56,
              "open record layout");

struct QSCL_STREAM_INFO {
  DWORD size;             // set by the caller to sizeof(QSCL_STREAM_INFO)
  DWORD samplesPerFrame;  // decoded samples of one frame
  DWORD samplesPerSecond;
  DWORD bitsPerSecond;  // of the coded stream
};
static_assert(sizeof(QSCL_STREAM_INFO) == 16, "stream information layout");

// One open QCP file. The last Release closes it.
struct IQsclFile : public IUnknown {
  // Failure: the error interface's last code says why.
  virtual HRESULT STDMETHODCALLTYPE Open(const QSCL_OPEN_PARAMS* params) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFrameCount(DWORD* frames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamInfo(QSCL_STREAM_INFO* info) = 0;
  // The next read starts at this frame (0-based).
  virtual HRESULT STDMETHODCALLTYPE Seek(DWORD frame) = 0;
  // Decodes up to `frames` frames into `samples`, which must hold frames × samples per frame. Returns the
  // number of samples written, 0 at the end of the file, or a negative error.
  virtual long STDMETHODCALLTYPE ReadFrames(short* samples, DWORD frames) = 0;
};

// Obtained from the file object.
struct IQsclError : public IUnknown {
  // The code of the last failed call of the file object, 0 when none failed.
  virtual long STDMETHODCALLTYPE GetLastErrorCode() = 0;
};

// The library's one export, "QsclCreateInstance": the object of classId, through its interface iid.
using QsclCreateInstanceFunction = HRESULT(WINAPI*)(REFCLSID classId, REFIID iid, void** out);
