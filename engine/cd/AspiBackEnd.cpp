// ASPI requests are filled and sent as the ASPI libraries expect them: packed blocks, event notification. A
// command still running after the wait is aborted; a block the port never finishes stays allocated, since the
// port may still write into it.
#include "AspiBackEnd.h"

#include <cstdio>
#include <cstring>

#include "Aspi.h"
#include "UniqueHandles.h"

namespace {

class LibraryPort : public AspiPort {
 public:
  LibraryPort(HMODULE module, aspi::SupportInfoFunction supportInfo, aspi::SendCommandFunction send)
      : library(module), supportInfo(supportInfo), send(send) {}
  DWORD SupportInfo() override { return supportInfo(); }
  DWORD Send(void* request) override { return send(request); }

 private:
  UniqueModule library;
  aspi::SupportInfoFunction supportInfo;
  aspi::SendCommandFunction send;
};

// A command with its own transfer buffer and event, so that a late completion finds them alive.
struct PendingCommand {
  aspi::ExecuteCommand request = {};
  UniqueHandle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::vector<BYTE> data;
};

}  // namespace

bool AspiBackEnd::Load() {
  UniqueModule library(LoadLibraryW(L"WNASPI32.DLL"));
  if (!library) library.Reset(LoadLibraryW(L"WNASPINT.DLL"));
  if (!library) return false;
  auto supportInfo = reinterpret_cast<aspi::SupportInfoFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "GetASPI32SupportInfo")));
  auto send = reinterpret_cast<aspi::SendCommandFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "SendASPI32Command")));
  if (!supportInfo || !send) {
    lastError = !supportInfo ? -2 : -3;
    return false;
  }
  port = std::make_unique<LibraryPort>(library.Release(), supportInfo, send);
  passThrough = nullptr;
  return true;
}

bool AspiBackEnd::UsePassThrough() {
  auto scanned = std::make_unique<PassThroughPort>();
  if (!scanned->Scan()) return false;
  passThrough = scanned.get();
  port = std::move(scanned);
  return true;
}

int AspiBackEnd::DeviceType(BYTE adapter, BYTE target, BYTE lun) {
  if (!port) return -1;
  aspi::GetDeviceType type = {};
  type.header.command = aspi::kGetDeviceType;
  type.header.adapter = adapter;
  type.target = target;
  type.lun = lun;
  return port->Send(&type) == aspi::kDone ? type.deviceType : -1;
}

int AspiBackEnd::Execute(BYTE adapter, BYTE target, BYTE lun, const BYTE* cdb, BYTE cdbLength, BYTE* buffer,
                         DWORD length, bool dataIn) {
  if (!port || cdbLength > 16) {
    lastError = -4;
    lastStatus = aspi::kNoAspi;
    return aspi::kNoAspi;
  }
  auto command = std::make_unique<PendingCommand>();
  command->data.assign(buffer, buffer + length);  // data out is sent from here; data in lands here first
  aspi::ExecuteCommand& request = command->request;
  request.header.command = aspi::kExecuteCommand;
  request.header.adapter = adapter;
  request.header.flags = static_cast<BYTE>((dataIn ? aspi::kDataIn : aspi::kDataOut) | aspi::kEventNotify);
  request.target = target;
  request.lun = lun;
  request.buffer = command->data.data();
  request.bufferLength = length;
  request.senseLength = aspi::kSenseLength;
  request.cdbLength = cdbLength;
  std::memcpy(request.cdb, cdb, cdbLength);
  request.postProc = command->event.Get();
  if (port->Send(&request) == aspi::kPending &&
      WaitForSingleObject(command->event.Get(), kWaitMs) != WAIT_OBJECT_0) {
    // Too slow: ask the port to give the command up, and give it as long again to say so.
    aspi::AbortRequest abort = {};
    abort.header.command = aspi::kAbortRequest;
    abort.header.adapter = adapter;
    abort.request = &request;
    port->Send(&abort);
    WaitForSingleObject(command->event.Get(), kWaitMs);
  }
  const BYTE status = request.header.status;
  if (status == aspi::kPending) {
    command.release();  // the port still owns the block; a bounded leak instead of a write into freed memory
    lastError = -4;
    lastStatus = aspi::kFailed;
    std::memset(lastSense, 0, sizeof(lastSense));
    return aspi::kFailed;
  }
  if (dataIn) std::memcpy(buffer, command->data.data(), length);
  if (status != aspi::kDone) {
    lastError = -4;
    lastStatus = status;
    std::memcpy(lastSense, request.sense, sizeof(lastSense));
    return status == aspi::kAborted ? aspi::kFailed : status;
  }
  return aspi::kDone;
}

std::vector<cdrip::CDDeviceInfo> AspiBackEnd::Enumerate() {
  std::vector<cdrip::CDDeviceInfo> drives;
  if (!port) return drives;
  const DWORD info = port->SupportInfo();
  const BYTE status = static_cast<BYTE>(info >> 8);
  const BYTE adapters = status == aspi::kDone ? static_cast<BYTE>(info) : 0;  // kNoAdapters counts as none
  for (BYTE adapter = 0; adapter < adapters && drives.size() < kMaxDrives; ++adapter) {
    aspi::HostAdapterInquiry inquiry = {};
    inquiry.header.command = aspi::kHostAdapterInquiry;
    inquiry.header.adapter = adapter;
    if (port->Send(&inquiry) != aspi::kDone) continue;
    const BYTE targets = inquiry.unique[3] ? inquiry.unique[3] : 8;
    for (BYTE target = 0; target < targets && drives.size() < kMaxDrives; ++target) {
      for (BYTE lun = 0; lun < 8 && drives.size() < kMaxDrives; ++lun) {
        if (DeviceType(adapter, target, lun) != aspi::kCdRomDevice) continue;
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
