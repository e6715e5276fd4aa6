// The process's list of CD drives: made by the first CreateAudioCDDevices, which starts the SCSI layer and
// enumerates; the last Release shuts the layer down, and a later call enumerates again.
#pragma once

#include <vector>

#include "RefCounted.h"
#include "tavcore_cd.h"

class CAudioCDDevices final : public CRefCounted<cdrip::IAudioCDDevices, cdrip::IID_IAudioCDDevices, CAudioCDDevices> {
 public:
  static HRESULT Get(cdrip::IAudioCDDevices** out);

  HRESULT STDMETHODCALLTYPE GetCD(int index, cdrip::IAudioCD** out) override;
  int STDMETHODCALLTYPE GetDriveNumber(int index) override;
  HRESULT STDMETHODCALLTYPE QueryDriveNumber(int index, int* out) override;
  HRESULT STDMETHODCALLTYPE GetCDByDrive(int driveNumber, cdrip::IAudioCD** out) override;
  HRESULT STDMETHODCALLTYPE GetDisplayName(int index, wchar_t* buf, int cch) override;
  HRESULT STDMETHODCALLTYPE Reserved1(void*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Reserved2(void*) override { return S_OK; }
  int STDMETHODCALLTYPE GetCount() override { return static_cast<int>(drives.size()); }

  ~CAudioCDDevices();

 private:
  CAudioCDDevices();
  bool Valid(int index) const { return index >= 0 && index < GetCountConst(); }
  int GetCountConst() const { return static_cast<int>(drives.size()); }

  std::vector<cdrip::CDDeviceInfo> drives;
  std::vector<int> driveNumbers;  // -1 until asked
};
