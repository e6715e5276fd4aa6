// The conversion job end to end on WAV files: ranges, trimming, fades, normalising, cancellation in each
// pass, the same-file check, message pumping, and no handles or temporary files left behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>

#include "JobFixture.h"

namespace {
// Cancels when `cancelAt` progress steps have been seen in the pass whose status text matches.
class CancellingCallback : public RecordingCallback {
 public:
  void STDMETHODCALLTYPE StepProgress(int step) override {
    if (cancelled) ++stepsAfterCancel;
    RecordingCallback::StepProgress(step);
    if (status == cancelDuring && ++steps >= cancelAfter) cancelled = TRUE;
  }
  std::wstring cancelDuring;
  int cancelAfter = 1 << 30;
  int steps = 0;
  int stepsAfterCancel = 0;  // work that went on after the cancel
};

}  // namespace

TEST_F(ConversionJob, RangeDeliversExactBytes) {
  std::string samples = PcmSignal(cd, 44100 * 5);
  std::wstring input = Input(cd, samples);
  RecordingCallback log;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\range.wav", log, nullptr, nullptr, 1000, 3000));
  std::string data = OutputData(temp / L"out\\range.wav");
  EXPECT_EQ(352800u, data.size());
  EXPECT_TRUE(samples.substr(176400, 352800) == data) << "exactly the second and third second";
  EXPECT_EQ(352800, log.progressRange);
  EXPECT_EQ(L"Converting:", log.status);
  EXPECT_EQ(L"in.wav", log.currentFile);

  RecordingCallback whole;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\whole.wav", whole));
  EXPECT_EQ(static_cast<int>(samples.size()), whole.progressRange);
  EXPECT_EQ(static_cast<int>(samples.size()), whole.progressPos);
  EXPECT_TRUE(samples == OutputData(temp / L"out\\whole.wav"));
}

TEST_F(ConversionJob, RefusesToConvertAFileOntoItself) {
  std::string samples = PcmSignal(cd, 4410);
  std::wstring input = Input(cd, samples);
  std::string before = ReadFileBytes(input);
  RecordingCallback log;
  log.answerOverwrite = TRUE;
  // Another spelling of the same path still names the same file.
  EXPECT_EQ(E_FAIL, Convert(input, temp / L"OUT\\..\\IN.WAV", log));
  EXPECT_EQ(std::vector<std::wstring>{L"Source file is equal to destination file\n"}, log.Errors());
  EXPECT_TRUE(log.overwriteQuestions.empty()) << "nothing was opened";
  EXPECT_EQ(before, ReadFileBytes(input));
}

TEST_F(ConversionJob, TrimmingSilence) {
  std::string silence(176400, '\0');
  std::string tone = PcmSignal(cd, 44100);
  std::wstring input = Input(cd, silence + tone + silence);
  CONVOPTIONS both = {1, 1, 0, 0};
  RecordingCallback log;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\trimmed.wav", log, &both));
  std::string data = OutputData(temp / L"out\\trimmed.wav");
  // The tone starts and ends inside the 5% threshold; what is left lies within the tone.
  EXPECT_LE(data.size(), tone.size());
  EXPECT_GT(data.size(), tone.size() * 9 / 10);
  EXPECT_NE(std::string::npos, tone.find(data.substr(0, 64)));
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}

TEST_F(ConversionJob, FadesAndNormalising) {
  std::vector<int16_t> level(44100 * 2 * 3, 8000);  // three seconds at a quarter of full scale
  std::string samples(reinterpret_cast<char*>(level.data()), level.size() * 2);
  std::wstring input = Input(cd, samples);

  CONVOPTIONS fades = {0, 0, 1000, 500};
  RecordingCallback log;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\faded.wav", log, &fades));
  std::string data = OutputData(temp / L"out\\faded.wav");
  ASSERT_EQ(samples.size(), data.size());
  const int16_t* out = reinterpret_cast<const int16_t*>(data.data());
  EXPECT_EQ(0, out[0]);
  EXPECT_EQ(4000, out[44100]) << "half the fade-in";
  EXPECT_EQ(8000, out[88200]) << "the fade-in ends after one second";
  EXPECT_EQ(8000, out[level.size() - 44100 - 1]);
  EXPECT_LT(out[level.size() - 1], 10) << "the fade-out reaches silence at the end";

  CONVOPTIONS tooLong = {0, 0, 10000, 0};
  RecordingCallback skipped;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\skipped.wav", skipped, &tooLong));
  EXPECT_TRUE(samples == OutputData(temp / L"out\\skipped.wav")) << "a fade longer than the file is skipped";

  double analysed = 0.0;
  RecordingCallback normalizing;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\normal.wav", normalizing, nullptr, &analysed));
  EXPECT_DOUBLE_EQ(32768.0 / 8000, analysed);
  EXPECT_EQ(32767, reinterpret_cast<const int16_t*>(OutputData(temp / L"out\\normal.wav").data())[0]);

  double fixed = 2.0;
  RecordingCallback doubling;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\double.wav", doubling, nullptr, &fixed));
  EXPECT_DOUBLE_EQ(32768.0 / 8000, fixed) << "the analysed gain comes back";
  EXPECT_EQ(16000, reinterpret_cast<const int16_t*>(OutputData(temp / L"out\\double.wav").data())[5]);

  RecordingCallback plain;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\plain.wav", plain, nullptr, TAVCORE_NORMALIZE_ANALYSED));
  EXPECT_EQ(32767, reinterpret_cast<const int16_t*>(OutputData(temp / L"out\\plain.wav").data())[9]);
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}

TEST_F(ConversionJob, CancellingInEitherPass) {
  std::string samples = PcmSignal(cd, 44100 * 4);
  std::wstring input = Input(cd, samples);
  std::string before = ReadFileBytes(input);
  CONVOPTIONS fadeIn = {0, 0, 100, 0};
  for (const wchar_t* pass : {L"Converting:", L"Analyzing:"}) {
    for (bool twoPass : {false, true}) {
      if (!twoPass && std::wstring(pass) == L"Analyzing:") continue;
      CancellingCallback callback;
      callback.cancelDuring = pass;
      callback.cancelAfter = 2;
      std::wstring output = temp / L"out\\cancelled.wav";
      callback.answerOverwrite = TRUE;
      EXPECT_EQ(E_FAIL, Convert(input, output, callback, twoPass ? &fadeIn : nullptr)) << pass << twoPass;
      // The job stops where it was cancelled: no more steps, and the output holds only what came before.
      EXPECT_EQ(0, callback.stepsAfterCancel) << pass << twoPass;
      EXPECT_LT(OutputData(output).size(), samples.size()) << pass << twoPass;
      EXPECT_EQ(before, ReadFileBytes(input)) << "the source is untouched";
      EXPECT_TRUE(DeleteFileW(output.c_str())) << "the output is closed (and stays on disk)";
      EXPECT_EQ(0, LeftoverTemporaryFiles()) << "the temporary file is deleted";
    }
  }
}

TEST_F(ConversionJob, BadArgumentsAndFailures) {
  RecordingCallback log;
  IConvertSource* source = NewWavSource();
  IConvertDestination* destination = NewWavDestination();
  EXPECT_EQ(E_INVALIDARG, AudioConvert(nullptr, destination, &log, nullptr, nullptr, -1, -1));
  EXPECT_EQ(E_INVALIDARG, AudioConvert(source, nullptr, &log, nullptr, nullptr, -1, -1));
  EXPECT_EQ(E_INVALIDARG, AudioConvert(source, destination, nullptr, nullptr, nullptr, -1, -1));
  EXPECT_TRUE(log.lines.empty());
  source->SetFileName((temp / L"missing.wav").c_str());
  destination->SetFileName((temp / L"out\\never.wav").c_str());
  EXPECT_EQ(E_FAIL, AudioConvert(source, destination, &log, nullptr, nullptr, -1, -1));
  EXPECT_EQ(std::vector<std::wstring>{L"Source file cannot be opened\n"}, log.Errors());
  EXPECT_FALSE(FileExists(temp / L"out\\never.wav"));
  source->Release();
  destination->Release();
}

TEST_F(ConversionJob, CallingThreadKeepsDispatchingAndNoHandlesLeak) {
  std::wstring input = Input(cd, PcmSignal(cd, 4410));
  static int dispatched = 0;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == WM_APP) ++dispatched;
    return DefWindowProcW(window, message, wParam, lParam);
  };
  windowClass.lpszClassName = L"TavJobTestWindow";
  windowClass.hInstance = GetModuleHandleW(nullptr);
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"TavJobTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  PostMessageW(window, WM_APP, 0, 0);
  RecordingCallback first;
  ASSERT_EQ(S_OK, Convert(input, temp / L"out\\warm.wav", first));
  EXPECT_EQ(1, dispatched) << "a message posted before the job was dispatched during it";
  DestroyWindow(window);

  DWORD before = 0, after = 0;
  GetProcessHandleCount(GetCurrentProcess(), &before);
  CONVOPTIONS trim = {1, 1, 50, 50};
  for (int round = 0; round < 100; ++round) {
    RecordingCallback log;
    log.answerOverwrite = TRUE;
    double gain = 0.0;
    ASSERT_EQ(S_OK,
              Convert(input, temp / L"out\\again.wav", log, round % 2 ? &trim : nullptr, round % 3 ? nullptr : &gain));
  }
  GetProcessHandleCount(GetCurrentProcess(), &after);
  EXPECT_LE(after, before + 2) << "handles before " << before << ", after " << after;
  EXPECT_EQ(0, LeftoverTemporaryFiles());
}
