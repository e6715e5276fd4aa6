// The DirectShow destination: the graph SRC -> ENC -> MUX -> FWrite, run without a clock.
#include "DirectShowConvDest.h"

#include "EngineResources.h"
#include "MySource.h"

namespace {

constexpr DWORD kFinishLimitMs = 10 * 60 * 1000;

unsigned long Code(HRESULT hr) { return static_cast<unsigned long>(hr); }

// The first pin of the filter in the given direction that is not connected yet.
ComPtr<IPin> FreePin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(&pins))) return nullptr;
  for (IPin* pin = nullptr; pins->Next(1, &pin, nullptr) == S_OK;) {
    ComPtr<IPin> candidate = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION direction;
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted && pin->ConnectedTo(&peer) != S_OK)
      return candidate;
  }
  return nullptr;
}

// A registered filter found by its friendly name in the platform's filter category.
HRESULT FindFilter(const wchar_t* friendlyName, IBaseFilter** out) {
  *out = nullptr;
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devices));
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &monikers, 0);
  if (hr != S_OK) return VFW_E_NOT_FOUND;
  for (IMoniker* moniker = nullptr; monikers->Next(1, &moniker, nullptr) == S_OK;) {
    ComPtr<IMoniker> held = ComPtr<IMoniker>::Adopt(moniker);
    ComPtr<IPropertyBag> properties;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&properties))))
      continue;
    VARIANT name;
    VariantInit(&name);
    const bool match = SUCCEEDED(properties->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                       _wcsicmp(name.bstrVal, friendlyName) == 0;
    VariantClear(&name);
    if (match) return moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(out));
  }
  return VFW_E_NOT_FOUND;
}

}  // namespace

CDirectShowConvDest::~CDirectShowConvDest() { Close(); }

bool CDirectShowConvDest::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CDirectShowConvDest;
  return true;
}

bool CDirectShowConvDest::Open() {
  if (!CDefConvertDestination::Open()) return false;
  wchar_t folder[MAX_PATH], path[MAX_PATH];
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"tdd", 0, path)) return Fail(L"Temporary file cannot be created");
  dataPath = path;
  data.Reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!data) return Fail(L"Temporary file cannot be created");

  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph));
  if (FAILED(hr))
    return Fail(FormatText(kMessageCapacity, L"DirectShow: Filter graph cannot be instanciated (error %lX)", Code(hr)));
  source = new CMySource(format, dataPath);
  hr = graph->AddFilter(source, CMySource::kFilterName);
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, L"Source filter cannot be added (error %lX)", Code(hr)));

  ComPtr<IBaseFilter> encoder, muxer, writer;
  if (!AddNamedFilter(L"3ivx D4 Audio Encoder", L"ENC", L"3ivx D4 Audio Encoder not available (error %lX)", encoder) ||
      !AddNamedFilter(L"3ivx D4 Media Muxer", L"MUX", L"3ivx D4 Media Muxer not available (error %lX)", muxer))
    return false;
  hr = CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        reinterpret_cast<void**>(&writer));
  if (SUCCEEDED(hr)) hr = graph->AddFilter(writer.Get(), L"FWrite");
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, L"Filewriter not available (error %lX)", Code(hr)));
  ComPtr<IFileSinkFilter> sink;
  hr = writer->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&sink));
  if (SUCCEEDED(hr)) hr = sink->SetFileName(fileName, nullptr);
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, L"Output filename not accepted (error %lX)", Code(hr)));

  if (!ConnectFilters(source, encoder.Get(), L"Encoder cannot be connected (error %lX)") ||
      !ConnectFilters(encoder.Get(), muxer.Get(), L"Muxer cannot be connected (error %lX)") ||
      !ConnectFilters(muxer.Get(), writer.Get(), L"File writer cannot be connected (error %lX)"))
    return false;

  ComPtr<IMediaFilter> timing;
  if (SUCCEEDED(graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&timing))))
    timing->SetSyncSource(nullptr);
  hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  if (SUCCEEDED(hr)) hr = control->Run();
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, L"Media control run failed (error %lX)", Code(hr)));
  running = true;
  return true;
}

bool CDirectShowConvDest::AddNamedFilter(const wchar_t* friendlyName, const wchar_t* nameInGraph,
                                         const wchar_t* missingMessage, ComPtr<IBaseFilter>& filter) {
  HRESULT hr = FindFilter(friendlyName, &filter);
  if (SUCCEEDED(hr)) hr = graph->AddFilter(filter.Get(), nameInGraph);
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, missingMessage, Code(hr)));
  return true;
}

bool CDirectShowConvDest::ConnectFilters(IBaseFilter* from, IBaseFilter* to, const wchar_t* failureMessage) {
  ComPtr<IPin> output = FreePin(from, PINDIR_OUTPUT);
  ComPtr<IPin> input = FreePin(to, PINDIR_INPUT);
  HRESULT hr = output && input ? graph->Connect(output.Get(), input.Get()) : VFW_E_NOT_FOUND;
  if (FAILED(hr)) return Fail(FormatText(kMessageCapacity, failureMessage, Code(hr)));
  return true;
}

bool CDirectShowConvDest::Write(UINT32 size, const void* bytes) {
  DWORD written = 0;
  if (!data || !WriteFile(data.Get(), bytes, size, &written, nullptr) || written != size) {
    LogError(L"Write error");
    return false;
  }
  return true;
}

bool CDirectShowConvDest::Close() {
  bool ok = true;
  if (running) {
    // The stream delivers what is left and ends; the file writer completes the graph.
    source->MarkEnd();
    ComPtr<IMediaEvent> events;
    long code = 0;
    HRESULT hr = graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    if (SUCCEEDED(hr)) hr = events->WaitForCompletion(kFinishLimitMs, &code);
    if (FAILED(hr) || code != EC_COMPLETE) {
      LogError(L"Encoding graph did not finish (error %lX)", Code(FAILED(hr) ? hr : E_FAIL));
      ok = false;
    }
  }
  ReleaseGraph();
  data.Reset();
  if (!dataPath.empty()) DeleteFileW(dataPath.c_str());
  dataPath.clear();
  return ok;
}

void CDirectShowConvDest::ReleaseGraph() {
  if (control) control->Stop();
  running = false;
  control = nullptr;
  graph = nullptr;
  if (source) source->Release();
  source = nullptr;
}
