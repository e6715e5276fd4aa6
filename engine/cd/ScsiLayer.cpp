// One layer per process: the device list starts it and ends it. Reads pick their method on a handle's first
// audio read by trying each in turn until one fills the buffer.
#include "ScsiLayer.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "Aspi.h"
#include "AspiBackEnd.h"

namespace {

constexpr int kHandleCount = 16;
constexpr BYTE kModeSelect = 0x15, kRead10 = 0x28, kReadCd = 0xBE, kReadToc = 0x43, kSetSpeed = 0xBB,
               kPauseResume = 0x4B, kVendorRead12 = 0xD8, kVendorRead10 = 0xD4;
constexpr int kDetectionOrder[] = {2, 1, 8, 4, 5, 6, 7};  // method 3 is never tried
constexpr int kAttempts = 3;

struct DriveHandle {
  bool used = false;
  BYTE adapter = 0, target = 0, lun = 0;
  int method = 0;               // 0: detect on the next read
  unsigned prepared = 0;        // bit per method whose preparation was sent
  bool blockLengthChanged = false;
  int addressing = 0;           // READ TOC form: 0 block addresses, 1 MSF
  int stored[3] = {};           // options 37 to 39
};

struct Layer {
  std::unique_ptr<AspiBackEnd> backEnd;
  DriveHandle handles[kHandleCount];
  std::mutex tableLock;
  int lastError = 0;
  int lastStatus = 0;
};

Layer layer;

int Failed(int error) {
  layer.lastError = error;
  return scsi::kFailed;
}

DriveHandle* HandleOf(int handle) {
  if (handle < 1 || handle > kHandleCount || !layer.handles[handle - 1].used) return nullptr;
  return &layer.handles[handle - 1];
}

int Command(const DriveHandle& drive, const BYTE* cdb, BYTE cdbLength, BYTE* buffer, DWORD length, bool dataIn) {
  if (!layer.backEnd || !layer.backEnd->Ready()) return Failed(scsi::kErrorNoAdapters);
  const int status =
      layer.backEnd->Execute(drive.adapter, drive.target, drive.lun, cdb, cdbLength, buffer, length, dataIn);
  if (status == aspi::kDone) return scsi::kDone;
  layer.lastStatus = layer.backEnd->lastStatus;
  return Failed(scsi::kErrorCommandFailed);
}

void PutAddress(BYTE* cdb, UINT32 sector) {
  cdb[2] = 0;  // the most significant byte stays zero
  cdb[3] = static_cast<BYTE>(sector >> 16);
  cdb[4] = static_cast<BYTE>(sector >> 8);
  cdb[5] = static_cast<BYTE>(sector);
}

// MODE SELECT(6) with the given block descriptor and mode pages behind it.
int ModeSelect(const DriveHandle& drive, BYTE density, UINT32 blockLength, const BYTE* pages, BYTE pageBytes) {
  BYTE list[20] = {0, 0, 0, 8, density, 0, 0, 0, 0, static_cast<BYTE>(blockLength >> 16),
                   static_cast<BYTE>(blockLength >> 8), static_cast<BYTE>(blockLength)};
  std::memcpy(list + 12, pages, pageBytes);
  const BYTE length = static_cast<BYTE>(12 + pageBytes);
  const BYTE cdb[6] = {kModeSelect, 0x10, 0, 0, length, 0};
  return Command(drive, cdb, sizeof(cdb), list, length, false);
}

int PauseResume(const DriveHandle& drive) {
  const BYTE cdb[10] = {kPauseResume};  // resume bit clear
  BYTE none = 0;
  return Command(drive, cdb, sizeof(cdb), &none, 0, true);
}

// What a method sends once per handle before its first read.
int Prepare(DriveHandle& drive, int method) {
  if (drive.prepared & 1u << method) return scsi::kDone;
  int status = scsi::kDone;
  switch (method) {
    case 3:
    case 4:
      status = ModeSelect(drive, 0, scsi::kFrameBytes, nullptr, 0);
      break;
    case 8: {
      const BYTE pageA[8] = {0x23, 0x06, 0, 0, 0, 0, 0, 0x80};
      const BYTE pageB[8] = {0x01, 0x06, 0x20, 0x07, 0, 0, 0, 0};  // read error recovery, 7 retries
      status = ModeSelect(drive, 0, scsi::kFrameBytes, pageA, sizeof(pageA));
      if (status == scsi::kDone) status = ModeSelect(drive, 0, scsi::kFrameBytes, pageB, sizeof(pageB));
      break;
    }
    case 5:
    case 6:
      status = PauseResume(drive);
      break;
    case 7:
      status = PauseResume(drive);
      if (status == scsi::kDone) status = ModeSelect(drive, 0x82, scsi::kFrameBytes, nullptr, 0);  // CD-DA density
      break;
    default:
      break;
  }
  if (method == 3 || method == 4 || method == 7 || method == 8) drive.blockLengthChanged = true;
  if (status == scsi::kDone) drive.prepared |= 1u << method;
  return status;
}

int IssueRead(DriveHandle& drive, int method, UINT32 start, UINT32 frames, BYTE* data) {
  if (Prepare(drive, method) != scsi::kDone) return scsi::kFailed;
  const DWORD bytes = frames * scsi::kFrameBytes;
  const BYTE count = static_cast<BYTE>(frames);
  BYTE cdb[12] = {};
  BYTE cdbLength = 10;
  switch (method) {
    case 1:
    case 2:
      cdb[0] = kReadCd;
      cdb[8] = count;
      cdb[9] = method == 1 ? 0x10 : 0xF0;
      cdbLength = 12;
      break;
    case 3:
    case 4:
    case 8:
      cdb[0] = kRead10;
      cdb[1] = static_cast<BYTE>(drive.lun << 5);
      cdb[8] = count;
      break;
    case 5:
      cdb[0] = kVendorRead12;
      cdb[9] = count;
      cdbLength = 12;
      break;
    default:  // 6, 7
      cdb[0] = kVendorRead10;
      cdb[8] = count;
      break;
  }
  PutAddress(cdb, start);
  return Command(drive, cdb, cdbLength, data, bytes, true);
}

// A drive that returned nothing for a stretch leaves eight words of the fill pattern in a row.
bool HasUnfilledRun(const BYTE* data, DWORD bytes) {
  int run = 0;
  for (DWORD offset = 0; offset + 4 <= bytes; offset += 4) {
    UINT32 word;
    std::memcpy(&word, data + offset, 4);
    run = word == 0xAAAAAAAA ? run + 1 : 0;
    if (run == 8) return true;
  }
  return false;
}

}  // namespace

void ScsiInit() {
  ScsiShutdown();
  auto backEnd = std::make_unique<AspiBackEnd>();
  // A drive that answers pass-through always wins; an ASPI library (the virtual drive among them) only
  // serves when none does.
  if (!backEnd->UsePassThrough() && !backEnd->Load() && !backEnd->UsePassThrough()) {
    layer.lastError = backEnd->lastError ? backEnd->lastError : scsi::kErrorNoAdapters;
  }
  std::lock_guard<std::mutex> held(layer.tableLock);
  layer.backEnd = std::move(backEnd);
  for (DriveHandle& handle : layer.handles) handle = DriveHandle();
}

void ScsiShutdown() {
  std::lock_guard<std::mutex> held(layer.tableLock);
  layer.backEnd.reset();
  for (DriveHandle& handle : layer.handles) handle = DriveHandle();
}

int ScsiEnumerate(std::vector<cdrip::CDDeviceInfo>* list) {
  list->clear();
  if (!layer.backEnd || !layer.backEnd->Ready()) {
    layer.lastStatus = aspi::kNoAspi;
    return Failed(scsi::kErrorNoAdapters);
  }
  *list = layer.backEnd->Enumerate();
  return list->empty() ? Failed(scsi::kErrorNoDrive) : scsi::kDone;
}

int ScsiOpen(const scsi::OpenRequest* request) {
  if (!request || request->size != sizeof(scsi::OpenRequest) || request->version != 1) return 0;
  std::lock_guard<std::mutex> held(layer.tableLock);
  if (!layer.backEnd || !layer.backEnd->Ready()) {
    layer.lastError = scsi::kErrorNoAdapters;
    return 0;
  }
  if (layer.backEnd->DeviceType(request->adapter, request->target, request->lun) != aspi::kCdRomDevice) {
    layer.lastError = scsi::kErrorNoDrive;
    return 0;
  }
  for (int i = 0; i < kHandleCount; ++i) {
    DriveHandle& handle = layer.handles[i];
    if (handle.used) continue;
    handle = DriveHandle();
    handle.used = true;
    handle.adapter = request->adapter;
    handle.target = request->target;
    handle.lun = request->lun;
    handle.method = request->readMethod;
    return i + 1;
  }
  layer.lastError = scsi::kErrorNoFreeHandle;
  return 0;
}

int ScsiClose(int handle) {
  std::lock_guard<std::mutex> held(layer.tableLock);
  DriveHandle* drive = HandleOf(handle);
  if (!drive) return Failed(scsi::kErrorBadHandle);
  if (drive->blockLengthChanged) ModeSelect(*drive, 0, 2048, nullptr, 0);  // the drive's usual data block
  *drive = DriveHandle();
  return scsi::kDone;
}

int ScsiSetOption(int handle, int option, int value) {
  DriveHandle* drive = HandleOf(handle);
  if (!drive) return Failed(scsi::kErrorBadHandle);
  switch (option) {
    case scsi::kOptionTocAddressing:
      drive->addressing = value;
      return scsi::kDone;
    case scsi::kOptionReadSpeed: {
      // -1 becomes 0xFFFF: the drive's fastest.
      const BYTE cdb[12] = {kSetSpeed, 0, static_cast<BYTE>(value >> 8), static_cast<BYTE>(value)};
      BYTE none = 0;
      return Command(*drive, cdb, sizeof(cdb), &none, 0, true);
    }
    case 37:
    case 38:
    case 39:
      drive->stored[option - 37] = value;
      return scsi::kDone;
    default:
      return scsi::kFailed;
  }
}

int ScsiReadTOC(int handle, BYTE* buffer) {
  DriveHandle* drive = HandleOf(handle);
  if (!drive) return Failed(scsi::kErrorBadHandle);
  std::memset(buffer, 0, scsi::kTocBytes);
  const BYTE cdb[10] = {kReadToc, static_cast<BYTE>(drive->addressing ? 0x02 : 0), 0, 0, 0, 0, 0,
                        static_cast<BYTE>(scsi::kTocBytes >> 8), static_cast<BYTE>(scsi::kTocBytes), 0};
  return Command(*drive, cdb, sizeof(cdb), buffer, scsi::kTocBytes, true);
}

int ScsiReadAudio(int handle, scsi::CDReadRequest* request) {
  DriveHandle* drive = HandleOf(handle);
  if (!drive) return Failed(scsi::kErrorBadHandle);
  request->status = 0;
  const unsigned long long bytes = static_cast<unsigned long long>(request->frameCount) * scsi::kFrameBytes;
  if (bytes > request->bufferBytes || request->bufferBytes > sizeof(request->data)) {
    return Failed(scsi::kErrorBufferTooSmall);
  }
  BYTE* data = request->data;
  int status = scsi::kFailed;
  if (drive->method != 0) {
    status = IssueRead(*drive, drive->method, request->startSector, request->frameCount, data);
  } else {
    for (int method : kDetectionOrder) {
      for (int attempt = 0; attempt < kAttempts && status != scsi::kDone; ++attempt) {
        std::memset(data, 0xAA, static_cast<size_t>(bytes));
        if (IssueRead(*drive, method, request->startSector, request->frameCount, data) == scsi::kDone &&
            !HasUnfilledRun(data, static_cast<DWORD>(bytes))) {
          status = scsi::kDone;
        }
      }
      if (status == scsi::kDone) {
        drive->method = method;
        break;
      }
    }
    if (status != scsi::kDone && layer.lastError == 0) layer.lastError = scsi::kErrorCommandFailed;
  }
  if (status != scsi::kDone) return scsi::kFailed;
  request->bytesRead = static_cast<UINT32>(bytes);
  request->status = scsi::kDone;
  return scsi::kDone;
}

int ScsiLastError() {
  const int error = layer.lastError;
  layer.lastError = 0;
  return error;
}

int ScsiLastStatus() { return layer.lastStatus; }

int ScsiPassThroughDriveNumber(BYTE adapter, BYTE target, BYTE lun) {
  const PassThroughPort* port = layer.backEnd ? layer.backEnd->PassThrough() : nullptr;
  if (!port) return -1;
  for (const PassThroughDrive& drive : port->Drives())
    if (drive.adapter == adapter && drive.target == target && drive.lun == lun) return drive.letter - L'A';
  return -1;
}
