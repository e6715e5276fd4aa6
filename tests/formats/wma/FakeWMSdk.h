// A double of the Windows Media Format SDK's writing side, behaving as its documentation describes: a profile
// manager whose codec information lists formats under the "_VBRENABLED"/"_PASSESUSED" enumeration settings, profiles
// and stream configurations, and a writer with preprocessing passes that checks the order of calls, writes the PCM
// it is given into the output file and keeps a log of what it was asked.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include <map>
#include <string>
#include <vector>

struct FakeFormat {
  bool vbr;
  DWORD passes;
  WAVEFORMATEX wave;  // what the codec produces
  DWORD bitrate;
  DWORD bufferWindow;
  DWORD quality;
  std::wstring description;
};

struct FakeCodec {
  std::wstring name;
  std::vector<FakeFormat> formats;
};

struct FakeWMSdk {
  std::vector<FakeCodec> codecs;
  // Calls as the writer and its preprocessing saw them: "SetProfile", "SetInputProps", "BeginWriting",
  // "BeginPreprocessingPass", "PreprocessSample", "EndPreprocessingPass", "WriteSample", "EndWriting".
  std::vector<std::string> calls;
  std::vector<QWORD> preprocessTimes, writeTimes;
  std::vector<DWORD> writeSizes;
  WM_MEDIA_TYPE inputType = {};
  WAVEFORMATEX inputWave = {};
  std::wstring outputName;
  std::wstring profileLanguage;
  DWORD profileMaxBitrate = 0, profileBufferWindow = 0;
  WAVEFORMATEX profileWave = {};
  int writersAlive = 0;
  // Methods that fail with the code given ("SetProfile", "EndWriting", "WriteSample", "LoadProfileByData", ...).
  std::map<std::string, HRESULT> failures;

  // The codecs installed on a typical machine: Windows Media Audio 9 and a voice codec.
  static std::vector<FakeCodec> TypicalCodecs();
};

// The double serving this process's SDK factories while it exists.
class FakeWMSdkScope {
 public:
  explicit FakeWMSdkScope(std::vector<FakeCodec> codecs);
  ~FakeWMSdkScope();
  FakeWMSdk& sdk;
};

// The PCM the fake writer wrote into an output file (its header is the codec format's description).
bool ReadFakeOutput(const std::wstring& path, std::wstring& description, std::vector<BYTE>& pcm);
