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

// Reading the PCM of an opened source from any byte position, as often as wanted (for previews); asked for with
// QueryInterface on the source.
struct IPositionedSource : public IUnknown {
  // Copies up to size bytes of the decoded PCM from byte offset `offset` (rounded down to a whole frame) into
  // buffer; *read receives the count, 0 at the end of the audio. false (logged) when decoding fails.
  virtual bool STDMETHODCALLTYPE ReadAt(UINT32 offset, void* buffer, UINT32 size, UINT32* read) = 0;
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
  wchar_t extensions[260];   // ".ext" strings, each NUL-terminated, the list ended by an empty string
  wchar_t description[260];  // from the current resources at every copy-out
  UINT32 descriptionId;
  UINT32 flags;
  wchar_t name[16];              // unique short name
  const GUID* sourceClass;       // null: cannot be read
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
// Edits the stored default encoder settings of the format's destination: 0 after OK, 0x80004004 after
// Cancel, 1 when the format has no such settings.
TAVCORE_API HRESULT WINAPI ConvDefOutputSettings(HWND parent, const CONVFORMAT* format);
// The one-line description of the stored defaults; 0x80004005 when the format has no such settings.
TAVCORE_API HRESULT WINAPI ConvDefOutputSettingsString(wchar_t* buf, int cch, const CONVFORMAT* format);

// ---------------------------------------------------------------------------------------------------------------
// Conversion job

// What the job does beside converting: trimming silence at either end and linear fades.
struct CONVOPTIONS {
  UINT8 trimLeadingSilence;
  UINT8 trimTrailingSilence;
  INT32 fadeInMs;   // <= 0: none
  INT32 fadeOutMs;  // <= 0: none
};
static_assert(offsetof(CONVOPTIONS, fadeInMs) == 4 && offsetof(CONVOPTIONS, fadeOutMs) == 8 &&
                  sizeof(CONVOPTIONS) == 12,
              "CONVOPTIONS layout");

// The value of `normalize` that asks for the analysed gain without a place to return it.
#define TAVCORE_NORMALIZE_ANALYSED (reinterpret_cast<double*>(static_cast<UINT_PTR>(1)))

// Converts src into dst on a worker thread while the calling thread keeps dispatching its window messages.
// normalize: null = off; TAVCORE_NORMALIZE_ANALYSED; or a double holding 0.0 (use the analysed gain) or a
// fixed gain, which receives the analysed gain. startMs/endMs: -1 = the beginning/the end.
// 0 on success; 0x80070057 for a null src, dst or cb; 0x80004005 on failure or cancellation.
TAVCORE_API HRESULT WINAPI AudioConvert(IConvertSource* src, IConvertDestination* dst, IConvertCallback* cb,
                                        const CONVOPTIONS* options, double* normalize, int startMs, int endMs);
// Adds a finished file to the platform media player's library when "Settings"/"AddToMediaLibrary" is on;
// 1 when it is off or no media player is installed.
TAVCORE_API HRESULT WINAPI AddToMediaLibrary(HWND owner, const wchar_t* path);
// Reads a Windows Media profile file (".prx") and stores it as the default Windows Media encoder settings:
// 0, or -1 (nothing stored) when the file cannot be read or names no installed codec format.
TAVCORE_API int WINAPI WMASetDefaultProfile(const wchar_t* path);

// Output naming: scheme (or a string-resource number) with elements such as <sourcedir>, <sourcename>,
// <sourcepath:N>, <artist>, <album>, <title>, <year>, <genre>, <tracknum>, <date>, <time>, <mymusic>.
// formatIndex: a format row, -1 for a playlist (".m3u"), -2 to keep the extension. out receives the path
// (TRUE) or an error text (FALSE), at most outSize - 1 characters.
TAVCORE_API BOOL WINAPI SuggestOutputFile(const wchar_t* scheme, int formatIndex, IConvertSource* source, wchar_t* out,
                                          int outSize);

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

// ---------------------------------------------------------------------------------------------------------------
// Playlists
// M3U (read and written) and PLS (read) playlists as a list of full paths. Not reference-counted: the owner
// ends it with Destroy. One thread at a time. Files are read in the system code page, in UTF-8 (marked, or
// unmarked and valid) or in marked UTF-16; ".m3u8" playlists are always UTF-8.

struct IPlaylist {
  // Appends a copy; a value below 65536 (MAKEINTRESOURCEW) is the number of an engine string resource.
  virtual HRESULT STDMETHODCALLTYPE Add(const wchar_t* item) = 0;
  // Appends the file's entries, resolved against the playlist's folder; E_FAIL when it cannot be read.
  virtual HRESULT STDMETHODCALLTYPE Load(const wchar_t* path) = 0;
  // M3U only (E_NOTIMPL otherwise): entries inside the playlist's folder are written relative to it.
  virtual HRESULT STDMETHODCALLTYPE Save(const wchar_t* path) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(UINT32* out) = 0;
  virtual HRESULT STDMETHODCALLTYPE Rewind() = 0;
  // dst: room for 260 characters; longer items are cut. E_FAIL past the last item until Rewind.
  virtual HRESULT STDMETHODCALLTYPE GetNext(wchar_t* dst) = 0;
  virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;
};

// By the extension, compared exactly: ".m3u", ".m3u8" or ".pls" gives a playlist loaded from path (S_OK even
// when the file cannot be read: the playlist is then empty); ".wax" E_NOTIMPL; anything else E_FAIL.
TAVCORE_API HRESULT WINAPI PlaylistCreateFromFile(const wchar_t* path, IPlaylist** out);

// ---------------------------------------------------------------------------------------------------------------
// Playback. The listener is the caller's; it is called on the playback's worker thread.
struct IPlaybackListener {
  // Position and length; a negative result stops the playback (what is queued still plays).
  virtual HRESULT STDMETHODCALLTYPE OnProgress(int minutes, int seconds, int totalMinutes, int totalSeconds) = 0;
  // Once, when the playback has ended, also after a failure.
  virtual void STDMETHODCALLTYPE OnFinished() = 0;
};

// Plays src (a reference is taken) on the default wave-output device on a worker thread of its own and returns
// at once: the worker thread's handle, which the caller closes (waiting on it waits for the end), or null.
TAVCORE_API HANDLE WINAPI Playback(IConvertSource* src, IPlaybackListener* listener);
// Commands of PlaybackControl: resume, pause (the device keeps what is queued, the position stays), stop (what
// is queued is dropped at once).
constexpr UINT kPlaybackResume = 0, kPlaybackPause = 1, kPlaybackStop = 2;
// Controls the playback of that handle; FALSE when it is not playing (any more) or the command is unknown.
TAVCORE_API BOOL WINAPI PlaybackControl(HANDLE playback, UINT command);

// ---------------------------------------------------------------------------------------------------------------
// The folder tree: a tree-view control of the host's as a browser of the shell's folders. Not reference-counted:
// the host ends it with Destroy. All calls on the tree window's thread.
struct IExplorerTree {
  // The tree's WM_NOTIFY, forwarded by the owner; always 0.
  virtual LRESULT STDMETHODCALLTYPE OnNotify(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // The selected folder's file-system path; FALSE (and an empty buffer) when it has none.
  virtual BOOL STDMETHODCALLTYPE GetSelectedPath(wchar_t* buffer, int size) = 0;
  // Selects the folder of that path, expanding the folders on the way.
  virtual void STDMETHODCALLTYPE SelectPath(const wchar_t* path) = 0;
  // Menu messages for the shell's context menu while it is open.
  virtual void STDMETHODCALLTYPE HandleMenuMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual void STDMETHODCALLTYPE Populate() = 0;
  virtual void STDMETHODCALLTYPE Refresh() = 0;
  virtual void STDMETHODCALLTYPE Destroy() = 0;
  virtual ~IExplorerTree() = default;
};

TAVCORE_API HRESULT WINAPI CreateExplorerTree(IExplorerTree** out, HWND owner, HWND tree);

#include "tavcore_metadata.h"
#include "tavcore_cd.h"
