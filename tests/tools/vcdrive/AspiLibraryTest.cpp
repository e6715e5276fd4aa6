// The virtual drive as the engine meets it: WNASPI32.DLL loaded by name from beside the program, commands sent as
// ASPI request blocks with event notification.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Aspi.h"
#include "TestSupport.h"

namespace {

struct Library {
  Library() {
    wchar_t image[MAX_PATH];
    GetFullPathNameW(L"vcdrive-image\\disc.cue", MAX_PATH, image, nullptr);
    SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", image);
    module = LoadLibraryW((ProgramFolder() + L"\\WNASPI32.DLL").c_str());
    if (!module) return;
    supportInfo = reinterpret_cast<aspi::SupportInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetASPI32SupportInfo")));
    send = reinterpret_cast<aspi::SendCommandFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "SendASPI32Command")));
    version =
        reinterpret_cast<aspi::VersionFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetASPI32DLLVersion")));
  }
  ~Library() {
    if (module) FreeLibrary(module);
  }
  HMODULE module = nullptr;
  aspi::SupportInfoFunction supportInfo = nullptr;
  aspi::SendCommandFunction send = nullptr;
  aspi::VersionFunction version = nullptr;
};

}  // namespace

TEST(AspiLibrary, OneCdRomUnitAnswersWithEvents) {
  Library library;
  ASSERT_NE(nullptr, library.module);
  ASSERT_TRUE(library.supportInfo && library.send && library.version);
  EXPECT_EQ(0x54560001u, library.version()) << "the virtual drive's library, not another of the same name";
  EXPECT_EQ(0x0101u, library.supportInfo() & 0xFFFF) << "done, one adapter";

  aspi::HostAdapterInquiry adapter = {};
  adapter.header.command = aspi::kHostAdapterInquiry;
  EXPECT_EQ(aspi::kDone, library.send(&adapter));
  EXPECT_EQ(8, adapter.unique[3]) << "targets";

  for (BYTE target : {0, 1}) {
    aspi::GetDeviceType type = {};
    type.header.command = aspi::kGetDeviceType;
    type.target = target;
    EXPECT_EQ(target ? aspi::kNoDevice : aspi::kDone, library.send(&type)) << int(target);
    if (!target) {
      EXPECT_EQ(aspi::kCdRomDevice, type.deviceType);
    }
  }

  // READ TOC with event notification, then a refused command whose sense data comes back.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  BYTE toc[804] = {};
  aspi::ExecuteCommand request = {};
  request.header.command = aspi::kExecuteCommand;
  request.header.flags = aspi::kDataIn | aspi::kEventNotify;
  request.buffer = toc;
  request.bufferLength = sizeof(toc);
  request.senseLength = aspi::kSenseLength;
  request.cdbLength = 10;
  const BYTE readToc[10] = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
  std::memcpy(request.cdb, readToc, sizeof(readToc));
  request.postProc = event;
  library.send(&request);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 4000));
  EXPECT_EQ(aspi::kDone, request.header.status);
  EXPECT_EQ(3, toc[3]) << "three tracks";

  ResetEvent(event);
  const BYTE vendor[12] = {0xD8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
  std::memcpy(request.cdb, vendor, sizeof(vendor));
  request.cdbLength = 12;
  library.send(&request);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 4000));
  EXPECT_EQ(aspi::kFailed, request.header.status);
  EXPECT_EQ(aspi::kCheckCondition, request.targetStatus);
  EXPECT_EQ(5, request.sense[2]);
  EXPECT_EQ(0x20, request.sense[12]);
  CloseHandle(event);
}
