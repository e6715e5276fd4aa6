// One audio track of a disc as a conversion source: 44.1 kHz 16-bit stereo PCM read from the drive in blocks of
// 27 frames, and the disc's data as a read-only tag.
#pragma once

#include <string>

#include "DefConvertSource.h"
#include "tavcore_cd.h"

class CAudioCD;

class CAudioCDTrack : public CDefConvertSource, public cdrip::IAudioCDTrack, public IMetadata {
 public:
  // A track of a disc (GetTrack), attached to it.
  CAudioCDTrack(CAudioCD* disc, UINT32 index, const cdrip::CDTrackInfo& info, const std::wstring& title,
                const std::wstring& extended);
  static IConvertSource* Create() { return new CAudioCDTrack(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return CDefConvertSource::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return CDefConvertSource::Release(); }

  // IConvertSource
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override;
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE GetFileTitle(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE GetFolder(wchar_t* buf, int cch) override;
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;

  // IAudioCDTrack
  HRESULT STDMETHODCALLTYPE Detach() override;
  HRESULT STDMETHODCALLTYPE GetLength(BYTE* minutes, BYTE* seconds, BYTE* frames) override;
  HRESULT STDMETHODCALLTYPE GetCD(cdrip::IAudioCD** out) override;
  HRESULT STDMETHODCALLTYPE GetInfo(cdrip::CDTrackInfo* out) override;

  // IMetadata
  UINT32 STDMETHODCALLTYPE GetCapabilities() override { return kMetadataCanRead; }
  HRESULT STDMETHODCALLTYPE GetTag(IMetadataTag** out) override;
  HRESULT STDMETHODCALLTYPE SetTag(IMetadataTag*) override { return E_NOTIMPL; }

  // For the disc: the track's index, and the disc going away from under it (its reference already dropped).
  UINT32 Index() const { return index; }
  void LoseDisc() { disc = nullptr; }

  int JitterCorrection() const { return jitterCorrection; }
  int ReadingSpeed() const { return readingSpeed; }

  ~CAudioCDTrack() override;

 private:
  CAudioCDTrack();
  void AttachTo(CAudioCD* newDisc, UINT32 newIndex, const cdrip::CDTrackInfo& newInfo);

  CAudioCD* disc = nullptr;  // AddRef'd while attached
  UINT32 index = 0;
  cdrip::CDTrackInfo info = {};
  std::wstring title;
  std::wstring extended;
  UINT32 firstSector = 0;
  UINT32 endSector = 0;  // exclusive
  int readingSpeed = -1;
  int jitterCorrection = 2;  // kept with the open source; reading does not use it
};
