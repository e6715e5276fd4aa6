// The PureVoice QCP source in a program without the codec library anywhere on the library search.
#include <gtest/gtest.h>

#include "QcpFiles.h"

TEST(QcpSourceWithoutLibrary, FailsAtOpenWithInstallGuidance) {
  TempFolder temp;
  ASSERT_TRUE(WriteFileBytes(temp / L"voice.qcp", QcpBytes(160, 1, TestSamples(160, 1))));
  DecodeResult result = DecodeQcp(temp / L"voice.qcp");
  EXPECT_FALSE(result.opened);
  ASSERT_EQ(result.log.lines.size(), 2u);
  EXPECT_EQ(result.log.lines[0].text, L"QCP library not found\n");
  EXPECT_EQ(result.log.lines[0].style, L"e");
  const std::wstring install = L"To install now, see https://www.quennet.com/tavrel/help/purevoice";
  EXPECT_EQ(result.log.lines[1].text.compare(0, install.size(), install), 0) << result.log.lines[1].text;
  EXPECT_EQ(result.log.lines[1].style, L"i");
}
