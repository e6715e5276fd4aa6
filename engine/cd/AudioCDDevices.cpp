#include "AudioCDDevices.h"

#include <mutex>

#include "AbiGuard.h"
#include "AudioCD.h"
#include "ComPtr.h"
#include "ScsiLayer.h"

namespace {
std::mutex instanceLock;
CAudioCDDevices* instance = nullptr;  // not owned: cleared by the object's destructor
}  // namespace

HRESULT CAudioCDDevices::Get(cdrip::IAudioCDDevices** out) {
  if (!out) return E_INVALIDARG;
  std::lock_guard<std::mutex> held(instanceLock);
  if (instance) {
    instance->AddRef();
  } else {
    instance = new CAudioCDDevices();
  }
  *out = instance;
  return S_OK;
}

CAudioCDDevices::CAudioCDDevices() {
  ScsiInit();
  ScsiEnumerate(&drives);
  driveNumbers.assign(drives.size(), -1);
}

CAudioCDDevices::~CAudioCDDevices() {
  ScsiShutdown();
  std::lock_guard<std::mutex> held(instanceLock);
  if (instance == this) instance = nullptr;
}

HRESULT CAudioCDDevices::GetCD(int index, cdrip::IAudioCD** out) {
  if (!out || !Valid(index)) return E_INVALIDARG;
  *out = new CAudioCD(this, drives[index]);
  return S_OK;
}

HRESULT CAudioCDDevices::QueryDriveNumber(int index, int* out) {
  if (!out || !Valid(index)) return E_INVALIDARG;
  if (driveNumbers[index] < 0) {
    auto cd = ComPtr<cdrip::IAudioCD>::Adopt(new CAudioCD(this, drives[index]));
    driveNumbers[index] = cd->GetDriveNumber();
  }
  *out = driveNumbers[index];
  return S_OK;
}

int CAudioCDDevices::GetDriveNumber(int index) {
  int number = 0;
  return SUCCEEDED(QueryDriveNumber(index, &number)) ? number : 0;
}

HRESULT CAudioCDDevices::GetCDByDrive(int driveNumber, cdrip::IAudioCD** out) {
  for (int i = 0; i < GetCountConst(); ++i)
    if (GetDriveNumber(i) == driveNumber) return GetCD(i, out);
  return E_INVALIDARG;
}

HRESULT CAudioCDDevices::GetDisplayName(int index, wchar_t* buf, int cch) {
  if (!Valid(index)) return E_INVALIDARG;
  ComPtr<cdrip::IAudioCD> cd;
  if (FAILED(GetCD(index, &cd))) return E_INVALIDARG;
  return cd->GetDisplayName(buf, cch) ? S_OK : E_FAIL;
}

TAVCORE_API HRESULT WINAPI CreateAudioCDDevices(cdrip::IAudioCDDevices** out) {
  return GuardedHResult([&] { return CAudioCDDevices::Get(out); });
}
