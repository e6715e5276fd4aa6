// The engine's ASPI back end against the virtual drive: the library found by name, the drive enumerated with its
// INQUIRY texts, the TOC read in both forms and raw sectors, and a refused command's status and sense kept.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cd/AspiBackEnd.h"
#include "cd/TocParser.h"

namespace {
const wchar_t kImage[] = L"tools\\vcdrive-image\\disc.cue";

struct ImageInDrive {
  ImageInDrive() {
    wchar_t path[MAX_PATH];
    GetFullPathNameW(kImage, MAX_PATH, path, nullptr);
    SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", path);
  }
  ~ImageInDrive() { SetEnvironmentVariableW(L"TAVREL_CD_IMAGE", nullptr); }
};
}  // namespace

TEST(AspiBackEnd, FindsTheDriveAndReadsItsDisc) {
  ImageInDrive image;
  AspiBackEnd aspi;
  ASSERT_TRUE(aspi.Load());
  const std::vector<cdrip::CDDeviceInfo> drives = aspi.Enumerate();
  ASSERT_EQ(1u, drives.size());
  const cdrip::CDDeviceInfo& drive = drives[0];
  EXPECT_EQ(0, drive.hostAdapter + drive.target + drive.lun);
  EXPECT_STREQ("TAVREL  ", drive.vendor) << "the space padding is kept";
  EXPECT_STREQ("VIRTUAL CD-ROM  ", drive.product);
  EXPECT_STREQ("1.00", drive.revision);
  EXPECT_STREQ("TAVREL  , VIRTUAL CD-ROM   v1.00 (0:0:0)", drive.description);

  BYTE blocks[804] = {}, msf[804] = {};
  const BYTE readBlocks[10] = {0x43, 0, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
  const BYTE readMsf[10] = {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0};
  ASSERT_EQ(1, aspi.Execute(0, 0, 0, readBlocks, 10, blocks, sizeof(blocks), true));
  ASSERT_EQ(1, aspi.Execute(0, 0, 0, readMsf, 10, msf, sizeof(msf), true));
  ParsedToc toc;
  std::wstring reason;
  ASSERT_TRUE(ParseToc(blocks, sizeof(blocks), msf, sizeof(msf), &toc, &reason));
  ASSERT_EQ(3u, toc.audioTracks.size());
  EXPECT_EQ(375u, toc.audioTracks[1].startSector);
  EXPECT_EQ(189u, toc.audioTracks[2].lengthSectors);
  EXPECT_EQ(cdrip::PackMSF(0, 2, 0) + cdrip::PackMSF(0, 7, 0) + cdrip::PackMSF(0, 10, 0), toc.serial);

  // A command the drive refuses: failed, its status byte and sense data kept for the caller.
  const BYTE vendorRead[12] = {0xD8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
  BYTE sector[2352];
  EXPECT_EQ(4, aspi.Execute(0, 0, 0, vendorRead, 12, sector, sizeof(sector), true));
  EXPECT_EQ(-4, aspi.lastError);
  EXPECT_EQ(4, aspi.lastStatus);
  EXPECT_EQ(5, aspi.lastSense[2]);
  EXPECT_EQ(0x20, aspi.lastSense[12]);
}
