// WNASPI32.DLL of the virtual CD drive: one CD-ROM unit at adapter 0, target 0, lun 0, serving the disc image that
// TAVREL_CD_IMAGE names (a .cue file), else the "Image" value of HKCU\Software\Quennet\Tavrel\VirtualDrive. The
// engine uses an ASPI library only when no real drive answers, so the virtual drive never hides one.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "Aspi.h"
#include "ScsiTarget.h"
#include "VirtualDisc.h"

namespace {

std::mutex lock;  // one command at a time, as a drive does
VirtualDisc disc;
std::wstring loadedPath;
bool loaded = false;

std::wstring ImagePath() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = GetEnvironmentVariableW(L"TAVREL_CD_IMAGE", path, MAX_PATH);
  if (size > 0 && size < MAX_PATH) return path;
  DWORD bytes = sizeof(path);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quennet\\Tavrel\\VirtualDrive", L"Image", RRF_RT_REG_SZ, nullptr,
                   path, &bytes) == ERROR_SUCCESS)
    return path;
  return {};
}

// The disc in the drive: the image named now, loaded again when the name changes (a disc change).
const VirtualDisc* CurrentDisc() {
  const std::wstring path = ImagePath();
  if (path != loadedPath || !loaded) {
    loadedPath = path;
    loaded = !path.empty() && disc.Load(path, nullptr);
  }
  return loaded ? &disc : nullptr;
}

void Finish(aspi::ExecuteCommand* request, BYTE status) {
  request->header.status = status;
  if ((request->header.flags & aspi::kEventNotify) && request->postProc) SetEvent(request->postProc);
}

}  // namespace

extern "C" {

DWORD __cdecl GetASPI32SupportInfo() { return static_cast<DWORD>(aspi::kDone) << 8 | 1; }

// Tells this library from other ASPI libraries of the same name.
DWORD __cdecl GetASPI32DLLVersion() { return 0x54560001; }

BOOL __cdecl GetASPI32Buffer(void*) { return FALSE; }

BOOL __cdecl FreeASPI32Buffer(void*) { return FALSE; }

BOOL __cdecl TranslateASPI32Address(DWORD*, DWORD*) { return FALSE; }

DWORD __cdecl SendASPI32Command(void* block) {
  auto* header = static_cast<aspi::Header*>(block);
  if (!header) return aspi::kBadRequest;
  std::lock_guard<std::mutex> held(lock);
  if (header->adapter != 0) return header->status = aspi::kBadAdapter;
  switch (header->command) {
    case aspi::kHostAdapterInquiry: {
      auto* inquiry = static_cast<aspi::HostAdapterInquiry*>(block);
      inquiry->adapterCount = 1;
      inquiry->adapterScsiId = 7;
      std::memcpy(inquiry->managerId, "ASPI for WIN32  ", 16);
      std::memcpy(inquiry->adapterId, "Virtual CD      ", 16);
      std::memset(inquiry->unique, 0, sizeof(inquiry->unique));
      inquiry->unique[3] = 8;  // targets
      const DWORD transfer = 65536;
      std::memcpy(inquiry->unique + 4, &transfer, 4);
      return header->status = aspi::kDone;
    }
    case aspi::kGetDeviceType: {
      auto* request = static_cast<aspi::GetDeviceType*>(block);
      if (request->target != 0 || request->lun != 0) return header->status = aspi::kNoDevice;
      request->deviceType = aspi::kCdRomDevice;
      return header->status = aspi::kDone;
    }
    case aspi::kExecuteCommand: {
      auto* request = static_cast<aspi::ExecuteCommand*>(block);
      if (request->target != 0 || request->lun != 0) {
        Finish(request, aspi::kNoDevice);
        return aspi::kNoDevice;
      }
      ScsiTarget target(CurrentDisc());
      BYTE sense[14];
      request->targetStatus =
          target.Execute(request->cdb, request->cdbLength, request->buffer, request->bufferLength, sense);
      request->adapterStatus = 0;
      const bool failed = request->targetStatus != ScsiTarget::kGood;
      if (failed) std::memcpy(request->sense, sense, std::min<size_t>(request->senseLength, sizeof(sense)));
      Finish(request, failed ? aspi::kFailed : aspi::kDone);
      return request->header.status;
    }
    default:
      return header->status = aspi::kBadRequest;
  }
}

}  // extern "C"
