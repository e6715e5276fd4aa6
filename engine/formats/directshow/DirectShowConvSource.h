// Decodes any file the platform's installed DirectShow filters can decode: a filter graph from the file's source
// filter to the PCM-only renderer, run without a clock so that it decodes as fast as the filters go.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <string>

#include "ComPtr.h"
#include "DefConvertSource.h"
#include "MyBaseRenderer.h"
#include "UniqueHandles.h"

class CDirectShowConvSource : public CDefConvertSource, public IPositionedSource, private IRendererOwner {
 public:
  ~CDirectShowConvSource() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return CDefConvertSource::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return CDefConvertSource::Release(); }

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE ReadAll(IPlayCallback* sink) override;
  bool STDMETHODCALLTYPE Close() override;
  bool STDMETHODCALLTYPE GetMetadata(IMetadata** out) override;
  bool STDMETHODCALLTYPE ReadAt(UINT32 offset, void* buffer, UINT32 size, UINT32* read) override;

  static IConvertSource* Create() { return new CDirectShowConvSource(); }

  // How the filter graph is made; tests replace it to stand for a platform without DirectShow.
  using GraphFactory = HRESULT (*)(IGraphBuilder** out);
  static void SetGraphFactory(GraphFactory factory);
  // How long a running graph may deliver nothing before the file is given up.
  static void SetStallLimit(DWORD ms);

 private:
  CDirectShowConvSource() = default;

  void OnFormatAccepted(const WAVEFORMATEX& fmt) override;
  bool OnRendered(const BYTE* data, long size, REFERENCE_TIME position) override;

  bool BuildGraph(HRESULT* failure, int* failedStep);
  bool ReportGraphFailure(HRESULT hr, int step);
  // Hands the file to one of the engine's own readers (one reference adopted).
  bool OpenOwnReader(IConvertSource* reader);
  void ReleaseGraph();
  // Seeks to a time in ms; false (logged with the given texts) when the stream cannot seek there.
  bool SeekTo(int ms, const wchar_t* formatFailure, const wchar_t* seekFailure, bool asError);
  // Runs the graph until it completes, the sink refuses, the job is cancelled or the decoder stalls; with
  // untilPositioned, also until the positioned read has what it wanted.
  bool RunToEnd(bool untilPositioned);
  void FillPositionedFile(const BYTE* data, long size, unsigned long long bytePosition);

  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEvent> events;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaFilter> mediaFilter;
  CMyBaseRenderer* renderer = nullptr;  // one reference; the graph holds another
  ComPtr<IConvertSource> ownReader;     // FLAC files, and AIFF files the platform cannot decode

  IPlayCallback* sink = nullptr;  // only while ReadAll runs
  std::atomic<bool> stopFlag{false};
  std::atomic<unsigned long long> rendered{0};  // bytes the renderer received: the decoder's progress
  // Audio before this time (100-ns units) is dropped: the stream's seek lands at or before the wanted start.
  std::atomic<long long> dropBefore{-1};
  unsigned long long dropBytes = 0;    // the same by count, when the stream cannot seek or has no sample times
  unsigned long long streamBytes = 0;  // byte position of the next buffer when samples carry no time

  // Positioned reading: the decoded PCM from positionStart on, in a temporary file.
  std::wstring positionPath;
  UniqueFile positionFile;
  std::atomic<bool> positioning{false};
  unsigned long long positionStart = 0;
  std::atomic<unsigned long long> positionLength{0};
  unsigned long long positionWanted = 0;
  bool positionComplete = false;  // the file holds everything from positionStart to the end
};
