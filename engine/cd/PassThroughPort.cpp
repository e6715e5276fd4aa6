// The port answers the ASPI requests the layer sends (host adapter inquiry, device type, command execution) from
// its table of drives, so the layer above cannot tell it from an ASPI library.
#include "PassThroughPort.h"

#include <winioctl.h>

#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "Aspi.h"

namespace {

class SystemDeviceIo : public DeviceIo {
 public:
  UINT DriveType(wchar_t letter) override {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    return GetDriveTypeW(root);
  }
  HANDLE Open(const wchar_t* path, DWORD access, DWORD share) override {
    return CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) override {
    DWORD returned = 0;
    return DeviceIoControl(device, code, in, inSize, out, outSize, &returned, nullptr);
  }
  void Close(HANDLE device) override { CloseHandle(device); }
};

SystemDeviceIo systemIo;
DeviceIo* currentIo = &systemIo;

// The pass-through request with room for the sense data behind it.
struct PassThroughWithSense {
  SCSI_PASS_THROUGH_DIRECT request;
  ULONG filler;
  BYTE sense[32];
};

}  // namespace

DeviceIo& CurrentDeviceIo() { return *currentIo; }
void SetDeviceIo(DeviceIo* io) { currentIo = io ? io : &systemIo; }

void DevicePath(wchar_t letter, wchar_t (&path)[8]) { std::swprintf(path, 8, L"\\\\.\\%c:", letter); }

bool PassThroughCommand(HANDLE device, const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD length, bool dataIn,
                        ULONG timeoutSeconds, BYTE* scsiStatus, BYTE* sense) {
  if (cdbLength > 16) return false;
  PassThroughWithSense block = {};
  block.request.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  block.request.CdbLength = cdbLength;
  block.request.SenseInfoLength = aspi::kSenseLength;
  block.request.SenseInfoOffset = offsetof(PassThroughWithSense, sense);
  block.request.DataIn = dataIn ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
  block.request.DataTransferLength = length;
  block.request.TimeOutValue = timeoutSeconds;
  block.request.DataBuffer = buffer;
  std::memcpy(block.request.Cdb, cdb, cdbLength);
  const BOOL sent = CurrentDeviceIo().Control(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof(block), &block,
                                              sizeof(block));
  if (scsiStatus) *scsiStatus = sent ? block.request.ScsiStatus : 0;
  if (sense) std::memcpy(sense, block.sense, aspi::kSenseLength);
  return sent && block.request.ScsiStatus == 0;
}

PassThroughPort::~PassThroughPort() {
  for (PassThroughDrive& drive : drives)
    if (drive.device != INVALID_HANDLE_VALUE) CurrentDeviceIo().Close(drive.device);
}

bool PassThroughPort::Scan() {
  DeviceIo& io = CurrentDeviceIo();
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&version);
#pragma GCC diagnostic pop
  const bool readWrite = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4;
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    if (io.DriveType(letter) != DRIVE_CDROM) continue;
    wchar_t path[8];
    DevicePath(letter, path);
    const DWORD access = readWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    HANDLE device = io.Open(path, access, FILE_SHARE_READ);
    if (device == INVALID_HANDLE_VALUE) device = io.Open(path, access ^ GENERIC_WRITE, FILE_SHARE_READ);
    if (device == INVALID_HANDLE_VALUE) continue;
    PassThroughDrive drive = {letter, 0, 0, 0, 0, {}, INVALID_HANDLE_VALUE};
    BYTE data[100] = {};
    const BYTE inquiry[6] = {0x12, 0, 0, 0, sizeof(data), 0};
    SCSI_ADDRESS address = {};
    address.Length = sizeof(address);
    if (PassThroughCommand(device, inquiry, sizeof(inquiry), data, sizeof(data), true, 2) &&
        io.Control(device, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof(address))) {
      drive.adapter = address.PortNumber;
      drive.path = address.PathId;
      drive.target = address.TargetId;
      drive.lun = address.Lun;
      std::memcpy(drive.inquiry, data, sizeof(drive.inquiry));
      drives.push_back(drive);
      if (drive.adapter + 1 > adapterCount) adapterCount = drive.adapter + 1;
    }
    io.Close(device);
  }
  return !drives.empty();
}

DWORD PassThroughPort::SupportInfo() {
  return adapterCount ? static_cast<DWORD>(aspi::kDone) << 8 | adapterCount
                      : static_cast<DWORD>(aspi::kNoAdapters) << 8;
}

PassThroughDrive* PassThroughPort::Find(BYTE adapter, BYTE target, BYTE lun) {
  for (PassThroughDrive& drive : drives)
    if (drive.adapter == adapter && drive.target == target && drive.lun == lun) return &drive;
  return nullptr;
}

DWORD PassThroughPort::Send(void* block) {
  auto* header = static_cast<aspi::Header*>(block);
  if (!header) return aspi::kBadRequest;
  if (header->adapter >= adapterCount) return header->status = aspi::kBadAdapter;
  switch (header->command) {
    case aspi::kHostAdapterInquiry: {
      auto* inquiry = static_cast<aspi::HostAdapterInquiry*>(block);
      inquiry->adapterCount = static_cast<BYTE>(adapterCount);
      inquiry->adapterScsiId = 7;
      std::memcpy(inquiry->managerId, "ZQASPI v0.000001", 16);
      char adapterId[17];
      std::snprintf(adapterId, sizeof(adapterId), "SCSI Adapter %d   ", header->adapter % 10);
      std::memcpy(inquiry->adapterId, adapterId, 16);
      std::memset(inquiry->unique, 0, sizeof(inquiry->unique));
      inquiry->unique[3] = 8;
      const DWORD transfer = 65536;
      std::memcpy(inquiry->unique + 4, &transfer, sizeof(transfer));
      return header->status = aspi::kDone;
    }
    case aspi::kGetDeviceType: {
      auto* request = static_cast<aspi::GetDeviceType*>(block);
      const bool found = Find(header->adapter, request->target, request->lun) != nullptr;
      request->deviceType = found ? aspi::kCdRomDevice : 0x1F;
      return header->status = found ? aspi::kDone : aspi::kNoDevice;
    }
    case aspi::kExecuteCommand: {
      auto* request = static_cast<aspi::ExecuteCommand*>(block);
      PassThroughDrive* drive = Find(header->adapter, request->target, request->lun);
      BYTE status = aspi::kNoDevice;
      if (drive) {
        if (drive->device == INVALID_HANDLE_VALUE) {
          wchar_t path[8];
          DevicePath(drive->letter, path);
          drive->device = CurrentDeviceIo().Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        }
        const bool dataIn = (header->flags & aspi::kDataOut) == 0;
        status = drive->device != INVALID_HANDLE_VALUE &&
                         PassThroughCommand(drive->device, request->cdb, request->cdbLength, request->buffer,
                                            request->bufferLength, dataIn, 30, &request->targetStatus, request->sense)
                     ? aspi::kDone
                     : aspi::kFailed;
      }
      header->status = status;
      if ((header->flags & aspi::kEventNotify) && request->postProc) SetEvent(request->postProc);
      return status;
    }
    default:
      return header->status = aspi::kBadRequest;
  }
}
