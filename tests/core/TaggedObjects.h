// WAV sources and destinations wrapped for tests: with tags (the tag copy, output naming) or with faults.
#pragma once

#include <string>

#include "tavcore.h"

// A WAV source whose tag comes from a separate tag file.
class TaggedSource : public IConvertSource {
public:
  TaggedSource(IConvertSource* inner, std::wstring tagFile) : inner(inner), tagFile(std::move(tagFile)) {}
  ~TaggedSource() override { inner->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return inner->QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override { return inner->SetFileName(path); }
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override { return inner->GetFileName(buf, cch); }
  int STDMETHODCALLTYPE GetFormatIndex() override { return inner->GetFormatIndex(); }
  int STDMETHODCALLTYPE SetFormatIndex(int row) override { return inner->SetFormatIndex(row); }
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override { return inner->GetClassId(out); }
  bool STDMETHODCALLTYPE GetFileTitle(wchar_t* buf, int cch) override { return inner->GetFileTitle(buf, cch); }
  bool STDMETHODCALLTYPE GetFolder(wchar_t* buf, int cch) override { return inner->GetFolder(buf, cch); }
  bool STDMETHODCALLTYPE Open() override { return inner->Open(); }
  bool STDMETHODCALLTYPE SetStartTime(int ms) override { return inner->SetStartTime(ms); }
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override { return inner->ReadAll(sink); }
  bool STDMETHODCALLTYPE Close() override { return inner->Close(); }
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override {
    return SUCCEEDED(MetadataCreateFromFile(tagFile.c_str(), out));
  }
  bool STDMETHODCALLTYPE GetDataSize(UINT32* bytes, int startMs, int endMs) override {
    return inner->GetDataSize(bytes, startMs, endMs);
  }
  bool STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* out) override { return inner->GetFormat(out); }
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override { inner->SetCallback(cb); }

private:
  IConvertSource* inner;
  std::wstring tagFile;
  ULONG count = 1;
};

// A destination that passes every call to another one; tests override what they change.
class ForwardingDestination : public IConvertDestination {
public:
  explicit ForwardingDestination(IConvertDestination* inner) : inner(inner) {}
  virtual ~ForwardingDestination() { inner->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return inner->QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
  int STDMETHODCALLTYPE GetFormatIndex() override { return inner->GetFormatIndex(); }
  int STDMETHODCALLTYPE SetFormatIndex(int row) override { return inner->SetFormatIndex(row); }
  bool STDMETHODCALLTYPE GetClassId(GUID* out) override { return inner->GetClassId(out); }
  bool STDMETHODCALLTYPE SetFileName(const wchar_t* path) override { return inner->SetFileName(path); }
  bool STDMETHODCALLTYPE GetFileName(wchar_t* buf, int cch) override { return inner->GetFileName(buf, cch); }
  bool STDMETHODCALLTYPE Open() override { return inner->Open(); }
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override { return inner->Write(size, data); }
  bool STDMETHODCALLTYPE Close() override { return inner->Close(); }
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override { return inner->GetMetadata(out); }
  bool STDMETHODCALLTYPE SetSource(IConvertSource* src) override { return inner->SetSource(src); }
  bool STDMETHODCALLTYPE EstimateSize(UINT32 bytes, const WAVEFORMATEX* format, UINT32* out) override {
    return inner->EstimateSize(bytes, format, out);
  }
  bool STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) override { return inner->SetFormat(format); }
  bool STDMETHODCALLTYPE ShowSettings(HWND parent, IConvertDestination** others) override {
    return inner->ShowSettings(parent, others);
  }
  bool STDMETHODCALLTYPE GetSettingsText(wchar_t* buf, int cch) override { return inner->GetSettingsText(buf, cch); }
  bool STDMETHODCALLTYPE SetOption(const wchar_t* name, const wchar_t* value, wchar_t* error) override {
    return inner->SetOption(name, value, error);
  }
  void STDMETHODCALLTYPE SetCallback(IConvertCallback* cb) override { inner->SetCallback(cb); }

protected:
  IConvertDestination* inner;

private:
  ULONG count = 1;
};

// A WAV destination whose finished file takes a tag, as MP3 and Windows Media outputs do.
class TaggedDestination : public ForwardingDestination {
public:
  using ForwardingDestination::ForwardingDestination;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override {
    wchar_t name[MAX_PATH];
    return inner->GetFileName(name, MAX_PATH) && SUCCEEDED(MetadataCreateMP3(name, out));
  }
};
