// The conversion job on WAV files through the engine's exports: a fixture with its own temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "WavFiles.h"

class ConversionJob : public testing::Test {
 protected:
  void SetUp() override {
    WritePString(L"WAV", nullptr, nullptr);
    // The job's temporary files go to a folder of this test, so none can be left unnoticed.
    WritePString(L"Settings", L"TempPath", (temp.Path() + L"\\").c_str());
    CreateDirectoryW((temp / L"out").c_str(), nullptr);
  }
  void TearDown() override { WritePString(L"Settings", L"TempPath", nullptr); }

  std::wstring Input(const WAVEFORMATEX& format, const std::string& samples, const wchar_t* name = L"in.wav") {
    std::wstring path = temp / name;
    EXPECT_TRUE(WriteFileBytes(path, PcmWave(format, samples)));
    return path;
  }

  HRESULT Convert(const std::wstring& input, const std::wstring& output, IConvertCallback& callback,
                  const CONVOPTIONS* options = nullptr, double* normalize = nullptr, int startMs = -1, int endMs = -1) {
    IConvertSource* source = NewWavSource();
    IConvertDestination* destination = NewWavDestination();
    source->SetFileName(input.c_str());
    destination->SetFileName(output.c_str());
    HRESULT result = AudioConvert(source, destination, &callback, options, normalize, startMs, endMs);
    source->Release();
    destination->Release();
    return result;
  }

  std::string OutputData(const std::wstring& output) { return ParseWave(ReadFileBytes(output)).data; }

  int LeftoverTemporaryFiles() {
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW((temp / L"ana*.tmp").c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return 0;
    int count = 1;
    while (FindNextFileW(found, &data)) ++count;
    FindClose(found);
    return count;
  }

  TempFolder temp;
  WAVEFORMATEX cd = PcmFormat(16, 2, 44100);
};
