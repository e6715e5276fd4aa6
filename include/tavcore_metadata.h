// The metadata model: one IMetadata per file, its tag (IMetadataTag) of ID3v2-style frames, the typed frame
// interfaces in slot order, and the metadata and genre exports. Included by tavcore.h.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include "tavcore_guids.h"

#ifndef TAVCORE_API
#define TAVCORE_API extern "C"
#endif

struct IMetadataTag;

// Frames are named by the tag library's frame numbers (47 = TIT2 "Title", 4 = COMM, ...). Texts handed out by
// Get... operations are cut to size-1 characters and NUL-terminated. Reference counts are plain: one thread
// uses an object at a time.

// Frame numbers that the engine and the programs use by name.
constexpr UINT32 kFrameComment = 4;  // COMM
constexpr UINT32 kFrameAlbum = 29;  // TALB
constexpr UINT32 kFrameBpm = 30;  // TBPM
constexpr UINT32 kFrameGenre = 32;  // TCON
constexpr UINT32 kFrameTitle = 47;  // TIT2
constexpr UINT32 kFrameSongLength = 51;  // TLEN
constexpr UINT32 kFrameLeadArtist = 61;  // TPE1
constexpr UINT32 kFrameTrackNumber = 68;  // TRCK
constexpr UINT32 kFrameEncoderSettings = 77;  // TSSE
constexpr UINT32 kFrameYear = 80;  // TYER

// Capability flags of IMetadata::GetCapabilities.
constexpr UINT32 kMetadataCanRead = 1;
constexpr UINT32 kMetadataCanWrite = 2;

struct IMetadata : public IUnknown {
  virtual UINT32 STDMETHODCALLTYPE GetCapabilities() = 0;
  // A new tag with one reference. A file without tags gives an empty tag, not an error.
  virtual HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) = 0;
  // Writes the tag into the file; 0x80004001 for read-only kinds.
  virtual HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag* tag) = 0;
};

struct IMetadataTag : public IUnknown {
  virtual UINT32 STDMETHODCALLTYPE GetFrameCount() = 0;
  // Reserved: always 0x80004001.
  virtual HRESULT STDMETHODCALLTYPE Reserved(void* first, void* second, void* third) = 0;
  // Wraps the next frame of that number (the tag keeps the search position and wraps around) and asks it for
  // iid. No such frame, or a number without a wrapper: 0x80070057 with *out null.
  virtual HRESULT STDMETHODCALLTYPE FindFrame(UINT32 frameNumber, REFIID iid, void** out) = 0;
  // Removes and destroys every frame of that number; 0.
  virtual HRESULT STDMETHODCALLTYPE RemoveFrames(UINT32 frameNumber) = 0;
};

struct IMetadataFrame : public IUnknown {
  // A new frame is owned by its wrapper; this hands it to the tag (appended). Found frames stay where they are.
  // The caller still releases its wrapper reference afterwards.
  virtual void STDMETHODCALLTYPE AttachTo(IMetadataTag* tag) = 0;
  virtual bool STDMETHODCALLTYPE IsReadOnly() = 0;
  // The kind's modal editor; its dialog result.
  virtual int STDMETHODCALLTYPE Edit(HWND parent) = 0;
  // Display name of the frame kind ("Title"); static text.
  virtual const char* STDMETHODCALLTYPE GetKindName() = 0;
  // Writes the kind identifier (the typed interface's id) and returns out.
  virtual GUID* STDMETHODCALLTYPE GetKindGuid(GUID* out) = 0;
  virtual UINT32 STDMETHODCALLTYPE GetFrameNumber() = 0;
  // The human-readable value.
  virtual void STDMETHODCALLTYPE GetDisplayText(wchar_t* buffer, int size) = 0;
  // Same number and byte-identical rendering.
  virtual bool STDMETHODCALLTYPE IsEqual(IMetadataFrame* other) = 0;
  // Replaces this frame's number and fields by a copy of other's.
  virtual void STDMETHODCALLTYPE CopyFrom(IMetadataFrame* other) = 0;
};

// Text kinds (T... frames). Setters store UTF-16 when the value holds a character outside 7-bit ASCII,
// ISO-8859-1 otherwise, and return false when the frame has no such field; getters leave the buffer unchanged
// when the field is missing.
struct IMetadataFrameText : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetText(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) = 0;
  // Empties the text ("enu" for the language kind).
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// TXXX
struct IMetadataFrameUserText : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) = 0;
  virtual bool STDMETHODCALLTYPE SetText(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) = 0;
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// COMM; also answers IMetadataFrameText (its first two operations are the text ones).
struct IMetadataFrameComment : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetText(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetText(wchar_t* buffer, int size) = 0;
  virtual bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) = 0;
  virtual bool STDMETHODCALLTYPE SetLanguage(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetLanguage(wchar_t* buffer, int size) = 0;
  // Empties text and description, then sets the language "enu".
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// WCOM to WPUB
struct IMetadataFrameURL : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetUrl(const wchar_t* url) = 0;
  virtual void STDMETHODCALLTYPE GetUrl(wchar_t* buffer, int size) = 0;
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// WXXX
struct IMetadataFrameUserURL : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) = 0;
  virtual bool STDMETHODCALLTYPE SetUrl(const wchar_t* url) = 0;
  virtual void STDMETHODCALLTYPE GetUrl(wchar_t* buffer, int size) = 0;
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// APIC. The picture bytes are handled by the picture editor.
struct IMetadataFramePicture : public IMetadataFrame {
  virtual bool STDMETHODCALLTYPE SetMimeType(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetMimeType(wchar_t* buffer, int size) = 0;
  virtual bool STDMETHODCALLTYPE SetDescription(const wchar_t* text) = 0;
  virtual void STDMETHODCALLTYPE GetDescription(wchar_t* buffer, int size) = 0;
  // Reserved: do nothing.
  virtual void STDMETHODCALLTYPE Reserved1(void* first, void* second) = 0;
  virtual void STDMETHODCALLTYPE Reserved2(void* first, void* second) = 0;
  virtual UINT32 STDMETHODCALLTYPE GetPictureType() = 0;
  virtual void STDMETHODCALLTYPE SetPictureType(UINT32 type) = 0;
  virtual void STDMETHODCALLTYPE Reset() = 0;
};

// The tag editor of a report-style list control: the frames of one or more files, one row per frame. Edits apply
// to every file shown; Save writes them. Used on the list's window thread only.
struct IMetadataLV : public IUnknown {
  // Takes the list control: styles, image lists and the three columns.
  virtual void STDMETHODCALLTYPE Attach(HWND listControl) = 0;
  // Shows these files (each gets its own reference); 0.
  virtual HRESULT STDMETHODCALLTYPE SetFiles(IMetadata** files, UINT32 count) = 0;
  // Writes every file's tag; the first failure, or the last result. Failures are shown to the user once.
  virtual HRESULT STDMETHODCALLTYPE Save() = 0;
  // The menu of frame kinds that can be added, at a screen point; choosing one adds a frame.
  virtual HRESULT STDMETHODCALLTYPE ShowAddMenu(POINT* screenPoint) = 0;
  virtual HRESULT STDMETHODCALLTYPE EditSelected() = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteSelected() = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteAll() = 0;
  // The owner forwards every notification of the list control; the answer is the notification's result.
  virtual LRESULT STDMETHODCALLTYPE OnNotify(NMHDR* notification) = 0;
  virtual bool STDMETHODCALLTYPE IsModified() = 0;
};

// Kind identifiers are the typed interfaces' identifiers.
inline constexpr const GUID& GUID_MetadataFrameText = IID_IMetadataFrameText;
inline constexpr const GUID& GUID_MetadataFrameComment = IID_IMetadataFrameComment;
inline constexpr const GUID& GUID_MetadataFrameUserText = IID_IMetadataFrameUserText;
inline constexpr const GUID& GUID_MetadataFrameURL = IID_IMetadataFrameURL;
inline constexpr const GUID& GUID_MetadataFrameUserURL = IID_IMetadataFrameUserURL;
inline constexpr const GUID& GUID_MetadataFramePicture = IID_IMetadataFramePicture;

// Writes ".mp3", ".mp2", ... ".flac" as consecutive NUL-terminated strings plus an extra NUL into buffer
// (room for 58 characters) and returns 57.
TAVCORE_API int WINAPI MetadataGetFormats(wchar_t* buffer);
// An MP3 metadata object for path (null: empty path) with one reference; 0.
TAVCORE_API HRESULT WINAPI MetadataCreateMP3(const wchar_t* path, IMetadata** out);
// Chooses the kind by the file name's extension; unknown extensions: 0x80070057 with *out untouched.
TAVCORE_API HRESULT WINAPI MetadataCreateFromFile(const wchar_t* path, IMetadata** out);
// A new empty free-standing tag.
TAVCORE_API HRESULT WINAPI MetadataCreateTag(IMetadataTag** out);
// A new frame of that number, owned by its wrapper until AttachTo; *out is null on failure.
TAVCORE_API HRESULT WINAPI MetadataCreateFrame(UINT32 frameNumber, REFIID iid, void** out);

// A new metadata list view with one reference; 0x80070057 when out is null.
TAVCORE_API HRESULT WINAPI CreateMetaDataLV(IMetadataLV** out);

// The ID3v1 genres 0 to 79; names are right-padded with blanks to 15 characters.
TAVCORE_API UINT32 WINAPI GenreGetCount();
// null when index >= 80.
TAVCORE_API const wchar_t* WINAPI GenreGet(UINT32 index);
// The first index whose trimmed name equals name exactly (case counts); -1 when none does.
TAVCORE_API int WINAPI GenreToNum(const wchar_t* name);
