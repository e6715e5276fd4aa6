// ASPI requests are filled and sent as the ASPI libraries expect them: packed blocks, event notification.
#include "AspiBackEnd.h"

#include <cstdio>
#include <cstring>

#include "Aspi.h"

bool AspiBackEnd::Load() {
  library.Reset(LoadLibraryW(L"WNASPI32.DLL"));
  if (!library) library.Reset(LoadLibraryW(L"WNASPINT.DLL"));
  if (!library) return false;
  supportInfo = reinterpret_cast<DWORD(__cdecl*)()>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "GetASPI32SupportInfo")));
  send = reinterpret_cast<DWORD(__cdecl*)(void*)>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "SendASPI32Command")));
  if (!supportInfo || !send) {
    lastError = !supportInfo ? -2 : -3;
    library.Reset();
    return false;
  }
  return true;
}

int AspiBackEnd::Execute(BYTE adapter, BYTE target, BYTE lun, const BYTE* cdb, BYTE cdbLength, BYTE* buffer,
                         DWORD length, bool dataIn) {
  if (!send || cdbLength > 16) return aspi::kNoAspi;
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  aspi::ExecuteCommand request = {};
  request.header.command = aspi::kExecuteCommand;
  request.header.adapter = adapter;
  request.header.flags = static_cast<BYTE>((dataIn ? aspi::kDataIn : aspi::kDataOut) | aspi::kEventNotify);
  request.target = target;
  request.lun = lun;
  request.buffer = buffer;
  request.bufferLength = length;
  request.senseLength = aspi::kSenseLength;
  request.cdbLength = cdbLength;
  std::memcpy(request.cdb, cdb, cdbLength);
  request.postProc = event.Get();
  // A command that did not complete at once is waited for, but never longer than a drive may take.
  if (send(&request) == aspi::kPending) WaitForSingleObject(event.Get(), kWaitMs);
  const BYTE status = request.header.status;
  if (status != aspi::kDone) {
    lastError = -4;
    lastStatus = status == aspi::kPending ? aspi::kFailed : status;
    std::memcpy(lastSense, request.sense, sizeof(lastSense));
    return status == aspi::kPending ? aspi::kFailed : status;
  }
  return aspi::kDone;
}

std::vector<cdrip::CDDeviceInfo> AspiBackEnd::Enumerate() {
  std::vector<cdrip::CDDeviceInfo> drives;
  if (!supportInfo) return drives;
  const DWORD info = supportInfo();
  const BYTE status = static_cast<BYTE>(info >> 8);
  const BYTE adapters = status == aspi::kDone ? static_cast<BYTE>(info) : 0;  // kNoAdapters counts as none
  for (BYTE adapter = 0; adapter < adapters && drives.size() < kMaxDrives; ++adapter) {
    aspi::HostAdapterInquiry inquiry = {};
    inquiry.header.command = aspi::kHostAdapterInquiry;
    inquiry.header.adapter = adapter;
    if (send(&inquiry) != aspi::kDone) continue;
    const BYTE targets = inquiry.unique[3] ? inquiry.unique[3] : 8;
    for (BYTE target = 0; target < targets && drives.size() < kMaxDrives; ++target) {
      for (BYTE lun = 0; lun < 8 && drives.size() < kMaxDrives; ++lun) {
        aspi::GetDeviceType type = {};
        type.header.command = aspi::kGetDeviceType;
        type.header.adapter = adapter;
        type.target = target;
        type.lun = lun;
        if (send(&type) != aspi::kDone || type.deviceType != aspi::kCdRomDevice) continue;
        cdrip::CDDeviceInfo drive = {};
        drive.hostAdapter = adapter;
        drive.target = target;
        drive.lun = lun;
        BYTE data[100] = {};
        const BYTE inquiryCdb[6] = {0x12, 0, 0, 0, sizeof(data), 0};
        if (Execute(adapter, target, lun, inquiryCdb, 6, data, sizeof(data), true) == aspi::kDone) {
          std::memcpy(drive.vendor, data + 8, 8);
          std::memcpy(drive.product, data + 16, 16);
          std::memcpy(drive.revision, data + 32, 4);
        }
        std::snprintf(drive.description, sizeof(drive.description), "%s, %s v%s (%d:%d:%d)", drive.vendor,
                      drive.product, drive.revision, adapter, target, lun);
        drives.push_back(drive);
      }
    }
  }
  return drives;
}
