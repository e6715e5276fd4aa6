// The DirectShow destination's push source feeding a graph while the data still arrives, and what the
// destination says on a machine without its encoder.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "DirectShowConvDest.h"
#include "MyBaseRenderer.h"
#include "MySource.h"
#include "PcmFormat.h"
#include "WavFiles.h"

namespace {

class CollectingOwner : public IRendererOwner {
 public:
  void OnFormatAccepted(const WAVEFORMATEX& fmt) override { format = fmt; }
  bool OnRendered(const BYTE* data, long size, REFERENCE_TIME position) override {
    if (position < lastPosition) ordered = false;
    lastPosition = position;
    bytes.append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    return true;
  }
  WAVEFORMATEX format = {};
  std::string bytes;
  REFERENCE_TIME lastPosition = -1;
  bool ordered = true;
};

int CountFiles(const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

}  // namespace

// The push source delivers every byte in order while the file grows in pieces, waits while nothing new is
// there, and ends the stream once the end is marked.
TEST(DirectShowDestination, PushSourceDeliversTheFileAsItGrows) {
  TempFolder temp;
  const WAVEFORMATEX pcm = MakePcmFormat(16, 2, 22050);
  const std::string signal = PcmSignal(pcm, 22050 * 2 + 7);
  const std::wstring path = temp / L"pcm.tmp";
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);

  IGraphBuilder* graph = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph)));
  CollectingOwner owner;
  auto* source = new CMySource(pcm, path);
  auto* renderer = new CMyBaseRenderer(&owner);
  ASSERT_EQ(S_OK, graph->AddFilter(source, CMySource::kFilterName));
  ASSERT_EQ(S_OK, graph->AddFilter(renderer, CMyBaseRenderer::kFilterName));
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), renderer->InputPin(), nullptr));
  EXPECT_EQ(0, std::memcmp(&pcm, &owner.format, sizeof(pcm)));
  IMediaFilter* timing = nullptr;
  graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&timing));
  timing->SetSyncSource(nullptr);
  timing->Release();
  IMediaControl* control = nullptr;
  graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  ASSERT_TRUE(SUCCEEDED(control->Run()));

  // Ten pieces that do not fall on frame or buffer boundaries, with pauses longer than the stream's wait step.
  const size_t piece = signal.size() / 10 + 3;
  for (size_t at = 0; at < signal.size(); at += piece) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min(piece, signal.size() - at));
    ASSERT_TRUE(WriteFile(writer, signal.data() + at, size, &written, nullptr));
    Sleep(at == 0 ? 250 : 30);
  }
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(renderer->CompletionEvent(), 300)) << "no end before it is marked";
  source->MarkEnd();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(renderer->CompletionEvent(), 10000));
  control->Stop();
  EXPECT_EQ(signal.size(), owner.bytes.size());
  EXPECT_TRUE(signal == owner.bytes);
  EXPECT_TRUE(owner.ordered);

  control->Release();
  graph->Release();
  source->Release();
  renderer->Release();
  CloseHandle(writer);
}

// Without the encoder the destination says which piece is missing, leaves no output and no temporary file,
// and refuses data afterwards.
TEST(DirectShowDestination, MissingEncoderIsNamedAndNothingIsLeft) {
  TempFolder temp;
  wchar_t tempFolder[MAX_PATH];
  ACTempPath(tempFolder);
  const std::wstring pattern = std::wstring(tempFolder) + L"tdd*.tmp";
  const int before = CountFiles(pattern);
  IConvertDestination* destination = CDirectShowConvDest::Create();
  RecordingCallback log;
  destination->SetCallback(&log);
  const WAVEFORMATEX pcm = MakePcmFormat(16, 2, 44100);
  destination->SetFormat(&pcm);
  destination->SetFileName((temp / L"out.mp4").c_str());
  EXPECT_FALSE(destination->Open());
  EXPECT_EQ(std::vector<std::wstring>{L"3ivx D4 Audio Encoder not available (error 80040216)\n"}, log.Errors());
  EXPECT_FALSE(FileExists(temp / L"out.mp4"));
  EXPECT_EQ(before, CountFiles(pattern));
  EXPECT_FALSE(destination->Write(4, "abcd"));
  EXPECT_EQ(L"Write error\n", log.Errors().back());
  destination->Close();
  destination->SetCallback(nullptr);
  destination->Release();
}
