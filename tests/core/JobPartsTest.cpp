// Parts of the conversion job on their own: silence detection, fades, the tempo estimate, the range limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ConversionJob.h"
#include "JobCallback.h"
#include "JobSink.h"
#include "MediaLibrary.h"
#include "PcmFormat.h"
#include "SilenceDetector.h"
#include "TempPcmFile.h"
#include "TempoAnalyzer.h"
#include "TestSupport.h"

namespace {
std::vector<int16_t> Samples(std::initializer_list<int> values) {
  return std::vector<int16_t>(values.begin(), values.end());
}
}  // namespace

TEST(SilenceDetector, LeadingAndTrailingSilenceAcrossBlocks) {
  WAVEFORMATEX stereo = MakePcmFormat(16, 2, 44100);
  SilenceDetector detector(stereo, 5);                                       // threshold 1638
  std::vector<int16_t> first = Samples({0, 0, 1638, -1638, 0, 2000, 5, 5});  // third frame is loud
  std::vector<int16_t> second = Samples({3000, 0, 10, 10, -1638, 0});
  detector.Feed(first.data(), 16);
  detector.Feed(second.data(), 12);
  EXPECT_EQ(8u, detector.leadingBytes) << "two silent frames, then the first loud one";
  EXPECT_EQ(8u, detector.trailingBytes) << "the last two frames of the last block";

  std::vector<unsigned char> quiet(1000, 128);
  SilenceDetector eightBit(MakePcmFormat(8, 1, 8000), 5);
  eightBit.Feed(quiet.data(), 1000);
  eightBit.Feed(quiet.data(), 500);
  EXPECT_EQ(1500u, eightBit.leadingBytes) << "8-bit silence sits at 128";

  SilenceDetector strict(MakePcmFormat(8, 1, 8000), 0);
  std::vector<unsigned char> almost = {128, 129, 128};
  strict.Feed(almost.data(), 3);
  EXPECT_EQ(1u, strict.leadingBytes);
  EXPECT_EQ(1u, strict.trailingBytes);

  std::vector<unsigned char> zeros(36, 0);
  for (WORD bits : {24, 32}) {
    SilenceDetector wide(MakePcmFormat(bits, 3, 8000), 5);
    wide.Feed(zeros.data(), 36);
    EXPECT_EQ(36u, wide.leadingBytes) << bits << "-bit silence is silence too";
  }
  WAVEFORMATEX odd = MakePcmFormat(16, 1, 8000);
  odd.nBlockAlign = 3;
  SilenceDetector never(odd, 100);
  never.Feed(zeros.data(), 30);
  EXPECT_EQ(0u, never.leadingBytes) << "a layout that is not whole samples is never silent";
}

TEST(Fades, LinearRampsTruncatedTowardZero) {
  WAVEFORMATEX mono16 = MakePcmFormat(16, 1, 8000);
  std::vector<int16_t> loud(4, 1000);
  ApplyFade(mono16, reinterpret_cast<unsigned char*>(loud.data()), 8, true);
  EXPECT_EQ(Samples({0, 250, 500, 750}), loud);
  std::vector<int16_t> down = Samples({-999, 1000, 1000, 1000});
  ApplyFade(mono16, reinterpret_cast<unsigned char*>(down.data()), 8, false);
  EXPECT_EQ(Samples({-999, 750, 500, 250}), down);

  WAVEFORMATEX mono8 = MakePcmFormat(8, 1, 8000);
  std::vector<unsigned char> bytes = {228, 228, 28, 28};
  ApplyFade(mono8, bytes.data(), 4, true);
  EXPECT_EQ((std::vector<unsigned char>{128, 153, 78, 53}), bytes);
}

TEST(Fades, OnTheTemporaryFile) {
  WAVEFORMATEX cd = MakePcmFormat(16, 2, 44100);
  TempPcmFile file;
  ASSERT_TRUE(file.Create());
  std::wstring path = file.Path();
  EXPECT_EQ(0u, path.substr(path.find_last_of(L"\\/") + 1).find(L"ana"));
  std::vector<int16_t> tone(44100 * 2 * 2, 10000);  // two seconds
  ASSERT_TRUE(file.Write(tone.data(), static_cast<UINT32>(tone.size() * 2)));
  ASSERT_TRUE(file.Seek(0));
  file.FadeIn(cd, 176400);
  file.FadeOut(cd, 400000);  // longer than the file: skipped
  ASSERT_TRUE(file.Seek(0));
  std::vector<int16_t> back(tone.size());
  ASSERT_EQ(static_cast<long long>(back.size() * 2), file.Read(back.data(), static_cast<UINT32>(back.size() * 2)));
  EXPECT_EQ(0, back[0]);
  EXPECT_EQ(5000, back[44100]) << "halfway through the one-second ramp";
  EXPECT_EQ(10000, back[88200]) << "the ramp ends after 176400 bytes";
  EXPECT_EQ(10000, back.back()) << "the fade-out did not fit and was skipped";
  ASSERT_TRUE(file.TruncateEnd(176400));
  EXPECT_EQ(176400u, file.Size());
  file.Delete();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str())) << "the temporary file is removed";
}

TEST(TempoAnalyzer, FindsTheBeatOfClicks) {
  for (double bpm : {120.0}) {  // a bar of four beats lies inside the searched lags
    const UINT32 seconds = 20;
    std::vector<int16_t> pcm(44100 * 2 * seconds, 0);
    const double period = 44100 * 60.0 / bpm;
    for (double beat = 0; beat < 44100.0 * seconds; beat += period) {
      for (size_t i = 0; i < 2000 && static_cast<size_t>(beat) + i < pcm.size() / 2; ++i) {
        size_t frame = static_cast<size_t>(beat) + i;
        pcm[2 * frame] = pcm[2 * frame + 1] = static_cast<int16_t>(20000 * std::exp(-i / 400.0));
      }
    }
    UINT32 bytes = static_cast<UINT32>(pcm.size() * 2);
    TempoAnalyzer analyzer(bytes);
    for (UINT32 at = 0; at < bytes; at += 176400)
      analyzer.Feed(reinterpret_cast<char*>(pcm.data()) + at, std::min(176400u, bytes - at));
    EXPECT_NEAR(bpm, analyzer.Estimate(), 1.0);
  }
  TempoAnalyzer tiny(64 * 100);  // shorter than the smallest lag: every score is 0
  std::vector<int16_t> some(3200, 1000);
  tiny.Feed(some.data(), 6400);
  EXPECT_EQ(160.0, tiny.Estimate());
  EXPECT_EQ(0.0, tiny.Estimate()) << "the envelope is gone after an estimate";
}

TEST(JobSink, RangeLimitCutsTheLastBlockAndStops) {
  CPlayCallback sink;
  sink.byteLimit = 10;
  char block[8] = {};
  EXPECT_TRUE(sink.OnData(block, 8));
  EXPECT_TRUE(sink.OnData(block, 8));
  EXPECT_EQ(10u, sink.bytesDone) << "the second block is shortened to the limit";
  EXPECT_FALSE(sink.OnData(block, 8));
  EXPECT_TRUE(sink.limitReached);
  EXPECT_TRUE(sink.OnData(block, 0)) << "an empty block is accepted";
}

TEST(MediaLibrary, ScriptText) {
  EXPECT_EQ(
      L"On Error Resume Next\r\nDim Player\r\nSet Player = CreateObject(\"WMPlayer.OCX\")\r\n"
      L"Player.MediaCollection.add(\"C:\\Music\\a.mp3\")",
      MediaLibraryScript(L"C:\\Music\\a.mp3"));
}

TEST(TempoText, TenthsWithATrailingZero) {
  EXPECT_EQ(L"12000", TempoText(120.0));
  EXPECT_EQ(L"08000", TempoText(80.0));
  EXPECT_EQ(L"12340", TempoText(123.4));
  EXPECT_EQ(L"16000", TempoText(160.0));
}

TEST(JobCallback, ErrorsAreRememberedAndProgressBeyond2GBFitsTheRange) {
  RecordingCallback caller;
  CJobCallback job(caller);
  job.LogStyled(L"note\n", L"i");
  EXPECT_FALSE(job.ErrorLogged());
  job.LogStyled(L"Output file cannot be written\n", L"e");
  EXPECT_TRUE(job.ErrorLogged());
  EXPECT_EQ(2u, caller.lines.size()) << "every line reaches the caller";

  for (UINT32 total : {176400u, 0x7FFFFFFFu, 0x80000000u, 3000000000u, 0xFFFFFFFFu}) {
    job.SetBytePosition(0);
    job.SetByteRange(total);
    ASSERT_GT(caller.progressRange, 0) << total;
    UINT32 left = total;
    while (left > 0) {
      UINT32 step = std::min<UINT32>(left, 65536 + 6);  // steps that do not divide the scale
      job.StepProgress(static_cast<int>(step));
      left -= step;
    }
    EXPECT_EQ(caller.progressRange, caller.progressPos) << total << ": the steps add up to the range";
    job.SetBytePosition(total);
    EXPECT_EQ(caller.progressRange, caller.progressPos) << total;
  }
}
