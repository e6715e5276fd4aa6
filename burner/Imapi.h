// The Image Mastering API, version 1, as the platform documents it (neither MinGW nor Wine ship it): interface and
// class ids, result codes and the interfaces in their documented slot order.
#pragma once

#include <objidl.h>
#include <propidl.h>
#include <rpcndr.h>

#define IMAPI_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// Classes
IMAPI_GUID(CLSID_MSDiscMasterObj, 0x520CCA63, 0x51A5, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(CLSID_MSDiscRecorderObj, 0x520CCA61, 0x51A5, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(CLSID_MSEnumDiscRecordersObj, 0x8A03567A, 0x63CB, 0x4BA8, 0xBA, 0xF6, 0x52, 0x11, 0x98, 0x16, 0xD1, 0xEF);

// Interfaces
IMAPI_GUID(IID_IDiscMaster, 0x520CCA62, 0x51A5, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(IID_IDiscRecorder, 0x85AC9776, 0xCA88, 0x4CF2, 0x89, 0x4E, 0x09, 0x59, 0x8C, 0x07, 0x8A, 0x41);
IMAPI_GUID(IID_IEnumDiscRecorders, 0x9B1921E1, 0x54AC, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(IID_IEnumDiscMasterFormats, 0xDDF445E1, 0x54BA, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(IID_IRedbookDiscMaster, 0xE3BC42CD, 0x4E5C, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(IID_IJolietDiscMaster, 0xE3BC42CE, 0x4E5C, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);
IMAPI_GUID(IID_IDiscMasterProgressEvents, 0xEC9E51C1, 0x4E5D, 0x11D3, 0x91, 0x44, 0x00, 0x10, 0x4B, 0xA1, 0x1C, 0x5E);

// Result codes
constexpr HRESULT IMAPI_S_PROPERTIESIGNORED = 0x00040200;
constexpr HRESULT IMAPI_S_BUFFER_TO_SMALL = 0x00040201;
constexpr HRESULT IMAPI_E_NOTOPENED = static_cast<HRESULT>(0x8004020B);
constexpr HRESULT IMAPI_E_NOTINITIALIZED = static_cast<HRESULT>(0x8004020C);
constexpr HRESULT IMAPI_E_USERABORT = static_cast<HRESULT>(0x8004020D);
constexpr HRESULT IMAPI_E_GENERIC = static_cast<HRESULT>(0x8004020E);
constexpr HRESULT IMAPI_E_MEDIUM_NOTPRESENT = static_cast<HRESULT>(0x8004020F);
constexpr HRESULT IMAPI_E_MEDIUM_INVALIDTYPE = static_cast<HRESULT>(0x80040210);
constexpr HRESULT IMAPI_E_DEVICE_NOPROPERTIES = static_cast<HRESULT>(0x80040211);
constexpr HRESULT IMAPI_E_DEVICE_NOTACCESSIBLE = static_cast<HRESULT>(0x80040212);
constexpr HRESULT IMAPI_E_DEVICE_NOTPRESENT = static_cast<HRESULT>(0x80040213);
constexpr HRESULT IMAPI_E_DEVICE_INVALIDTYPE = static_cast<HRESULT>(0x80040214);
constexpr HRESULT IMAPI_E_INITIALIZE_WRITE = static_cast<HRESULT>(0x80040215);
constexpr HRESULT IMAPI_E_INITIALIZE_ENDWRITE = static_cast<HRESULT>(0x80040216);
constexpr HRESULT IMAPI_E_FILESYSTEM = static_cast<HRESULT>(0x80040217);
constexpr HRESULT IMAPI_E_FILEACCESS = static_cast<HRESULT>(0x80040218);
constexpr HRESULT IMAPI_E_DISCINFO = static_cast<HRESULT>(0x80040219);
constexpr HRESULT IMAPI_E_TRACKNOTOPEN = static_cast<HRESULT>(0x8004021A);
constexpr HRESULT IMAPI_E_TRACKOPEN = static_cast<HRESULT>(0x8004021B);
constexpr HRESULT IMAPI_E_DISCFULL = static_cast<HRESULT>(0x8004021C);

// Recorder types (GetRecorderType) and media (QueryMediaType).
constexpr long RECORDER_CDR = 0x1;
constexpr long RECORDER_CDRW = 0x2;
constexpr long MEDIA_CDDA_CDROM = 0x1;
constexpr long MEDIA_CD_ROM_XA = 0x2;
constexpr long MEDIA_CD_I = 0x3;
constexpr long MEDIA_CD_EXTRA = 0x4;
constexpr long MEDIA_CD_OTHER = 0x5;
constexpr long MEDIA_SPECIAL = 0x6;
constexpr long MEDIA_BLANK = 0x1;
constexpr long MEDIA_RW = 0x2;
constexpr long MEDIA_WRITABLE = 0x4;
constexpr long MEDIA_FORMAT_UNUSABLE_BY_IMAPI = 0x8;

struct IDiscRecorder : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Init(byte* uniqueId, ULONG idSize, ULONG driveNumber) = 0;
  // idSize 0 asks for the size the id needs in *requiredSize.
  virtual HRESULT STDMETHODCALLTYPE GetRecorderGUID(byte* uniqueId, ULONG bufferSize, ULONG* requiredSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRecorderType(long* typeCode) = 0;
  // The caller frees the three strings.
  virtual HRESULT STDMETHODCALLTYPE GetDisplayNames(BSTR* vendorId, BSTR* productId, BSTR* revision) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBasePnPID(BSTR* basePnPId) = 0;
  // The device path, as the platform names the drive's device ("\Device\CdRom0").
  virtual HRESULT STDMETHODCALLTYPE GetPath(BSTR* path) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRecorderProperties(IPropertyStorage** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRecorderProperties(IPropertyStorage* properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRecorderState(ULONG* deviceStateFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenExclusive() = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryMediaType(long* mediaType, long* mediaFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryMediaInfo(byte* sessions, byte* lastTrack, ULONG* startAddress,
                                                   ULONG* nextWritable, ULONG* freeBlocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE Eject() = 0;
  virtual HRESULT STDMETHODCALLTYPE Erase(boolean fullErase) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IEnumDiscRecorders : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IDiscRecorder** recorders, ULONG* fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumDiscRecorders** copy) = 0;
};

struct IEnumDiscMasterFormats : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IID* formats, ULONG* fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumDiscMasterFormats** copy) = 0;
};

// Audio staging: one open track at a time; blocks are 2352 bytes of 44.1 kHz 16-bit stereo.
struct IRedbookDiscMaster : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTotalAudioTracks(long* tracks) = 0;
  // All blocks of the disc, the gaps between tracks included.
  virtual HRESULT STDMETHODCALLTYPE GetTotalAudioBlocks(long* blocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUsedAudioBlocks(long* blocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAvailableAudioTrackBlocks(long* blocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAudioBlockSize(long* blockBytes) = 0;
  // blocks is advisory; fails while a track is open.
  virtual HRESULT STDMETHODCALLTYPE CreateAudioTrack(long blocks) = 0;
  // size: a multiple of the block size. Past the disc's end it keeps what fits and answers IMAPI_E_DISCFULL.
  virtual HRESULT STDMETHODCALLTYPE AddAudioTrackBlocks(byte* data, long size) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseAudioTrack() = 0;
};

// Data staging: an IStorage tree becomes the Joliet file system.
struct IJolietDiscMaster : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTotalDataBlocks(long* blocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUsedDataBlocks(long* blocks) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataBlockSize(long* blockBytes) = 0;
  // Unlike audio blocks, a failed AddData keeps nothing.
  virtual HRESULT STDMETHODCALLTYPE AddData(IStorage* storage, long fileOverwrite) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetJolietProperties(IPropertyStorage** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetJolietProperties(IPropertyStorage* properties) = 0;
};

// Implemented by the application; events arrive on the thread that called the disc master.
struct IDiscMasterProgressEvents : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryCancel(boolean* cancel) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyPnPActivity() = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyAddProgress(long completedSteps, long totalSteps) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyBlockProgress(long completed, long total) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyTrackProgress(long currentTrack, long totalTracks) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyPreparingBurn(long estimatedSeconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyClosingDisc(long estimatedSeconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyBurnComplete(HRESULT status) = 0;
  virtual HRESULT STDMETHODCALLTYPE NotifyEraseComplete(HRESULT status) = 0;
};

struct IDiscMaster : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open() = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumDiscMasterFormats(IEnumDiscMasterFormats** formats) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetActiveDiscMasterFormat(IID* format) = 0;
  // Clears the staged image; *format receives the format's staging interface.
  virtual HRESULT STDMETHODCALLTYPE SetActiveDiscMasterFormat(REFIID format, void** formatInterface) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumDiscRecorders(IEnumDiscRecorders** recorders) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetActiveDiscRecorder(IDiscRecorder** recorder) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetActiveDiscRecorder(IDiscRecorder* recorder) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearFormatContent() = 0;
  virtual HRESULT STDMETHODCALLTYPE ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE ProgressUnadvise(UINT_PTR cookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE RecordDisc(boolean simulate, boolean ejectAfterBurn) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};
