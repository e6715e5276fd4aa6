// The recorder window's parts that need no window: output naming and the level meter.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "LevelMeter.h"
#include "OutputName.h"
#include "tavcore.h"

namespace {
const SYSTEMTIME kMarch5 = {2024, 3, 2, 5, 14, 30, 0, 0};
const wchar_t kMusic[] = L"C:\\Users\\me\\Music";

TEST(OutputName, ExpandsTheTemplateLeftToRight) {
  struct Case {
    const wchar_t* pattern;
    int sequence;
    const wchar_t* expected;
  } cases[] = {
      {kDefaultOutputTemplate, 7, L"C:\\Users\\me\\Music\\Recordings\\NewRecording 2024-03-05 007"},
      {L"take %S.mp3", 1234, L"take 1234.mp3"},
      {L"%Q", 1, L"XQ"},
      {L"%%", 1, L"XX"},
      {L"%%D", 1, L"X2024-03-05"},  // the first sign is not a code, the second starts one
      {L"%M\\x", 1, L"XM\\x"},      // one M is not the music folder
      {L"%MMM", 1, L"C:\\Users\\me\\MusicM"},
      {L"end%", 1, L"endX"},
      {L"%d %s", 1, L"Xd Xs"},  // codes are upper case
      {L"no codes", 5, L"no codes"},
  };
  for (const Case& test : cases)
    EXPECT_EQ(ExpandOutputTemplate(test.pattern, test.sequence, kMarch5, kMusic), test.expected) << test.pattern;
}

TEST(OutputName, BrowseKeepsTheFileNamePart) {
  struct Case {
    const wchar_t* pattern;
    const wchar_t* folder;
    const wchar_t* expected;
  } cases[] = {
      {kDefaultOutputTemplate, L"D:\\Takes", L"D:\\Takes\\NewRecording %D %S"},
      {L"%MM\\a\\b", L"D:\\", L"D:\\b"},
      {L"just a name", L"E:\\Out", L"E:\\Out\\just a name"},
  };
  for (const Case& test : cases) EXPECT_EQ(ReplaceTemplateFolder(test.pattern, test.folder), test.expected);
}

TEST(OutputName, SequenceNumberIsStoredIncremented) {
  WritePString(L"Settings", L"SequenzeNumber", nullptr);
  EXPECT_EQ(NextSequenceNumber(), 1);
  WritePInt(L"Settings", L"SequenzeNumber", 41);
  EXPECT_EQ(NextSequenceNumber(), 42);
  int stored = 0;
  ReadPInt(L"Settings", L"SequenzeNumber", &stored);
  EXPECT_EQ(stored, 42);
}

// 2048 stereo frames, silent but for the samples given (frame index, left, right).
std::vector<BYTE> Frames(std::initializer_list<std::array<int, 3>> samples) {
  std::vector<BYTE> bytes(CLevelMeter::kBytes, 0);
  for (const auto& [frame, left, right] : samples) {
    const INT16 values[2] = {static_cast<INT16>(left), static_cast<INT16>(right)};
    std::memcpy(bytes.data() + frame * 4, values, sizeof(values));
  }
  return bytes;
}

TEST(LevelMeter, LevelsOfEachGroupAndChannel) {
  // Groups start at frames 0, 1, 3, 7, ... 1023: each case puts one sample at a group's first or last frame.
  struct Case {
    int frame, left, right;
    int group;
    int leftLevel, rightLevel;
  } cases[] = {
      {0, 2095, 0, 0, 0, 0},     {0, 2096, -2096, 0, 1, 1},  {2, -16767, 0, 1, 7, 0},
      {3, 16768, 0, 2, 8, 0},    {6, 0, 32767, 2, 0, 8},     {1023, -32768, 0, 10, 8, 0},
      {2046, 0, 4192, 10, 0, 2}, {511, 6288, 6287, 9, 3, 2}, {510, 10480, 0, 8, 5, 0},
  };
  for (const Case& test : cases) {
    const std::vector<BYTE> frames = Frames({{test.frame, test.left, test.right}});
    int levels[2][CLevelMeter::kGroups];
    CLevelMeter::Measure(frames.data(), levels);
    for (int group = 0; group < CLevelMeter::kGroups; ++group) {
      EXPECT_EQ(levels[0][group], group == test.group ? test.leftLevel : 0)
          << "frame " << test.frame << " group " << group;
      EXPECT_EQ(levels[1][group], group == test.group ? test.rightLevel : 0)
          << "frame " << test.frame << " group " << group;
    }
  }
  // The last frame belongs to no group.
  int levels[2][CLevelMeter::kGroups];
  CLevelMeter::Measure(Frames({{2047, 32767, 32767}}).data(), levels);
  for (int group = 0; group < CLevelMeter::kGroups; ++group) EXPECT_EQ(levels[0][group] + levels[1][group], 0);
}

TEST(LevelMeter, PeaksFallByOneAndChangesAreReported) {
  CLevelMeter meter;
  const std::vector<BYTE> loud = Frames({{0, 12000, 0}});  // level 5 in group 0
  const std::vector<BYTE> quiet = Frames({});
  const std::vector<BYTE> middle = Frames({{0, 7000, 0}});  // level 3
  EXPECT_TRUE(meter.Update(loud.data()));
  EXPECT_EQ(meter.Level(0, 0), 5);
  EXPECT_EQ(meter.Peak(0, 0), 5);
  const int expectedPeaks[] = {4, 3, 3, 2, 1, 0};
  const std::vector<BYTE>* inputs[] = {&quiet, &quiet, &middle, &quiet, &quiet, &quiet};
  for (size_t step = 0; step < 6; ++step) {
    EXPECT_TRUE(meter.Update(inputs[step]->data())) << step;
    EXPECT_EQ(meter.Peak(0, 0), expectedPeaks[step]) << step;
  }
  EXPECT_EQ(meter.Level(0, 0), 0);
  EXPECT_FALSE(meter.Update(quiet.data())) << "nothing moved, no repaint";
  EXPECT_EQ(meter.Peak(1, 0), 0);
}
}  // namespace
