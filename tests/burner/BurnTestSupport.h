// What the burn job's tests share: a burn through the image disc master with the progress window's mapping of
// its events, and a file converted by the engine on its own, as a user's file would have been.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "BurnJob.h"
#include "ImageDiscMaster.h"
#include "TestSupport.h"

inline BurnOutcome BurnThrough(CImageDiscMaster& master, const BurnJob& job, RecordingCallback& callback,
                               bool testMode = false) {
  EXPECT_EQ(master.Open(), S_OK);
  CBurnProgressEvents* events = new CBurnProgressEvents(&callback);
  const BurnOutcome outcome = RecordCD(&master, master.Recorder(), job, &callback, events, testMode);
  events->Release();
  return outcome;
}

inline void ConvertAlone(const std::wstring& input, const wchar_t* formatName, const std::wstring& output) {
  BurnJob holder;
  EXPECT_EQ(holder.AddFile(input), S_OK);
  CONVFORMAT format = {};
  EXPECT_EQ(ConvGetFormatByName(&format, formatName), S_OK);
  IConvertDestination* destination = nullptr;
  EXPECT_EQ(ConvCreateDest(&format, &destination), S_OK);
  ASSERT_NE(destination, nullptr);
  EXPECT_TRUE(destination->SetFileName(output.c_str()));
  RecordingCallback callback;
  EXPECT_EQ(AudioConvert(holder.entries.at(0).source, destination, &callback, nullptr, nullptr, -1, -1), S_OK);
  destination->Release();
}
