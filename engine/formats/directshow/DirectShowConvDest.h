// Encodes through a DirectShow graph: the push source reads the PCM the destination appends to a temporary file
// and feeds an encoder, a muxer and the platform's file writer. No format row writes through it.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

#include "ComPtr.h"
#include "DefConvertDestination.h"
#include "UniqueHandles.h"

class CMySource;

class CDirectShowConvDest : public CDefConvertDestination {
 public:
  ~CDirectShowConvDest() override;

  bool STDMETHODCALLTYPE GetClassId(GUID* out) override;
  bool STDMETHODCALLTYPE Open() override;
  bool STDMETHODCALLTYPE Write(UINT32 size, const void* data) override;
  bool STDMETHODCALLTYPE Close() override;
  // The graph's filters bring their own settings: there is nothing to show.
  bool STDMETHODCALLTYPE ShowSettings(HWND, IConvertDestination**) override { return false; }

  static IConvertDestination* Create() { return new CDirectShowConvDest(); }

 private:
  CDirectShowConvDest() = default;
  bool AddNamedFilter(const wchar_t* friendlyName, const wchar_t* nameInGraph, const wchar_t* missingMessage,
                      ComPtr<IBaseFilter>& filter);
  bool ConnectFilters(IBaseFilter* from, IBaseFilter* to, const wchar_t* failureMessage);
  void ReleaseGraph();

  std::wstring dataPath;
  UniqueFile data;
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  CMySource* source = nullptr;  // one reference; the graph holds another
  bool running = false;
};
