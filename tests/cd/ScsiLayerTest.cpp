// The SCSI layer: its handle table and option checks, a command that outlasts the wait, and the pass-through
// back end on drives behind letters (a fake of the platform's device calls, backed by the virtual drive's
// target), which must win over an ASPI library and give the drive its own letter.
#include <gtest/gtest.h>
#include <windows.h>

#include <winioctl.h>

#include <ntddscsi.h>

#include <cstring>
#include <map>
#include <memory>

#include "CdTestDrive.h"
#include "ComPtr.h"
#include "ScsiTarget.h"
#include "VirtualDisc.h"
#include "cd/PassThroughPort.h"
#include "cd/ScsiLayer.h"

namespace {

scsi::OpenRequest Request(BYTE target = 0) { return {12, 1, 0, target, 0, 0, 2, {1, 3}}; }

// Drives behind letters as the platform presents them: CreateFile on "\\.\X:", IOCTL_SCSI_PASS_THROUGH_DIRECT
// carrying the CDB and the sense offset, IOCTL_SCSI_GET_ADDRESS.
class FakeDevices : public DeviceIo {
 public:
  struct Drive {
    std::unique_ptr<ScsiTarget> target;
    bool addressable = true;  // answers IOCTL_SCSI_GET_ADDRESS
    BYTE port = 0, id = 0;
    bool opens = true;
    const char* vendor = nullptr;  // INQUIRY answers with another vendor
  };
  std::map<wchar_t, Drive> drives;
  std::map<wchar_t, int> inquiries;

  UINT DriveType(wchar_t letter) override { return drives.count(letter) ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR; }
  HANDLE Open(const wchar_t* path, DWORD, DWORD) override {
    const wchar_t letter = path[4];
    if (std::wcslen(path) != 6 || !drives.count(letter) || !drives[letter].opens) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(letter));
  }
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD) override {
    const wchar_t letter = static_cast<wchar_t>(reinterpret_cast<INT_PTR>(device));
    Drive& drive = drives.at(letter);
    if (code == IOCTL_SCSI_GET_ADDRESS) {
      if (!drive.addressable) return FALSE;
      auto* address = static_cast<SCSI_ADDRESS*>(out);
      address->PortNumber = drive.port;
      address->PathId = 0;
      address->TargetId = drive.id;
      address->Lun = 0;
      return TRUE;
    }
    if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT)) return FALSE;
    auto* request = static_cast<SCSI_PASS_THROUGH_DIRECT*>(in);
    if (request->Cdb[0] == 0x12) ++inquiries[letter];
    BYTE sense[14];
    request->ScsiStatus = drive.target->Execute(request->Cdb, request->CdbLength, static_cast<BYTE*>(request->DataBuffer),
                                                request->DataTransferLength, sense);
    std::memcpy(static_cast<BYTE*>(in) + request->SenseInfoOffset, sense, request->SenseInfoLength);
    if (request->Cdb[0] == 0x12 && drive.vendor) std::memcpy(static_cast<BYTE*>(request->DataBuffer) + 8, drive.vendor, 8);
    return TRUE;
  }
  void Close(HANDLE) override {}
};

class DevicesInPlace {
 public:
  explicit DevicesInPlace(FakeDevices* devices) { SetDeviceIo(devices); }
  ~DevicesInPlace() { SetDeviceIo(nullptr); }
};

}  // namespace

TEST(ScsiLayer, HandleTableAndRequestChecks) {
  ImageInDrive image;
  ScsiInit();
  std::vector<cdrip::CDDeviceInfo> drives;
  ASSERT_EQ(scsi::kDone, ScsiEnumerate(&drives));
  ASSERT_EQ(1u, drives.size());

  scsi::OpenRequest bad = Request();
  bad.size = 11;
  EXPECT_EQ(0, ScsiOpen(&bad));
  bad = Request();
  bad.version = 2;
  EXPECT_EQ(0, ScsiOpen(&bad));
  const scsi::OpenRequest noUnit = Request(1);
  EXPECT_EQ(0, ScsiOpen(&noUnit)) << "no CD-ROM at target 1";

  const scsi::OpenRequest good = Request();
  for (int expected = 1; expected <= 16; ++expected) EXPECT_EQ(expected, ScsiOpen(&good));
  ScsiLastError();
  EXPECT_EQ(0, ScsiOpen(&good));
  EXPECT_EQ(scsi::kErrorNoFreeHandle, ScsiLastError());
  EXPECT_EQ(0, ScsiLastError()) << "reading the code resets it";
  EXPECT_EQ(scsi::kDone, ScsiClose(7));
  EXPECT_EQ(7, ScsiOpen(&good)) << "a freed handle is used again";

  EXPECT_EQ(scsi::kFailed, ScsiClose(17));
  EXPECT_EQ(scsi::kErrorBadHandle, ScsiLastError());
  EXPECT_EQ(scsi::kFailed, ScsiSetOption(1, 99, 0));
  EXPECT_EQ(scsi::kDone, ScsiSetOption(1, scsi::kOptionReadSpeed, -1));
  EXPECT_EQ(scsi::kDone, ScsiSetOption(1, 38, 5));

  auto request = std::make_unique<scsi::CDReadRequest>();
  request->startSector = 0;
  request->frameCount = 28;
  request->bufferBytes = 27 * 2352;
  EXPECT_EQ(scsi::kFailed, ScsiReadAudio(1, request.get()));
  EXPECT_EQ(scsi::kErrorBufferTooSmall, ScsiLastError());
  request->frameCount = 27;
  ASSERT_EQ(scsi::kDone, ScsiReadAudio(1, request.get()));
  EXPECT_EQ(27u * 2352, request->bytesRead);
  EXPECT_EQ(1u, request->status);
  EXPECT_TRUE(std::memcmp(request->data, ImageInDrive::Sectors(L"disc image.bin", 0, 27).data(), 27 * 2352) == 0);
  ScsiShutdown();
  EXPECT_EQ(0, ScsiOpen(&good)) << "no back end after shutdown";
}

TEST(ScsiLayer, CommandOutlastingTheWaitIsGivenUp) {
  ImageInDrive image;
  FaultsInDrive faults(L"slow=20000");
  ComPtr<cdrip::IAudioCDDevices> devices;
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ComPtr<cdrip::IAudioCD> cd;
  ASSERT_EQ(S_OK, devices->GetCD(0, &cd));
  const ULONGLONG started = GetTickCount64();
  EXPECT_EQ(E_FAIL, cd->ReadTOC());
  const ULONGLONG took = GetTickCount64() - started;
  EXPECT_GE(took, 3900u) << "the layer waits its 4000 ms";
  EXPECT_LT(took, 15000u) << "and then gives the command up";
}

TEST(ScsiLayer, PassThroughDriveWinsOverTheLibraryAndKeepsItsLetter) {
  ImageInDrive image;  // the ASPI library has a disc too, and must not be used
  VirtualDisc disc;
  wchar_t cue[MAX_PATH];
  GetEnvironmentVariableW(L"TAVREL_CD_IMAGE", cue, MAX_PATH);
  ASSERT_TRUE(disc.Load(cue, nullptr));
  FakeDevices fake;
  fake.drives[L'F'].target = std::make_unique<ScsiTarget>(&disc);
  fake.drives[L'F'].port = 1;
  fake.drives[L'F'].id = 2;
  DevicesInPlace inPlace(&fake);

  ComPtr<cdrip::IAudioCDDevices> devices;
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ASSERT_EQ(1, devices->GetCount());
  EXPECT_EQ(5, devices->GetDriveNumber(0)) << "F:";
  ComPtr<cdrip::IAudioCD> cd;
  ASSERT_EQ(S_OK, devices->GetCDByDrive(5, &cd));
  wchar_t name[64];
  cd->GetDisplayName(name, 64);
  EXPECT_STREQ(L"TAVREL  VIRTUAL CD-ROM  1.00 (F:)", name);
  ASSERT_EQ(S_OK, cd->ReadTOC());
  EXPECT_EQ(cdrip::PackMSF(0, 2, 0) + cdrip::PackMSF(0, 7, 0) + cdrip::PackMSF(0, 10, 0), cd->GetSerial());

  ComPtr<cdrip::IAudioCDTrack> track;
  ASSERT_EQ(S_OK, cd->GetTrack(2, &track));
  ComPtr<IConvertSource> source;
  ASSERT_EQ(S_OK, track->QueryInterface(IID_IConvertSource, reinterpret_cast<void**>(&source)));
  ASSERT_TRUE(source->Open());
  KeepingSink sink;
  ASSERT_TRUE(source->ReadAll(&sink));
  EXPECT_TRUE(sink.bytes == ImageInDrive::Sectors(L"disc image.bin", 600, 189));
}

TEST(ScsiLayer, LibraryDriveIsMatchedToTheLetterThatAnswersItsInquiry) {
  ImageInDrive image;
  VirtualDisc disc;
  wchar_t cue[MAX_PATH];
  GetEnvironmentVariableW(L"TAVREL_CD_IMAGE", cue, MAX_PATH);
  ASSERT_TRUE(disc.Load(cue, nullptr));
  // Letters whose drives answer INQUIRY but have no SCSI address: pass-through lists none of them, so the
  // ASPI library serves, and its drive is found again by its INQUIRY texts.
  FakeDevices fake;
  fake.drives[L'E'].target = std::make_unique<ScsiTarget>(nullptr);
  fake.drives[L'E'].addressable = false;
  fake.drives[L'E'].vendor = "OTHERONE";
  fake.drives[L'G'].target = std::make_unique<ScsiTarget>(&disc);
  fake.drives[L'G'].addressable = false;
  DevicesInPlace inPlace(&fake);
  ComPtr<cdrip::IAudioCDDevices> devices;
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ASSERT_EQ(1, devices->GetCount());
  EXPECT_EQ(6, devices->GetDriveNumber(0)) << "G:, not E: whose drive is another one";
  EXPECT_EQ(2, fake.inquiries[L'E']) << "once by the scan, once by the match";

  // A letter whose drive cannot be opened at all ends the search with its own letter.
  FakeDevices closed;
  closed.drives[L'H'].target = std::make_unique<ScsiTarget>(&disc);
  closed.drives[L'H'].opens = false;
  closed.drives[L'J'].target = std::make_unique<ScsiTarget>(&disc);
  closed.drives[L'J'].addressable = false;
  SetDeviceIo(&closed);
  ComPtr<cdrip::IAudioCD> cd;
  ASSERT_EQ(S_OK, devices->GetCD(0, &cd));
  EXPECT_EQ(7, cd->GetDriveNumber()) << "H:";
  EXPECT_EQ(0, closed.inquiries[L'J']);
}
