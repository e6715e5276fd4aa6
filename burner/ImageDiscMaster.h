// A disc master whose only recorder writes a CD image instead of a disc: BIN + CUE for an audio CD, an ISO
// (the BIN's path with the extension ".iso") for a data CD. The burn job runs against it exactly as against the
// platform's disc master.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "AudioImage.h"
#include "Imapi.h"
#include "JolietImage.h"
#include "RefCounted.h"

// Result codes the documentation names for the disc master beyond those of Imapi.h.
inline constexpr HRESULT kImapiNoActiveFormat = static_cast<HRESULT>(0x8004021F);
inline constexpr HRESULT kImapiNoActiveRecorder = static_cast<HRESULT>(0x80040220);
inline constexpr HRESULT kImapiAlreadyOpen = static_cast<HRESULT>(0x80040222);

// The "image recorder": a CD-R that is always blank and writable, holding capacityBlocks blocks.
class CImageRecorder : public CRefCounted<IDiscRecorder, IID_IDiscRecorder, CImageRecorder> {
 public:
  CImageRecorder(std::wstring binPath, std::wstring cuePath, long capacityBlocks);
  virtual ~CImageRecorder() = default;
  CImageRecorder(const CImageRecorder&) = delete;
  CImageRecorder& operator=(const CImageRecorder&) = delete;


  HRESULT STDMETHODCALLTYPE Init(byte* uniqueId, ULONG idSize, ULONG driveNumber) override;
  HRESULT STDMETHODCALLTYPE GetRecorderGUID(byte* uniqueId, ULONG bufferSize, ULONG* requiredSize) override;
  HRESULT STDMETHODCALLTYPE GetRecorderType(long* typeCode) override;
  HRESULT STDMETHODCALLTYPE GetDisplayNames(BSTR* vendorId, BSTR* productId, BSTR* revision) override;
  HRESULT STDMETHODCALLTYPE GetBasePnPID(BSTR* basePnPId) override;
  // The CUE sheet's path: no drive letter maps to it.
  HRESULT STDMETHODCALLTYPE GetPath(BSTR* path) override;
  // "WriteSpeed" (times CD speed, settable) and "MaxWriteSpeed" (read-only), as a drive's properties.
  HRESULT STDMETHODCALLTYPE GetRecorderProperties(IPropertyStorage** properties) override;
  HRESULT STDMETHODCALLTYPE SetRecorderProperties(IPropertyStorage* properties) override;
  HRESULT STDMETHODCALLTYPE GetRecorderState(ULONG* deviceStateFlags) override;
  HRESULT STDMETHODCALLTYPE OpenExclusive() override;
  HRESULT STDMETHODCALLTYPE QueryMediaType(long* mediaType, long* mediaFlags) override;
  HRESULT STDMETHODCALLTYPE QueryMediaInfo(byte* sessions, byte* lastTrack, ULONG* startAddress,
                                           ULONG* nextWritable, ULONG* freeBlocks) override;
  HRESULT STDMETHODCALLTYPE Eject() override;
  HRESULT STDMETHODCALLTYPE Erase(boolean fullErase) override;
  HRESULT STDMETHODCALLTYPE Close() override;

  const std::wstring& BinPath() const { return binPath; }
  const std::wstring& CuePath() const { return cuePath; }
  const std::wstring& IsoPath() const { return isoPath; }
  long Capacity() const { return capacity; }
  LONG WriteSpeed() const { return writeSpeed; }
  static constexpr LONG kFastest = 48;

 private:
  friend class CRefCounted<IDiscRecorder, IID_IDiscRecorder, CImageRecorder>;  // deletes it at the last Release
  static constexpr const wchar_t* kWriteSpeed = L"WriteSpeed";
  static constexpr const wchar_t* kMaxWriteSpeed = L"MaxWriteSpeed";
  std::wstring binPath, cuePath, isoPath;
  long capacity;
  LONG writeSpeed = kFastest;
};

// IDiscMaster with the image recorder and the Red Book and Joliet formats. Every operation but Open answers
// IMAPI_E_NOTOPENED until Open; RecordDisc needs an active recorder and format and writes the image.
class CImageDiscMaster : public CRefCounted<IDiscMaster, IID_IDiscMaster, CImageDiscMaster> {
 public:
  CImageDiscMaster(std::wstring binPath, std::wstring cuePath,
                   long capacityBlocks = CAudioImageWriter::kBlocks74Minutes);
  virtual ~CImageDiscMaster();
  CImageDiscMaster(const CImageDiscMaster&) = delete;
  CImageDiscMaster& operator=(const CImageDiscMaster&) = delete;


  // kImapiAlreadyOpen when open.
  HRESULT STDMETHODCALLTYPE Open() override;
  HRESULT STDMETHODCALLTYPE EnumDiscMasterFormats(IEnumDiscMasterFormats** formats) override;
  // kImapiNoActiveFormat before a format was set.
  HRESULT STDMETHODCALLTYPE GetActiveDiscMasterFormat(IID* format) override;
  // IID_IRedbookDiscMaster or IID_IJolietDiscMaster (E_NOINTERFACE otherwise); clears the staged image.
  HRESULT STDMETHODCALLTYPE SetActiveDiscMasterFormat(REFIID format, void** formatInterface) override;
  HRESULT STDMETHODCALLTYPE EnumDiscRecorders(IEnumDiscRecorders** recorders) override;
  HRESULT STDMETHODCALLTYPE GetActiveDiscRecorder(IDiscRecorder** recorder) override;
  // E_INVALIDARG for a recorder this master did not enumerate.
  HRESULT STDMETHODCALLTYPE SetActiveDiscRecorder(IDiscRecorder* recorder) override;
  HRESULT STDMETHODCALLTYPE ClearFormatContent() override;
  HRESULT STDMETHODCALLTYPE ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) override;
  HRESULT STDMETHODCALLTYPE ProgressUnadvise(UINT_PTR cookie) override;
  // Announces the burn, asks QueryCancel before each track, writes the BIN/CUE or ISO (nothing when simulating)
  // and reports NotifyBurnComplete with the result. A cancel answers IMAPI_E_USERABORT and writes nothing.
  HRESULT STDMETHODCALLTYPE RecordDisc(boolean simulate, boolean ejectAfterBurn) override;
  // Drops the staged image, the active recorder and format and the progress sinks.
  HRESULT STDMETHODCALLTYPE Close() override;

  // Fault injection: the next RecordDisc fails with hr without writing anything.
  void FailNextRecord(HRESULT hr) { injectedFailure = hr; }
  CImageRecorder* Recorder() const { return recorder; }
  // Times RecordDisc wrote an image.
  int ImagesWritten() const { return imagesWritten; }

 private:
  struct Sink {
    UINT_PTR cookie;
    IDiscMasterProgressEvents* events;
  };
  bool AnyCancel();
  void ReleaseSinks();
  void DropFormat();

  friend class CRefCounted<IDiscMaster, IID_IDiscMaster, CImageDiscMaster>;  // deletes it at the last Release
  bool opened = false;
  CImageRecorder* recorder;  // owned reference
  IDiscRecorder* active = nullptr;
  // The active format's staging (one of the two at most), owned references.
  CAudioImageWriter* redbook = nullptr;
  CJolietImage* joliet = nullptr;
  std::vector<Sink> sinks;
  UINT_PTR nextCookie = 1;
  HRESULT injectedFailure = S_OK;
  int imagesWritten = 0;
};
