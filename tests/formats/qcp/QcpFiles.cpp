// Stand-in files and decoding through the factory.
#include "QcpFiles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
std::string Word(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

class CollectingSink : public IPlayCallback {
 public:
  CollectingSink(DecodeResult& result, size_t accepted) : result(result), accepted(accepted) {}
  bool STDMETHODCALLTYPE OnData(const void* data, UINT32 size) override {
    EXPECT_EQ(size % 2, 0u);
    if (result.blocks++ >= accepted) return false;
    const short* samples = static_cast<const short*>(data);
    result.samples.insert(result.samples.end(), samples, samples + size / 2);
    return true;
  }

 private:
  DecodeResult& result;
  size_t accepted;
};
}  // namespace

std::string QcpBytes(DWORD samplesPerFrame, DWORD reportedFrames, const std::vector<short>& samples, Serve behaviour,
                     long value, DWORD goodReads) {
  std::string bytes = "QCPT" + Word(samplesPerFrame) + Word(reportedFrames) + Word(static_cast<DWORD>(behaviour)) +
                      Word(static_cast<DWORD>(value)) + Word(goodReads);
  bytes.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  return bytes;
}

std::vector<short> TestSamples(size_t count, int seed) {
  std::vector<short> samples(count);
  unsigned state = 0x9E3779B9u * static_cast<unsigned>(seed + 1);
  for (short& sample : samples) {
    state = state * 1664525u + 1013904223u;
    sample = static_cast<short>(state >> 16);
  }
  return samples;
}

DecodeResult DecodeQcp(const std::wstring& path, int startMs, size_t acceptedBlocks) {
  DecodeResult result;
  CONVFORMAT row;
  IConvertSource* source = nullptr;
  EXPECT_EQ(ConvGetFormatByName(&row, L"PureVoice QCP"), S_OK);
  EXPECT_EQ(ConvCreateSource(&row, &source), S_OK);
  if (!source) return result;
  source->SetFileName(path.c_str());
  source->SetStartTime(startMs);
  source->SetCallback(&result.log);
  result.opened = source->Open();
  if (result.opened) {
    EXPECT_TRUE(source->GetFormat(&result.format));
    EXPECT_TRUE(source->GetDataSize(&result.dataSize, -1, -1));
    CollectingSink sink(result, acceptedBlocks);
    result.read = source->ReadAll(&sink);
    source->Close();
  }
  result.libraryUnloaded = GetModuleHandleW(L"Qscl.dll") == nullptr;
  source->SetCallback(nullptr);
  source->Release();
  return result;
}
