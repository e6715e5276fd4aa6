// A CD track as a conversion source against the virtual drive: blocks of 27 frames bit for bit, the start time,
// drives that refuse READ CD or return nothing, unreadable sectors, the settings it reads and its tag.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "CdTestDrive.h"
#include "ComPtr.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "cd/AspiBackEnd.h"
#include "cd/AudioCDTrack.h"
#include "tavcore.h"

namespace {

// Track index (0-based) of the disc in the drive, as a source with a recording callback.
struct TrackSource {
  explicit TrackSource(UINT32 index) {
    ComPtr<cdrip::IAudioCDDevices> devices;
    EXPECT_EQ(S_OK, CreateAudioCDDevices(&devices));
    EXPECT_EQ(S_OK, devices->GetCD(0, &cd));
    EXPECT_EQ(S_OK, cd->ReadTOC());
    EXPECT_EQ(S_OK, cd->GetTrack(index, &track));
    EXPECT_EQ(S_OK, track->QueryInterface(IID_IConvertSource, reinterpret_cast<void**>(&source)));
    source->SetCallback(&log);
  }
  std::vector<std::wstring> Lines(const wchar_t* style) const {
    std::vector<std::wstring> result;
    for (const RecordingCallback::Line& line : log.lines)
      if (line.style == style) result.push_back(line.text);
    return result;
  }
  ComPtr<cdrip::IAudioCD> cd;
  ComPtr<cdrip::IAudioCDTrack> track;
  ComPtr<IConvertSource> source;
  RecordingCallback log;
};

std::wstring FrameText(IMetadataTag* tag, UINT32 number) {
  IMetadataFrameText* frame = nullptr;
  if (FAILED(tag->FindFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame) return L"-";
  wchar_t text[64] = {};
  frame->GetText(text, 64);
  frame->Release();
  return text;
}

constexpr UINT32 kBlock = 27 * 2352;

}  // namespace

TEST(AudioCDTrack, DeliversTheTrackInBlocksOf27FramesBitForBit) {
  ImageInDrive image;
  TrackSource second(1);  // 225 sectors from block address 375
  ASSERT_TRUE(second.source->Open());
  UINT32 size = 0;
  ASSERT_TRUE(second.source->GetDataSize(&size, -1, -1));
  EXPECT_EQ(225u * 2352, size);
  WAVEFORMATEX format = {};
  ASSERT_TRUE(second.source->GetFormat(&format));
  EXPECT_EQ(2, format.nChannels);
  EXPECT_EQ(44100u, format.nSamplesPerSec);
  EXPECT_EQ(16, format.wBitsPerSample);
  KeepingSink sink;
  ASSERT_TRUE(second.source->ReadAll(&sink));
  EXPECT_EQ(std::vector<UINT32>({kBlock, kBlock, kBlock, kBlock, kBlock, kBlock, kBlock, kBlock, 9 * 2352}),
            sink.sizes);
  EXPECT_TRUE(sink.bytes == ImageInDrive::Sectors(L"disc image.bin", 375, 225)) << "the audio differs";
  EXPECT_TRUE(second.Lines(L"e").empty());
  const std::vector<std::wstring> info = second.Lines(L"i");
  ASSERT_EQ(1u, info.size());
  EXPECT_EQ(0u, info[0].find(L"Track 2: CRC32 ")) << info[0];

  // One second in: 75 frames fewer, up to the same end; the data size still names the whole track.
  TrackSource later(1);
  ASSERT_TRUE(later.source->SetStartTime(1000));
  ASSERT_TRUE(later.source->Open());
  ASSERT_TRUE(later.source->GetDataSize(&size, -1, -1));
  EXPECT_EQ(225u * 2352, size);
  KeepingSink rest;
  ASSERT_TRUE(later.source->ReadAll(&rest));
  EXPECT_TRUE(rest.bytes == ImageInDrive::Sectors(L"disc image.bin", 450, 150));
  EXPECT_TRUE(later.Lines(L"i").empty()) << "checksums describe whole tracks only";

  // A sink that stops the reading: true, nothing more read.
  TrackSource stopped(1);
  ASSERT_TRUE(stopped.source->Open());
  KeepingSink two;
  two.stopAfter = 2;
  EXPECT_TRUE(stopped.source->ReadAll(&two));
  EXPECT_EQ(2u, two.sizes.size());
}

TEST(AudioCDTrack, DriveRefusingReadCdIsReadInRawBlockMode) {
  ImageInDrive image;
  FaultsInDrive faults(L"refuse-readcd");
  TrackSource third(2);
  ASSERT_TRUE(third.source->Open());
  KeepingSink sink;
  ASSERT_TRUE(third.source->ReadAll(&sink));
  EXPECT_TRUE(sink.bytes == ImageInDrive::Sectors(L"disc image.bin", 600, 189));
  EXPECT_TRUE(third.Lines(L"e").empty());
  // Closing the handle gave the drive back its usual block length: raw READ(10) is refused again.
  AspiBackEnd aspi;
  ASSERT_TRUE(aspi.Load());
  const BYTE read10[10] = {0x28, 0, 0, 0, 0x02, 0x58, 0, 0, 1, 0};
  BYTE sector[2352];
  EXPECT_EQ(4, aspi.Execute(0, 0, 0, read10, sizeof(read10), sector, sizeof(sector), true));
  EXPECT_EQ(0x64, aspi.lastSense[12]);
}

TEST(AudioCDTrack, UnreadableBlockIsLoggedAndReadingGoesOn) {
  ImageInDrive image;
  FaultsInDrive faults(L"unreadable=410-410");
  TrackSource second(1);
  ASSERT_TRUE(second.source->Open());
  KeepingSink sink;
  ASSERT_TRUE(second.source->ReadAll(&sink));
  const std::vector<std::wstring> errors = second.Lines(L"e");
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(L"Error reading frame 402 to 429 [Code -4, ASPI 0x04]\n", errors[0]);
  EXPECT_NE(std::wstring::npos, errors[1].find(L"not exact")) << errors[1];
  EXPECT_TRUE(second.Lines(L"i").empty()) << "no checksums for a damaged rip";
  // The failed block is silence of its length; the audio around it keeps its place.
  const std::string expected = ImageInDrive::Sectors(L"disc image.bin", 375, 225);
  ASSERT_EQ(expected.size(), sink.bytes.size());
  EXPECT_TRUE(sink.bytes.compare(0, kBlock, expected, 0, kBlock) == 0);
  EXPECT_TRUE(std::all_of(sink.bytes.begin() + kBlock, sink.bytes.begin() + 2 * kBlock, [](char c) { return c == 0; }));
  EXPECT_TRUE(sink.bytes.compare(2 * kBlock, std::string::npos, expected, 2 * kBlock, std::string::npos) == 0);
}

TEST(AudioCDTrack, DriveReturningNothingFailsEveryBlockAndKeepsProbing) {
  ImageInDrive image;
  FaultsInDrive faults(L"blank-reads");
  TrackSource third(2);  // 189 frames: 7 blocks
  ASSERT_TRUE(third.source->Open());
  KeepingSink sink;
  ASSERT_TRUE(third.source->ReadAll(&sink));
  std::vector<std::wstring> errors = third.Lines(L"e");
  ASSERT_EQ(8u, errors.size()) << "a line per block, each probed again, and the summary";
  EXPECT_EQ(L"Error reading frame 600 to 627 [Code -4, ASPI 0x04]\n", errors[0]);
  EXPECT_EQ(L"Error reading frame 762 to 789 [Code -4, ASPI 0x04]\n", errors[6]);
  EXPECT_EQ(189u * 2352, sink.bytes.size());
}

TEST(AudioCDTrack, ReadsItsSettingsAndOffersTheDiscAsATag) {
  ImageInDrive image;
  ASSERT_TRUE(OpenSettingsRoot());
  const std::pair<int, int> jitter[] = {{5, 2}, {-1, 2}, {1, 1}, {0, 0}};
  for (const auto& [stored, read] : jitter) {
    ASSERT_TRUE(WritePInt(L"AudioCD", L"JitterCorrection", stored));
    TrackSource track(0);
    ASSERT_TRUE(track.source->Open());
    EXPECT_EQ(read, static_cast<CAudioCDTrack*>(track.source.Get())->JitterCorrection()) << stored;
  }
  ASSERT_TRUE(WritePInt(L"AudioCD", L"CDDAReadingSpeed", 1411));
  TrackSource second(1);
  ASSERT_TRUE(second.source->Open());
  EXPECT_EQ(1411, static_cast<CAudioCDTrack*>(second.source.Get())->ReadingSpeed());

  wchar_t text[64];
  ASSERT_TRUE(second.source->GetFileName(text, 64));
  EXPECT_STREQ(L"D:\\Track02.cda", text);
  ASSERT_TRUE(second.source->GetFileTitle(text, 64));
  EXPECT_STREQ(L"Track 2", text);
  ASSERT_TRUE(second.source->GetFolder(text, 64));
  EXPECT_STREQ(L"TAVREL  VIRTUAL CD-ROM  1.00 (D:)", text);
  GUID id = {};
  EXPECT_FALSE(second.source->GetClassId(&id));
  EXPECT_TRUE(IsEqualGUID(CLSID_CAudioCDTrack, id));

  ComPtr<IMetadata> metadata;
  ASSERT_TRUE(second.source->GetMetadata(&metadata));
  EXPECT_EQ(1u, metadata->GetCapabilities());
  EXPECT_EQ(E_NOTIMPL, metadata->SetTag(nullptr));
  ComPtr<IMetadataTag> tag;
  ASSERT_EQ(S_OK, metadata->GetTag(&tag));
  EXPECT_EQ(L"2/3", FrameText(tag.Get(), kFrameTrackNumber));
  EXPECT_EQ(L"Track 2", FrameText(tag.Get(), kFrameTitle));
  EXPECT_EQ(L"00001300", FrameText(tag.Get(), kFrameAlbum)) << "the serial stands in for a missing title";
  EXPECT_EQ(L"3000", FrameText(tag.Get(), kFrameSongLength));
  EXPECT_EQ(L"-", FrameText(tag.Get(), kFrameLeadArtist));
  EXPECT_EQ(L"-", FrameText(tag.Get(), kFrameYear));

  second.cd->SetArtist(L"Somebody");
  second.cd->SetTitle(L"Album");
  second.cd->SetYear(1999);
  second.cd->SetTrackTitle(1, L"Song");
  ComPtr<IMetadataTag> filled;
  ASSERT_EQ(S_OK, metadata->GetTag(&filled));
  EXPECT_EQ(L"Somebody", FrameText(filled.Get(), kFrameLeadArtist));
  EXPECT_EQ(L"Album", FrameText(filled.Get(), kFrameAlbum));
  EXPECT_EQ(L"1999", FrameText(filled.Get(), kFrameYear));
  EXPECT_EQ(L"Song", FrameText(filled.Get(), kFrameTitle));
  EXPECT_EQ(7u, filled->GetFrameCount()) << "TRCK TIT2 TALB TPE1 TYER TLEN TMED";
}

TEST(AudioCDTrack, TagOfAMixedModeDiscNamesTheTrackItself) {
  ImageInDrive image(L"mixed.cue");
  TrackSource first(0);  // track 2 of the disc: track 1 holds data
  first.cd->SetTrackTitle(0, L"First song");
  first.cd->SetTrackTitle(1, L"Second song");
  ComPtr<IMetadata> metadata;
  ASSERT_TRUE(first.source->GetMetadata(&metadata));
  ComPtr<IMetadataTag> tag;
  ASSERT_EQ(S_OK, metadata->GetTag(&tag));
  EXPECT_EQ(L"2/2", FrameText(tag.Get(), kFrameTrackNumber));
  EXPECT_EQ(L"First song", FrameText(tag.Get(), kFrameTitle));
}

TEST(AudioCDTrack, DetachedTrackNeitherOpensNorReads) {
  ImageInDrive image;
  TrackSource first(0);
  ASSERT_EQ(S_OK, first.track->Detach());
  EXPECT_FALSE(first.source->Open());
  wchar_t text[64];
  EXPECT_FALSE(first.source->GetFileName(text, 64));
  ComPtr<cdrip::IAudioCD> cd;
  EXPECT_EQ(E_FAIL, first.track->GetCD(&cd));
}
