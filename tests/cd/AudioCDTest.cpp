// The drive list and the disc object against the virtual drive: the drive's names and letter, the TOC of plain,
// mixed-mode and 99-track discs, an empty drive, a disc change under attached tracks, and ".cda" files.
#include <gtest/gtest.h>

#include <string>

#include "CdTestDrive.h"
#include "ComPtr.h"
#include "TestSupport.h"
#include "tavcore.h"

namespace {

ComPtr<cdrip::IAudioCD> FirstDisc() {
  ComPtr<cdrip::IAudioCDDevices> devices;
  EXPECT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ComPtr<cdrip::IAudioCD> cd;
  EXPECT_EQ(S_OK, devices->GetCD(0, &cd));
  return cd;
}

std::string CdaFile(UINT16 track, UINT32 serial, UINT32 start, UINT32 length) {
  cdrip::CDTrackInfo info = {1, track, serial, start, length, cdrip::PackFrames(start + 150),
                             cdrip::PackFrames(length)};
  std::string body = "CDDAfmt ";
  const UINT32 size = sizeof(info);
  body.append(reinterpret_cast<const char*>(&size), 4).append(reinterpret_cast<const char*>(&info), sizeof(info));
  const UINT32 riffSize = static_cast<UINT32>(body.size());
  return std::string("RIFF") + std::string(reinterpret_cast<const char*>(&riffSize), 4) + body;
}

cdrip::CDTrackInfo InfoOf(cdrip::IAudioCD* cd, UINT32 index) {
  cdrip::CDTrackInfo info = {};
  ComPtr<cdrip::IAudioCDTrack> track;
  if (SUCCEEDED(cd->GetTrack(index, &track))) track->GetInfo(&info);
  return info;
}

}  // namespace

TEST(AudioCD, ListsTheDriveAndReadsItsDisc) {
  ImageInDrive image;
  ComPtr<cdrip::IAudioCDDevices> devices, again;
  ASSERT_EQ(E_INVALIDARG, CreateAudioCDDevices(nullptr));
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&devices));
  ASSERT_EQ(S_OK, CreateAudioCDDevices(&again));
  EXPECT_EQ(devices.Get(), again.Get()) << "one list per process";
  ASSERT_EQ(1, devices->GetCount());
  EXPECT_EQ(3, devices->GetDriveNumber(0)) << "no CD letter answers here: the drive is taken to be D:";
  EXPECT_EQ(0, devices->GetDriveNumber(1));
  wchar_t name[64];
  ASSERT_EQ(S_OK, devices->GetDisplayName(0, name, 64));
  EXPECT_STREQ(L"TAVREL  VIRTUAL CD-ROM  1.00 (D:)", name) << "the INQUIRY fields with their blanks";
  ComPtr<cdrip::IAudioCD> cd, none;
  EXPECT_EQ(E_INVALIDARG, devices->GetCD(1, &none));
  EXPECT_EQ(E_INVALIDARG, devices->GetCDByDrive(4, &none));
  ASSERT_EQ(S_OK, devices->GetCDByDrive(3, &cd));

  EXPECT_EQ(nullptr, cd->GetTOC());
  EXPECT_EQ(0u, cd->GetSerial());
  ASSERT_EQ(S_OK, cd->ReadTOC());
  UINT32 count = 0;
  ASSERT_EQ(S_OK, cd->GetTrackCount(&count));
  ASSERT_EQ(3u, count);
  const cdrip::CDTOC* toc = cd->GetTOC();
  ASSERT_NE(nullptr, toc);
  EXPECT_EQ(3u, toc->count);
  const UINT32 offsets[] = {150, 525, 750, 939};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(offsets[i], toc->offsets[i]) << i;
  const UINT32 serial = cdrip::PackMSF(0, 2, 0) + cdrip::PackMSF(0, 7, 0) + cdrip::PackMSF(0, 10, 0);
  EXPECT_EQ(serial, cd->GetSerial());
  const cdrip::CDTrackInfo second = InfoOf(cd.Get(), 1);
  EXPECT_EQ(1, second.version);
  EXPECT_EQ(2, second.track);
  EXPECT_EQ(serial, second.serial);
  EXPECT_EQ(375u, second.startSector);
  EXPECT_EQ(225u, second.lengthSectors);
  EXPECT_EQ(cdrip::PackMSF(0, 7, 0), second.startMSF);
  EXPECT_EQ(cdrip::PackMSF(0, 3, 0), second.lengthMSF);
  wchar_t title[32];
  EXPECT_TRUE(cd->GetTrackTitle(2, title, 32));
  EXPECT_STREQ(L"Track 3", title);
  EXPECT_FALSE(cd->GetTrackTitle(3, title, 32));
  ComPtr<cdrip::IAudioCDTrack> track;
  EXPECT_EQ(E_INVALIDARG, cd->GetTrack(3, &track));

  ComPtr<cdrip::ICDDBQuery> query;
  ASSERT_EQ(S_OK, cd->QueryInterface(cdrip::IID_ICDDBQuery, reinterpret_cast<void**>(&query)));
  ComPtr<cdrip::IAudioCD> back;
  ASSERT_EQ(S_OK, query->QueryInterface(cdrip::IID_IAudioCD, reinterpret_cast<void**>(&back)));
  EXPECT_EQ(cd.Get(), back.Get());
}

TEST(AudioCD, DescriptiveDataIsKeptAndTruncated) {
  ImageInDrive image;
  ComPtr<cdrip::IAudioCD> cd = FirstDisc();
  ASSERT_EQ(S_OK, cd->ReadTOC());
  wchar_t text[8];
  EXPECT_FALSE(cd->GetArtist(text, 8));
  cd->SetArtist(L"Someone Long");
  EXPECT_TRUE(cd->GetArtist(text, 8));
  EXPECT_STREQ(L"Someone", text);
  cd->SetTitle(nullptr);
  EXPECT_FALSE(cd->GetTitle(text, 8));
  int year = 0;
  cd->GetYear(&year);
  EXPECT_EQ(-1, year);
  EXPECT_TRUE(cd->SetTrackTitle(0, L"Opening"));
  EXPECT_FALSE(cd->SetTrackTitle(3, L"none"));
  // A new TOC starts the disc's data afresh.
  ASSERT_EQ(S_OK, cd->ReadTOC());
  EXPECT_FALSE(cd->GetArtist(text, 8));
  EXPECT_TRUE(cd->GetTrackTitle(0, text, 8));
  EXPECT_STREQ(L"Track 1", text);
}

TEST(AudioCD, MixedModeDiscListsOnlyItsAudioTracks) {
  ImageInDrive image(L"mixed.cue");
  ComPtr<cdrip::IAudioCD> cd = FirstDisc();
  ASSERT_EQ(S_OK, cd->ReadTOC());
  UINT32 count = 0;
  cd->GetTrackCount(&count);
  ASSERT_EQ(2u, count);
  ASSERT_EQ(3u, cd->GetTOC()->count) << "the TOC keeps the data track for the disc id";
  EXPECT_EQ(150u, cd->GetTOC()->offsets[0]);
  EXPECT_EQ(2, InfoOf(cd.Get(), 0).track);
  EXPECT_EQ(3, InfoOf(cd.Get(), 1).track);
  EXPECT_EQ(cdrip::PackMSF(0, 4, 0) + cdrip::PackMSF(0, 8, 0), cd->GetSerial()) << "audio tracks only";
}

TEST(AudioCD, ReadsADiscOfNinetyNineTracks) {
  ImageInDrive image(L"many.cue");
  ComPtr<cdrip::IAudioCD> cd = FirstDisc();
  ASSERT_EQ(S_OK, cd->ReadTOC());
  UINT32 count = 0;
  cd->GetTrackCount(&count);
  ASSERT_EQ(99u, count);
  EXPECT_EQ(99u, cd->GetTOC()->count);
  EXPECT_EQ(990u + 150, cd->GetTOC()->offsets[99]) << "the lead-out";
  EXPECT_EQ(99, InfoOf(cd.Get(), 98).track);
  EXPECT_EQ(980u, InfoOf(cd.Get(), 98).startSector);
}

TEST(AudioCD, EmptyDriveAndDiscChange) {
  ImageInDrive image;
  ComPtr<cdrip::IAudioCD> cd = FirstDisc();
  {
    FaultsInDrive empty(L"nodisc");
    EXPECT_EQ(E_FAIL, cd->ReadTOC());
    EXPECT_EQ(nullptr, cd->GetTOC());
    EXPECT_EQ(0u, cd->GetSerial());
  }
  // The disc that went in is reported once as a change, then read.
  EXPECT_EQ(E_FAIL, cd->ReadTOC());
  ASSERT_EQ(S_OK, cd->ReadTOC());
  ComPtr<cdrip::IAudioCDTrack> first, third;
  ASSERT_EQ(S_OK, cd->GetTrack(0, &first));
  ASSERT_EQ(S_OK, cd->GetTrack(2, &third));

  image.Change(L"mixed.cue");
  EXPECT_EQ(E_FAIL, cd->ReadTOC());
  ASSERT_EQ(S_OK, cd->ReadTOC());
  // The new disc has two audio tracks: the object of the third left the disc, the first's stays.
  ComPtr<cdrip::IAudioCD> owner;
  EXPECT_EQ(E_FAIL, third->GetCD(&owner));
  EXPECT_EQ(E_FAIL, third->GetLength(nullptr, nullptr, nullptr));
  ASSERT_EQ(S_OK, first->GetCD(&owner));
  EXPECT_EQ(cd.Get(), owner.Get());
  EXPECT_EQ(S_OK, third->Detach());
}

TEST(AudioCD, FindsTheTrackOfACdaFile) {
  ImageInDrive image;
  TempFolder folder;
  ComPtr<cdrip::IAudioCD> cd = FirstDisc();
  const UINT32 serial = cdrip::PackMSF(0, 2, 0) + cdrip::PackMSF(0, 7, 0) + cdrip::PackMSF(0, 10, 0);
  ASSERT_TRUE(WriteFileBytes(folder / L"Track02.cda", CdaFile(2, serial, 375, 225)));
  // Another disc with a track of the same number, start and length: the serial is not compared.
  ASSERT_TRUE(WriteFileBytes(folder / L"other.cda", CdaFile(2, 0x12345678, 375, 225)));
  ASSERT_TRUE(WriteFileBytes(folder / L"moved.cda", CdaFile(2, serial, 376, 225)));
  ASSERT_TRUE(WriteFileBytes(folder / L"notcda.cda", "RIFF\x04\0\0\0WAVE"));

  ComPtr<cdrip::IAudioCDTrack> track;
  ASSERT_EQ(S_OK, cd->GetTrackFromCDAFile((folder / L"Track02.cda").c_str(), &track)) << "reads the TOC itself";
  cdrip::CDTrackInfo info = {};
  track->GetInfo(&info);
  EXPECT_EQ(375u, info.startSector);
  BYTE m = 9, s = 9, f = 9;
  ASSERT_EQ(S_OK, track->GetLength(&m, &s, &f));
  EXPECT_EQ(0, m);
  EXPECT_EQ(3, s);
  EXPECT_EQ(0, f);
  ComPtr<cdrip::IAudioCDTrack> other, none;
  EXPECT_EQ(S_OK, cd->GetTrackFromCDAFile((folder / L"other.cda").c_str(), &other));
  EXPECT_EQ(E_INVALIDARG, cd->GetTrackFromCDAFile((folder / L"moved.cda").c_str(), &none));
  EXPECT_EQ(E_FAIL, cd->GetTrackFromCDAFile((folder / L"notcda.cda").c_str(), &none));
  EXPECT_EQ(E_FAIL, cd->GetTrackFromCDAFile((folder / L"missing.cda").c_str(), &none));
  EXPECT_EQ(E_INVALIDARG, cd->GetTrackFromCDAFile(L"", &none));

  // Through the factory a ".cda" path must name a CD drive's letter; a folder on C: is none.
  CONVFORMAT row;
  ASSERT_EQ(S_OK, ConvGetFormatOf(&row, L"x.cda"));
  IConvertSource* source = nullptr;
  ASSERT_EQ(S_OK, ConvCreateSource(&row, &source));
  EXPECT_FALSE(source->SetFileName((folder / L"Track02.cda").c_str()));
  EXPECT_FALSE(source->Open());
  source->Release();
}
