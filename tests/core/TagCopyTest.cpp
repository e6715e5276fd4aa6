// The job's tag copy: the source's frames reach the finished file, TLEN goes for ranges, TSSE names the
// encoder settings, TBPM carries the tempo. The WAV source and destination are wrapped so that they carry tags.
#include <gtest/gtest.h>

#include <string>

#include "TaggedObjects.h"
#include "WavFiles.h"

namespace {
std::wstring FrameText(IMetadataTag* tag, UINT32 number) {
  IMetadataFrameText* frame = nullptr;
  if (FAILED(tag->FindFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame)
    return L"(none)";
  wchar_t text[256] = L"";
  frame->GetText(text, 256);
  frame->Release();
  return text;
}

IMetadataTag* ReadTag(const std::wstring& path) {
  IMetadata* metadata = nullptr;
  EXPECT_EQ(S_OK, MetadataCreateMP3(path.c_str(), &metadata));
  IMetadataTag* tag = nullptr;
  if (metadata) {
    metadata->GetTag(&tag);
    metadata->Release();
  }
  return tag;
}

void SetFrame(IMetadataTag* tag, UINT32 number, const wchar_t* text) {
  IMetadataFrameText* frame = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame)));
  frame->SetText(text);
  frame->AttachTo(tag);
  frame->Release();
}

class TagCopy : public testing::Test {
protected:
  void SetUp() override {
    WritePString(L"WAV", nullptr, nullptr);
    WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
    ASSERT_TRUE(WriteFileBytes(temp / L"in.wav", PcmWave(cd, PcmSignal(cd, 44100 * 3))));
    // The source's tag lives in a tag file of its own.
    ASSERT_TRUE(WriteFileBytes(temp / L"source-tag.mp3", std::string(1000, '\xFF')));
    IMetadata* metadata = nullptr;
    ASSERT_EQ(S_OK, MetadataCreateMP3((temp / L"source-tag.mp3").c_str(), &metadata));
    IMetadataTag* tag = nullptr;
    ASSERT_EQ(S_OK, MetadataCreateTag(&tag));
    SetFrame(tag, kFrameTitle, L"Gr\u00FC\u00DFe \u97F3\u697D");
    SetFrame(tag, kFrameSongLength, L"180000");
    SetFrame(tag, kFrameEncoderSettings, L"old settings");
    ASSERT_EQ(S_OK, metadata->SetTag(tag));
    tag->Release();
    metadata->Release();
  }
  void TearDown() override { WritePString(L"Settings", L"BPMAnalysis", nullptr); }

  HRESULT Convert(const std::wstring& output, int startMs, int endMs) {
    TaggedSource source(NewWavSource(), temp / L"source-tag.mp3");
    TaggedDestination destination(NewWavDestination());
    source.SetFileName((temp / L"in.wav").c_str());
    destination.SetFileName(output.c_str());
    RecordingCallback log;
    return AudioConvert(&source, &destination, &log, nullptr, nullptr, startMs, endMs);
  }

  TempFolder temp;
};
}  // namespace

TEST_F(TagCopy, WholeFileAndRange) {
  ASSERT_EQ(S_OK, Convert(temp / L"whole.mp3", -1, -1));
  IMetadataTag* whole = ReadTag(temp / L"whole.mp3");
  ASSERT_NE(nullptr, whole);
  EXPECT_EQ(L"Gr\u00FC\u00DFe \u97F3\u697D", FrameText(whole, kFrameTitle));
  EXPECT_EQ(L"180000", FrameText(whole, kFrameSongLength));
  EXPECT_EQ(L"Tavrel, PCM; auto detection", FrameText(whole, kFrameEncoderSettings));
  EXPECT_EQ(L"(none)", FrameText(whole, kFrameBpm)) << "no tempo without the analysis";
  whole->Release();

  ASSERT_EQ(S_OK, Convert(temp / L"part.mp3", 500, 1500));
  IMetadataTag* part = ReadTag(temp / L"part.mp3");
  ASSERT_NE(nullptr, part);
  EXPECT_EQ(L"(none)", FrameText(part, kFrameSongLength)) << "a range has another length";
  EXPECT_EQ(L"Gr\u00FC\u00DFe \u97F3\u697D", FrameText(part, kFrameTitle));
  part->Release();
}

TEST_F(TagCopy, TempoWhenAnalysisIsOn) {
  WritePInt(L"Settings", L"BPMAnalysis", 1);
  ASSERT_EQ(S_OK, Convert(temp / L"tempo.mp3", -1, -1));
  IMetadataTag* tag = ReadTag(temp / L"tempo.mp3");
  ASSERT_NE(nullptr, tag);
  std::wstring bpm = FrameText(tag, kFrameBpm);
  // Three seconds are shorter than the longest lag: the estimate is a whole number of tenths, then "0".
  ASSERT_GE(bpm.size(), 5u) << std::string(bpm.begin(), bpm.end());
  EXPECT_EQ(L'0', bpm.back());
  double tempo = std::stod(bpm.substr(0, bpm.size() - 1)) / 10;
  EXPECT_GE(tempo, 80.0);
  EXPECT_LE(tempo, 160.0);
  tag->Release();
}
