// The Windows Media destination through the conversion job, on a double of the SDK's writer and codec
// information: the calls the SDK sees and their order, sample times, the preprocessing pass and its pass file,
// the settings record and its fallbacks, the options, profile files and the dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "FakeWMSdk.h"
#include "ModalDriver.h"
#include "UserScript.h"
#include "TestSupport.h"
#include "WMAConvDest.h"
#include "WMASettingsDlg.h"
#include "WavFiles.h"
#include "tavcore.h"

namespace {

const WAVEFORMATEX kCdFormat = PcmFormat(16, 2, 44100);

std::string Noise(size_t bytes) {
  std::mt19937 random(7);
  std::string data(bytes, '\0');
  for (char& byte : data) byte = static_cast<char>(random());
  return data;
}

bool HasLine(const RecordingCallback& callback, const std::wstring& start) {
  for (const RecordingCallback::Line& line : callback.lines)
    if (line.text.rfind(start, 0) == 0) return true;
  return false;
}

int Count(const std::vector<std::string>& calls, const std::string& name) {
  int count = 0;
  for (const std::string& call : calls) count += call == name;
  return count;
}

void StoreRecord(const WMASETTINGS& record) { PutProfileBinary(L"WMA9", L"General", &record, sizeof(record)); }

WMASETTINGS StoredRecord() {
  WMASETTINGS record = {99, 99, 99, 99, 99};
  UINT32 size = sizeof(record);
  EXPECT_TRUE(GetProfileBinary(L"WMA9", L"General", &record, &size));
  EXPECT_EQ(sizeof(record), size);
  return record;
}

bool Same(const WMASETTINGS& a, const WMASETTINGS& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

// A cancel pressed once the final pass has begun.
class CancelInFinalPass : public RecordingCallback {
 public:
  void STDMETHODCALLTYPE StepProgress(int step) override {
    RecordingCallback::StepProgress(step);
    if (status == L"Pass 2:") cancelled = TRUE;
  }
};

class WmaDestination : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"WMA9", nullptr, nullptr);
    WritePString(L"Settings", L"TempPath", (temp.Path() + L"\\").c_str());
  }
  void TearDown() override {
    WritePString(L"Settings", L"TempPath", nullptr);
    WritePString(L"WMA9", nullptr, nullptr);
  }

  std::wstring Input(const std::string& samples) {
    const std::wstring path = temp / L"in.wav";
    EXPECT_TRUE(WriteFileBytes(path, PcmWave(kCdFormat, samples)));
    return path;
  }

  HRESULT Convert(const std::wstring& input, IConvertCallback& callback,
                  const WMASETTINGS* settings = nullptr) {
    CONVFORMAT wave = {}, wma = {};
    EXPECT_EQ(S_OK, ConvGetFormatOf(&wave, input.c_str()));
    EXPECT_EQ(S_OK, ConvGetFormatByName(&wma, L"Windows Media"));
    IConvertSource* source = nullptr;
    IConvertDestination* destination = nullptr;
    EXPECT_EQ(S_OK, ConvCreateSource(&wave, &source));
    EXPECT_EQ(S_OK, ConvCreateDest(&wma, &destination));
    if (!source || !destination) return E_FAIL;
    if (settings) static_cast<CWMAConvDest*>(destination)->Settings() = *settings;
    source->SetFileName(input.c_str());
    destination->SetFileName(output.c_str());
    const HRESULT result = AudioConvert(source, destination, &callback, nullptr, nullptr, -1, -1);
    source->Release();
    destination->Release();
    return result;
  }

  int PassFilesLeft() const {
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW((temp / L"wpp*.tmp").c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return 0;
    FindClose(found);
    return 1;
  }

  TempFolder temp;
  std::wstring output = temp / L"out.wma";
};

}  // namespace

TEST_F(WmaDestination, OnePassWritesEverySampleAtItsTime) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  const std::string samples = Noise(176400 * 5 / 2);
  const WMASETTINGS cbr128 = {1, 3, 0, 0, 0};
  StoreRecord(cbr128);
  RecordingCallback callback;
  EXPECT_EQ(S_OK, Convert(Input(samples), callback));
  EXPECT_TRUE(callback.Errors().empty()) << callback.Errors().front().c_str();

  const std::vector<std::string>& calls = fake.sdk.calls;
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ((std::vector<std::string>{"SetProfile", "SetInputProps", "BeginWriting", "WriteSample"}),
            std::vector<std::string>(calls.begin(), calls.begin() + 4));
  EXPECT_EQ("EndWriting", calls.back());
  EXPECT_EQ(1, Count(calls, "EndWriting"));
  EXPECT_EQ(0, Count(calls, "BeginPreprocessingPass")) << "a one-pass profile offers no preprocessing";
  EXPECT_EQ(0, PassFilesLeft());

  // Sample times in 100-ns units from the bytes written before each sample.
  unsigned long long time = 0;
  for (size_t i = 0; i < fake.sdk.writeTimes.size(); ++i) {
    EXPECT_EQ(time, fake.sdk.writeTimes[i]) << "sample " << i;
    time += fake.sdk.writeSizes[i] * 10000000ull / kCdFormat.nAvgBytesPerSec;
  }
  EXPECT_NEAR(25000000.0, static_cast<double>(time), static_cast<double>(fake.sdk.writeTimes.size()))
      << "each sample's time is cut to whole units";

  // The input is the source's PCM, described as the SDK asks.
  EXPECT_EQ(2u, fake.sdk.inputType.lSampleSize);
  EXPECT_TRUE(fake.sdk.inputType.bFixedSizeSamples);
  EXPECT_FALSE(fake.sdk.inputType.bTemporalCompression);
  EXPECT_EQ(0, std::memcmp(&kCdFormat, &fake.sdk.inputWave, 16));
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
  EXPECT_EQ(locale, fake.sdk.profileLanguage);

  std::wstring description;
  std::vector<BYTE> pcm;
  ASSERT_TRUE(ReadFakeOutput(output, description, pcm));
  EXPECT_EQ(L"128 kbps, 44 kHz, stereo CBR", description);
  EXPECT_TRUE(std::string(pcm.begin(), pcm.end()) == samples) << "every byte, in order";
}

TEST_F(WmaDestination, TwoPassKeepsThePcmAndReplaysItInOneSecondBlocks) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  const std::string samples = Noise(176400 * 3 + 1000);
  const WMASETTINGS vbr96 = {1, 1, 2, 160, 5000};
  StoreRecord(vbr96);
  RecordingCallback callback;
  EXPECT_EQ(S_OK, Convert(Input(samples), callback));
  EXPECT_TRUE(callback.Errors().empty());

  const std::vector<std::string>& calls = fake.sdk.calls;
  std::vector<std::string> order;
  for (const std::string& call : calls)
    if (order.empty() || order.back() != call) order.push_back(call);
  EXPECT_EQ((std::vector<std::string>{"SetProfile", "SetInputProps", "BeginWriting", "BeginPreprocessingPass",
                                      "PreprocessSample", "EndPreprocessingPass", "WriteSample", "EndWriting"}),
            order);
  EXPECT_EQ(0u, fake.sdk.preprocessTimes.front());
  EXPECT_EQ(160000u, fake.sdk.profileMaxBitrate);
  EXPECT_EQ(5000u, fake.sdk.profileBufferWindow);

  // The final pass starts again at time 0, one second of audio per sample.
  ASSERT_EQ(4u, fake.sdk.writeSizes.size());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(176400u, fake.sdk.writeSizes[i]);
    EXPECT_EQ(i * 10000000ull, fake.sdk.writeTimes[i]);
  }
  EXPECT_EQ(1000u, fake.sdk.writeSizes[3]);
  EXPECT_EQ(L"Pass 2:", callback.status);
  EXPECT_EQ(0, PassFilesLeft()) << "the pass file is deleted";

  std::wstring description;
  std::vector<BYTE> pcm;
  ASSERT_TRUE(ReadFakeOutput(output, description, pcm));
  EXPECT_EQ(L"96 kbps, 44 kHz, stereo 2-pass VBR", description);
  EXPECT_TRUE(std::string(pcm.begin(), pcm.end()) == samples);
}

TEST_F(WmaDestination, CancelInTheFinalPassAndEmptySources) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  StoreRecord({1, 1, 2, 0, 0});
  {
    // Cancelled after the first block of the final pass: writing ends, and its failure is not reported.
    fake.sdk.failures["EndWriting"] = E_FAIL;
    CancelInFinalPass callback;
    Convert(Input(Noise(176400 * 4)), callback);
    EXPECT_EQ(1u, fake.sdk.writeSizes.size());
    EXPECT_EQ("EndWriting", fake.sdk.calls.back());
    EXPECT_FALSE(HasLine(callback, L"Writing process cannot be finished"));
    EXPECT_EQ(0, PassFilesLeft());
  }
  fake.sdk.failures.clear();
  fake.sdk.calls.clear();
  fake.sdk.writeSizes.clear();
  DeleteFileW(output.c_str());
  {
    // A source without audio (the job never sends one, a front end may): nothing to do, nothing written.
    RecordingCallback callback;
    IConvertDestination* destination = CWMAConvDest::Create();
    destination->SetCallback(&callback);
    destination->SetFormat(&kCdFormat);
    destination->SetFileName(output.c_str());
    ASSERT_TRUE(destination->Open());
    EXPECT_TRUE(destination->Close());
    destination->Release();
    EXPECT_TRUE(HasLine(callback, L"Source file doesn't contain audio: Nothing to do!"));
    EXPECT_EQ(0, Count(fake.sdk.calls, "WriteSample"));
    EXPECT_EQ(1, Count(fake.sdk.calls, "EndWriting"));
    EXPECT_EQ(0, PassFilesLeft());
  }
  EXPECT_EQ(0, fake.sdk.writersAlive) << "every writer is released";
}

TEST_F(WmaDestination, InvalidSettingsFallBackToTheDefaultProfile) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  RecordingCallback callback;
  const WMASETTINGS missing = {1, 40, 0, 0, 0};
  Convert(Input(Noise(17640)), callback, &missing);
  EXPECT_TRUE(HasLine(callback, L"The Encoding Settings are invalid (error 80070057)"));
  EXPECT_TRUE(HasLine(callback, L"To avoid this error, please open the Encoding Settings dialog"));
  EXPECT_TRUE(HasLine(callback, L"Using default encoding settings: Windows Media Audio 9; 128 kbps; Variable Bitrate"));
  EXPECT_EQ(16002u, fake.sdk.profileWave.nAvgBytesPerSec) << "the built-in profile";
  EXPECT_EQ(353, fake.sdk.profileWave.wFormatTag);
  EXPECT_EQ(1, Count(fake.sdk.calls, "EndWriting"));

  // A platform whose encoder cannot load even the built-in profile needs its update.
  fake.sdk.failures["LoadProfileByData"] = E_NOTIMPL;
  DeleteFileW(output.c_str());
  RecordingCallback again;
  EXPECT_NE(S_OK, Convert(Input(Noise(17640)), again, &missing));
  EXPECT_TRUE(HasLine(again, L"Windows Media update is required. See "));
  EXPECT_EQ(0, fake.sdk.writersAlive);
}

TEST_F(WmaDestination, SdkFailuresAreReportedAndNothingIsLeftOpen) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  StoreRecord({1, 3, 0, 0, 0});
  struct Case {
    const char* method;
    HRESULT code;
    const wchar_t* message;
  } cases[] = {
      {"WMCreateWriter", HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), L"Windows Media update is required. See "},
      {"WMCreateWriter", E_OUTOFMEMORY, L"Writer cannot be created (error 8007000E)"},
      {"SetProfile", E_FAIL, L"WMA encoding profile cannot be set (error 80004005)"},
      {"SetMediaType", E_INVALIDARG, L"Media type cannot be set (error 80070057)"},
      {"SetOutputFilename", E_ACCESSDENIED, L"Output filename was not accepted by WMA encoder (error 80070005)"},
      {"BeginWriting", E_FAIL, L"Writing process cannot be started (error 80004005)"},
      {"AllocateSample", E_OUTOFMEMORY, L"Sample cannot be allocated (error 8007000E)"},
      {"WriteSample", E_FAIL, L"Sample cannot be processed (error 80004005)"},
      {"EndWriting", E_FAIL, L"Writing process cannot be finished (error 80004005)"},
  };
  for (const Case& c : cases) {
    fake.sdk.failures = {{c.method, c.code}};
    fake.sdk.calls.clear();
    DeleteFileW(output.c_str());
    RecordingCallback callback;
    EXPECT_NE(S_OK, Convert(Input(Noise(17640)), callback)) << c.method;
    EXPECT_TRUE(HasLine(callback, c.message)) << c.method;
    EXPECT_EQ(0, fake.sdk.writersAlive) << c.method;
    if (Count(fake.sdk.calls, "BeginWriting") && std::string(c.method) != "BeginWriting") {
      EXPECT_EQ(1, Count(fake.sdk.calls, "EndWriting")) << c.method << ": a started file is always ended";
    }
  }
}

TEST_F(WmaDestination, FailedTwoPassEncodesLeaveNoPassFile) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  StoreRecord({1, 1, 2, 0, 0});
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"PreprocessSample", L"Sample cannot be preprocessed (error 80004005)"},
      {"EndPreprocessingPass", L"Preprocessing pass cannot be ended (error 80004005)"},
      {"WriteSample", L"Sample cannot be processed (error 80004005)"},
  };
  for (const auto& [method, message] : cases) {
    fake.sdk.failures = {{method, E_FAIL}};
    DeleteFileW(output.c_str());
    RecordingCallback callback;
    EXPECT_NE(S_OK, Convert(Input(Noise(176400 * 2)), callback)) << method;
    EXPECT_TRUE(HasLine(callback, message)) << method;
    EXPECT_EQ(0, PassFilesLeft()) << method;
    EXPECT_EQ(0, fake.sdk.writersAlive) << method;
  }
}

TEST(WmaSettings, LastValidChoiceAndStoredRecords) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  WritePString(L"WMA9", nullptr, nullptr);
  // Nothing stored: the first two-pass average-bit-rate format of about 96 kbps at CD quality.
  WMASETTINGS record;
  LoadWmaSettings(record);
  EXPECT_TRUE(Same(WMASETTINGS{1, 1, 2, 0, 0}, record));

  // A record naming a codec no longer installed falls back and is stored again.
  StoreRecord({5, 0, 0, 0, 0});
  LoadWmaSettings(record);
  EXPECT_TRUE(Same(WMASETTINGS{1, 1, 2, 0, 0}, record));
  EXPECT_TRUE(Same(WMASETTINGS{1, 1, 2, 0, 0}, StoredRecord()));

  // A value of the wrong size is not read.
  const BYTE shortRecord[12] = {0};
  PutProfileBinary(L"WMA9", L"General", shortRecord, sizeof(shortRecord));
  LoadWmaSettings(record);
  EXPECT_TRUE(Same(WMASETTINGS{1, 1, 2, 0, 0}, record));

  // A valid record becomes the last valid choice.
  StoreRecord({0, 1, 0, 0, 0});
  LoadWmaSettings(record);
  EXPECT_TRUE(Same(WMASETTINGS{0, 1, 0, 0, 0}, record));
  StoreRecord({7, 7, 7, 0, 0});
  LoadWmaSettings(record);
  EXPECT_TRUE(Same(WMASETTINGS{0, 1, 0, 0, 0}, record)) << "the fallback is the last valid one, not the first";
  WritePString(L"WMA9", nullptr, nullptr);
}

TEST(WmaSettings, OptionsTextAndEstimate) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  WritePString(L"WMA9", nullptr, nullptr);
  IConvertDestination* destination = CWMAConvDest::Create();
  auto* wma = static_cast<CWMAConvDest*>(destination);
  wchar_t error[256] = {};

  EXPECT_TRUE(destination->SetOption(L"WMA-Codec", L"windows media audio VOICE 9", error));
  EXPECT_EQ(0u, wma->Settings().codec);
  EXPECT_FALSE(destination->SetOption(L"wma-codec", L"Windows Media Audio 10", error));
  EXPECT_STREQ(L"WMA codec with this name was not found", error);

  EXPECT_TRUE(destination->SetOption(L"wma-codec", L"Windows Media Audio 9.2", error));
  EXPECT_TRUE(destination->SetOption(L"WMA-FORMAT", L"128 KBPS, 44 kHz, stereo cbr", error));
  EXPECT_EQ(3u, wma->Settings().format);
  EXPECT_EQ(0u, wma->Settings().mode);
  EXPECT_TRUE(destination->SetOption(L"wma-format", L"64 kbps, 44 kHz, stereo 2-pass VBR", error));
  EXPECT_EQ(0u, wma->Settings().format);
  EXPECT_EQ(2u, wma->Settings().mode);
  // The same text in two modes: the last mode wins.
  EXPECT_TRUE(destination->SetOption(L"wma-format", L"32 kbps, 22 kHz, mono CBR", error));
  EXPECT_EQ(3u, wma->Settings().mode);
  EXPECT_EQ(5u, wma->Settings().format);
  error[0] = 0;
  EXPECT_FALSE(destination->SetOption(L"wma-format", L"128 kbps, 44 kHz, stereo (A/V) CBR", error));
  EXPECT_STREQ(L"WMA format with this name was not found", error);
  error[0] = 0;
  EXPECT_FALSE(destination->SetOption(L"wma-quality", L"90", error));
  EXPECT_STREQ(L"", error);

  wma->Settings() = {1, 3, 0, 0, 0};
  wchar_t text[128] = {};
  EXPECT_TRUE(destination->GetSettingsText(text, 128));
  EXPECT_STREQ(L"128 kbps, 44 kHz, stereo CBR", text);
  UINT32 size = 0;
  EXPECT_TRUE(destination->EstimateSize(441000, &kCdFormat, &size));
  EXPECT_EQ(static_cast<UINT32>(441000.0 / 176400 * 128016 * 0.125), size);
  WAVEFORMATEX silent = kCdFormat;
  silent.nAvgBytesPerSec = 0;
  EXPECT_FALSE(destination->EstimateSize(441000, &silent, &size));
  destination->Release();
  WritePString(L"WMA9", nullptr, nullptr);
}

TEST(WmaSettings, ProfileFiles) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  WritePString(L"WMA9", nullptr, nullptr);
  TempFolder folder;
  const std::string profile =
      "<profile version=\"589824\" storageformat=\"1\" name=\"Sixty-four\" description=\"\">"
      "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" bitrate=\"64016\""
      " bufferwindow=\"3000\" vbrenabled=\"0\"><wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
      "<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"8002\""
      " nBlockAlign=\"2229\" wBitsPerSample=\"16\"/></wmmediatype></streamconfig></profile>";
  const std::wstring good = folder / L"64.prx";
  ASSERT_TRUE(WriteFileBytes(good, profile));
  EXPECT_EQ(0, WMASetDefaultProfile(good.c_str()));
  EXPECT_TRUE(Same(WMASETTINGS{1, 1, 0, 0, 0}, StoredRecord()));

  // As the SDK saves them: UTF-16 with a byte-order mark.
  std::string wide = "\xFF\xFE";
  for (char c : profile.substr(0, profile.find("8002")) + "16002" + profile.substr(profile.find("8002") + 4)) {
    wide += c;
    wide += '\0';
  }
  const std::wstring utf16 = folder / L"wide.prx";
  ASSERT_TRUE(WriteFileBytes(utf16, wide));
  EXPECT_EQ(0, WMASetDefaultProfile(utf16.c_str()));
  EXPECT_TRUE(Same(WMASETTINGS{1, 3, 0, 0, 0}, StoredRecord())) << "the 128 kbps format";

  // Damaged, missing or naming no installed format: -1 and nothing stored.
  const std::wstring damaged = folder / L"damaged.prx";
  ASSERT_TRUE(WriteFileBytes(damaged, profile.substr(0, profile.size() / 2)));
  const std::wstring foreign = folder / L"foreign.prx";
  std::string other = profile;
  other.replace(other.find("8002"), 4, "9999");
  ASSERT_TRUE(WriteFileBytes(foreign, other));
  for (const std::wstring& path : {damaged, foreign, folder / L"missing.prx"}) {
    EXPECT_EQ(-1, WMASetDefaultProfile(path.c_str()));
    EXPECT_TRUE(Same(WMASETTINGS{1, 3, 0, 0, 0}, StoredRecord()));
  }
  WritePString(L"WMA9", nullptr, nullptr);
}

TEST(WmaSettings, DialogListsTheCodecsFormatsAndStoresTheChoice) {
  FakeWMSdkScope fake(FakeWMSdk::TypicalCodecs());
  WritePString(L"WMA9", nullptr, nullptr);
  std::wstring rates, value, accessKeys;
  std::vector<int> tabOrder;
  bool limitsOffInCbr = false;
  ModalDriver driver([&](HWND dialog) {
    // To look at the dialog with codecs listed: TAVREL_SHOW_WINDOWS=1 keeps it on screen for a while.
    ShowWindow(dialog, SW_SHOW);
    PauseForALook();
    accessKeys = AccessKeyProblems(dialog);
    Focus(dialog, IDC_WMA_CODEC);
    for (int i = 0; i < 5; ++i) {
      PressKey(dialog, VK_TAB);
      tabOrder.push_back(FocusedId());
    }
    // Opens on the last valid choice: 96 kbps two-pass VBR.
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, IDC_WMA_BITRATE_VALUE, text, 64);
    value = text;
    SelectComboItem(dialog, IDC_WMA_MODE, FindComboItem(dialog, IDC_WMA_MODE, L"Constant Bitrate"));
    limitsOffInCbr = !IsEnabled(dialog, IDC_WMA_USE_MAX);
    for (int i = 0; i < static_cast<int>(SendDlgItemMessageW(dialog, IDC_WMA_SAMPLE_RATE, CB_GETCOUNT, 0, 0)); ++i) {
      SendDlgItemMessageW(dialog, IDC_WMA_SAMPLE_RATE, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      rates += std::wstring(text) + L"|";
    }
    Focus(dialog, IDC_WMA_BITRATE);
    PressKey(dialog, VK_END);
    Click(dialog, IDOK);
  });
  CONVFORMAT wma = {};
  ASSERT_EQ(S_OK, ConvGetFormatByName(&wma, L"Windows Media"));
  EXPECT_EQ(S_OK, ConvDefOutputSettings(nullptr, &wma));
  ASSERT_TRUE(driver.Drove());
  EXPECT_EQ(L"", accessKeys);
  EXPECT_EQ((std::vector<int>{IDC_WMA_MODE, IDC_WMA_LOW_DELAY, IDC_WMA_SAMPLE_RATE, IDC_WMA_BITRATE, IDC_WMA_USE_MAX}),
            tabOrder)
      << "Tab goes down the dialog";
  EXPECT_EQ(L"96 kBits / sec.", value);
  EXPECT_TRUE(limitsOffInCbr);
  EXPECT_EQ(L"44 kHz, 16 bit, stereo|22 kHz, 16 bit, mono|", rates) << "(A/V) formats are not offered";
  EXPECT_TRUE(Same(WMASETTINGS{1, 4, 0, 0, 0}, StoredRecord())) << "CBR at the highest bit rate, 192 kbps";
  wchar_t line[128] = {};
  EXPECT_EQ(S_OK, ConvDefOutputSettingsString(line, 128, &wma));
  EXPECT_STREQ(L"192 kbps, 44 kHz, stereo CBR", line);
  WritePString(L"WMA9", nullptr, nullptr);
}
