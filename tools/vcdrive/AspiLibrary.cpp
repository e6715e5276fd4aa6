// WNASPI32.DLL of the virtual CD drive: one CD-ROM unit at adapter 0, target 0, lun 0, serving the disc image that
// TAVREL_CD_IMAGE names (a .cue file), else the "Image" value of HKCU\Software\Quennet\Tavrel\VirtualDrive. Faults
// to show come from TAVREL_CD_FAULTS, else the "Faults" value there. The engine uses an ASPI library only when no
// real drive answers, so the virtual drive never hides one.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <map>
#include <string>

#include "Aspi.h"
#include "DriveFaults.h"
#include "ScsiTarget.h"
#include "VirtualDisc.h"

namespace {

std::mutex lock;  // one command at a time, as a drive does
VirtualDisc disc;
DriveState driveState;
std::wstring loadedPath;
bool loaded = false;
bool started = false;  // the drive has looked for a disc once
bool unitAttention = false;  // the disc changed since the last command
std::map<aspi::ExecuteCommand*, HANDLE> pending;  // slow commands still running, with their abort events

std::wstring Setting(const wchar_t* variable, const wchar_t* value) {
  wchar_t text[MAX_PATH] = {};
  DWORD size = GetEnvironmentVariableW(variable, text, MAX_PATH);
  if (size > 0 && size < MAX_PATH) return text;
  DWORD bytes = sizeof(text);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quennet\\Tavrel\\VirtualDrive", value, RRF_RT_REG_SZ, nullptr,
                   text, &bytes) == ERROR_SUCCESS)
    return text;
  return {};
}

// The disc in the drive: the image named now, loaded again when the name changes (a disc change, which the
// drive reports once as a unit attention).
const VirtualDisc* CurrentDisc(const DriveFaults& faults) {
  const std::wstring path = faults.noDisc ? std::wstring() : Setting(L"TAVREL_CD_IMAGE", L"Image");
  if (path != loadedPath || !started) {
    unitAttention = unitAttention || started;
    started = true;
    loadedPath = path;
    loaded = !path.empty() && disc.Load(path, nullptr);
    driveState = DriveState();
  }
  return loaded ? &disc : nullptr;
}

void Finish(aspi::ExecuteCommand* request, BYTE status) {
  request->header.status = status;
  if ((request->header.flags & aspi::kEventNotify) && request->postProc) SetEvent(request->postProc);
}

void Run(aspi::ExecuteCommand* request, const DriveFaults& faults) {
  ScsiTarget target(CurrentDisc(faults), &driveState, &faults);
  BYTE sense[14];
  if (unitAttention && request->cdb[0] != 0x12) {
    // UNIT ATTENTION, medium may have changed: once, then the new disc answers.
    unitAttention = false;
    std::memset(sense, 0, sizeof(sense));
    sense[0] = 0x70;
    sense[2] = 6;
    sense[7] = 6;
    sense[12] = 0x28;
    request->targetStatus = ScsiTarget::kCheckCondition;
  } else {
    request->targetStatus =
        target.Execute(request->cdb, request->cdbLength, request->buffer, request->bufferLength, sense);
  }
  request->adapterStatus = 0;
  const bool failed = request->targetStatus != ScsiTarget::kGood;
  if (failed) std::memcpy(request->sense, sense, std::min<size_t>(request->senseLength, sizeof(sense)));
  Finish(request, failed ? aspi::kFailed : aspi::kDone);
}

struct SlowCommand {
  aspi::ExecuteCommand* request;
  DriveFaults faults;
  HANDLE aborted;
};

// Runs a slow command late on its own thread, unless the caller aborts it first. The thread keeps this library
// loaded until it has finished.
DWORD WINAPI RunSlowly(void* parameter) {
  auto* slow = static_cast<SlowCommand*>(parameter);
  const bool abort = WaitForSingleObject(slow->aborted, slow->faults.slowMs) == WAIT_OBJECT_0;
  {
    std::lock_guard<std::mutex> held(lock);
    pending.erase(slow->request);
    if (abort) {
      Finish(slow->request, aspi::kAborted);
    } else {
      Run(slow->request, slow->faults);
    }
  }
  CloseHandle(slow->aborted);
  delete slow;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&RunSlowly), &self);
  FreeLibraryAndExitThread(self, 0);
}

bool StartSlowly(aspi::ExecuteCommand* request, const DriveFaults& faults) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunSlowly), &self))
    return false;
  auto* slow = new SlowCommand{request, faults, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  request->header.status = aspi::kPending;
  pending[request] = slow->aborted;
  HANDLE thread = CreateThread(nullptr, 0, RunSlowly, slow, 0, nullptr);
  if (!thread) {
    pending.erase(request);
    CloseHandle(slow->aborted);
    delete slow;
    FreeLibrary(self);
    return false;
  }
  CloseHandle(thread);
  return true;
}

bool IsSlowCommand(BYTE opcode) { return opcode == 0x43 || opcode == 0xBE || opcode == 0x28; }

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
      const DriveFaults faults = DriveFaults::Parse(Setting(L"TAVREL_CD_FAULTS", L"Faults"));
      if (faults.slowMs > 0 && IsSlowCommand(request->cdb[0]) && StartSlowly(request, faults)) return aspi::kPending;
      Run(request, faults);
      return request->header.status;
    }
    case aspi::kAbortRequest: {
      auto* abort = static_cast<aspi::AbortRequest*>(block);
      const auto found = pending.find(static_cast<aspi::ExecuteCommand*>(abort->request));
      if (found != pending.end()) SetEvent(found->second);
      return header->status = aspi::kDone;
    }
    default:
      return header->status = aspi::kBadRequest;
  }
}

}  // extern "C"
