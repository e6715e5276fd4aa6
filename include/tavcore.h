// The engine's public contract: interfaces in slot order, records with fixed layouts, the exported functions.
// The three programs and the shell extension include only this header.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <unknwn.h>

#include <cstddef>
#include <cstdint>

#include "tavcore_guids.h"

// Exports carry plain names (module-definition file); the x64 calling convention is the same for all.
#define TAVCORE_API extern "C"

static_assert(sizeof(WAVEFORMATEX) == 18, "the PCM format record is the packed 18-byte layout");
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 && offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8 &&
                  offsetof(WAVEFORMATEX, nBlockAlign) == 12 && offsetof(WAVEFORMATEX, wBitsPerSample) == 14 &&
                  offsetof(WAVEFORMATEX, cbSize) == 16,
              "WAVEFORMATEX field offsets");

struct IMetadata;

// ---------------------------------------------------------------------------------------------------------------
// Callbacks implemented by the front ends. The engine borrows them and never takes ownership.

// Progress, log lines, overwrite confirmation and cancellation for one job. Called on the job's worker thread.
struct IConvertCallback {
  // Asked when the output file exists; nonzero = replace it.
  virtual BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t* path) = 0;
  virtual void STDMETHODCALLTYPE Log(const wchar_t* text) = 0;
  // style holds letters: "e" error, "i" information, "b" bold, "k" highlight. Texts end in "\n".
  virtual void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) = 0;
  virtual void STDMETHODCALLTYPE SetProgressRange(int max) = 0;  // byte counts
  virtual void STDMETHODCALLTYPE SetProgressPos(int pos) = 0;
  virtual void STDMETHODCALLTYPE StepProgress(int step) = 0;
  virtual void STDMETHODCALLTYPE SetStatusText(const wchar_t* text) = 0;
  virtual BOOL STDMETHODCALLTYPE IsCancelled() = 0;
  // isPath asks the front end to shorten the text as a path.
  virtual void STDMETHODCALLTYPE SetCurrentFile(const wchar_t* text, BOOL isPath) = 0;
};

// The PCM sink. Returning false stops the producer.
struct IPlayCallback {
  virtual bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) = 0;
};

// ---------------------------------------------------------------------------------------------------------------
// Sources and destinations. Operations return true/false and have logged the reason through the callback
// (style "e") on failure. Reference counts are plain: one thread uses an object at a time.

struct IConvertSource : public IUnknown {
  // false (name kept) when the path is longer than 259 characters.
  virtual bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) = 0;
  // false when buf is null or cch is not larger than the name's length.
  virtual bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) = 0;
  virtual int STDMETHODCALLTYPE GetFormatIndex() = 0;
  virtual int STDMETHODCALLTYPE SetFormatIndex(int row) = 0;
  virtual bool STDMETHODCALLTYPE GetClassId(GUID* out) = 0;
  // File-name part of the path, truncated to cch; false when no name is set.
  virtual bool STDMETHODCALLTYPE GetFileTitle(wchar_t* buf, int cch) = 0;
  // The path without its last element; false when nothing remains.
  virtual bool STDMETHODCALLTYPE GetFolder(wchar_t* buf, int cch) = 0;
  // Parses the file and fixes the PCM format and data size; a failed Open leaves the object closed.
  virtual bool STDMETHODCALLTYPE Open() = 0;
  virtual bool STDMETHODCALLTYPE SetStartTime(int ms) = 0;
  // Decodes from the start time to the end into the sink; false at once when the sink refuses.
  virtual bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) = 0;
  virtual bool STDMETHODCALLTYPE Close() = 0;
  // One reference to the metadata object of the source's file, for formats with tags.
  virtual bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) = 0;
  // PCM bytes between startMs and endMs (-1 = open end), clipped to the data.
  virtual bool STDMETHODCALLTYPE GetDataSize(UINT32* bytes, int startMs, int endMs) = 0;
  virtual bool STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* out) = 0;
  virtual void STDMETHODCALLTYPE SetCallback(IConvertCallback* callback) = 0;
  virtual ~IConvertSource() = default;
};

struct IConvertDestination : public IUnknown {
  virtual int STDMETHODCALLTYPE GetFormatIndex() = 0;
  virtual int STDMETHODCALLTYPE SetFormatIndex(int row) = 0;
  virtual bool STDMETHODCALLTYPE GetClassId(GUID* out) = 0;
  virtual bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) = 0;
  virtual bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) = 0;
  // Creates the output folder chain and settles an existing file (ConfirmOverwrite) before writing headers.
  virtual bool STDMETHODCALLTYPE Open() = 0;
  // Note the order: byte count first, data second (the sink has the opposite order).
  virtual bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) = 0;
  virtual bool STDMETHODCALLTYPE Close() = 0;
  // After Close: the metadata object of the finished file, for formats with tags.
  virtual bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) = 0;
  // Takes a reference to src and releases the previous one; null releases and returns false.
  virtual bool STDMETHODCALLTYPE SetSource(IConvertSource* src) = 0;
  virtual bool STDMETHODCALLTYPE EstimateSize(UINT32 srcBytes, const WAVEFORMATEX* srcFormat, UINT32* outBytes) = 0;
  virtual bool STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) = 0;
  // Modal settings dialog; on OK the settings are copied into every destination of the null-terminated list.
  virtual bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** alsoApplyTo) = 0;
  virtual bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) = 0;
  // Unknown name: false with errorText empty; bad value: false with a message in errorText.
  virtual bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* errorText) = 0;
  virtual void STDMETHODCALLTYPE SetCallback(IConvertCallback* callback) = 0;
  virtual ~IConvertDestination() = default;
};

// ---------------------------------------------------------------------------------------------------------------
// Format table and factory

// One row of the format table; lookups copy a whole row into the caller's record.
struct CONVFORMAT {
  wchar_t extensions[260];  // ".ext" strings, each NUL-terminated, the list ended by an empty string
  wchar_t description[260]; // from the current resources at every copy-out
  UINT32 descriptionId;
  UINT32 flags;
  wchar_t name[16];         // unique short name
  const GUID* sourceClass;  // null: cannot be read
  const GUID* destinationClass;  // null: cannot be written
};
static_assert(offsetof(CONVFORMAT, description) == 520 && offsetof(CONVFORMAT, descriptionId) == 1040 &&
                  offsetof(CONVFORMAT, flags) == 1044 && offsetof(CONVFORMAT, name) == 1048 &&
                  offsetof(CONVFORMAT, sourceClass) == 1080 && offsetof(CONVFORMAT, destinationClass) == 1088 &&
                  sizeof(CONVFORMAT) == 1096,
              "CONVFORMAT layout");

constexpr UINT32 kConvFormatCount = 17;

TAVCORE_API UINT32 WINAPI ConvGetFormatCount();
TAVCORE_API HRESULT WINAPI ConvGetFormatAt(CONVFORMAT* out, UINT32 index);
TAVCORE_API HRESULT WINAPI ConvGetFormatOf(CONVFORMAT* out, const wchar_t* path);
TAVCORE_API HRESULT WINAPI ConvGetFormatByName(CONVFORMAT* out, const wchar_t* name);
TAVCORE_API UINT32 WINAPI ConvGetFormatPos(const CONVFORMAT* format);
TAVCORE_API HRESULT WINAPI ConvCreateSource(const CONVFORMAT* format, IConvertSource** out);
TAVCORE_API HRESULT WINAPI ConvCreateDest(const CONVFORMAT* format, IConvertDestination** out);

// ---------------------------------------------------------------------------------------------------------------
// Settings store (HKCU\Software\Quennet\Tavrel) and engine start-up

// An open section key the caller must close, or null.
TAVCORE_API HKEY WINAPI GetSectionKey(const wchar_t* section);
// Readers leave the caller's default in place on any failure.
TAVCORE_API BOOL WINAPI ReadPInt(const wchar_t* section, const wchar_t* name, int* value);
// dst needs room for 512 characters; strings over 1024 bytes (511 characters) cannot be read.
TAVCORE_API BOOL WINAPI ReadPString(const wchar_t* section, const wchar_t* name, wchar_t* dst);
// *size: room in data on entry, bytes read on success.
TAVCORE_API BOOL WINAPI GetProfileBinary(const wchar_t* section, const wchar_t* name, void* data, UINT32* size);
TAVCORE_API BOOL WINAPI WritePInt(const wchar_t* section, const wchar_t* name, int value);
// name null: deletes the section; value null: deletes the value.
TAVCORE_API BOOL WINAPI WritePString(const wchar_t* section, const wchar_t* name, const wchar_t* value);
TAVCORE_API BOOL WINAPI PutProfileBinary(const wchar_t* section, const wchar_t* name, const void* data, UINT32 size);
// Opens the store once per process; with languagePack non-null, loads the pack named in the settings.
TAVCORE_API HRESULT WINAPI InitAC(const wchar_t* appId, HMODULE* languagePack);
// buf: room for 260 characters. Returns buf.
TAVCORE_API wchar_t* WINAPI ACTempPath(wchar_t* buf);
// null stops any sound that is playing.
TAVCORE_API BOOL WINAPI PlayEventSound(const wchar_t* eventName);
// The URL with "?ref=<referrer id>" appended; one process-wide buffer, valid until the next call.
TAVCORE_API const wchar_t* WINAPI AddReferer(const wchar_t* url);
TAVCORE_API BOOL WINAPI _SHOpen(HWND owner, const wchar_t* file, const wchar_t* parameters);
// longDate: room for 256 characters ("MMMM d, yyyy"); shortDate: room for 10 ("yyMMdd").
TAVCORE_API void WINAPI GetTavcoreDllDateString(wchar_t* longDate, wchar_t* shortDate);

// ---------------------------------------------------------------------------------------------------------------
// Normalizer: two passes, Analyze on every block, then Process on every block. Not reference-counted.

struct INormalizer {
  virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;
  // 8- or 16-bit PCM, one or two channels.
  virtual HRESULT STDMETHODCALLTYPE Init(const WAVEFORMATEX* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE Analyze(UINT32 size, const void* data) = 0;
  // in and out may be the same buffer.
  virtual HRESULT STDMETHODCALLTYPE Process(UINT32 size, const void* in, void* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetGain(double* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetGain(double gain) = 0;
};

TAVCORE_API HRESULT WINAPI CreateNormalizer(INormalizer** out);
#include "tavcore_metadata.h"
