#include "ImageDiscMaster.h"

#include <oleauto.h>

#include <algorithm>
#include <utility>

#include "PropertySet.h"

namespace {

// A COM enumerator over a fixed list; Item is an interface pointer (AddRef'd on the way out) or an IID.
template <class Interface, class Item>
class CFixedEnum : public Interface {
 public:
  CFixedEnum(REFIID iid, std::vector<Item> items, size_t position = 0)
      : iid(iid), items(std::move(items)), position(position) {
    for (Item& item : this->items) Hold(item);
  }
  virtual ~CFixedEnum() {
    for (Item& item : items) Drop(item);
  }
  CFixedEnum(const CFixedEnum&) = delete;
  CFixedEnum& operator=(const CFixedEnum&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID wanted, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(wanted, IID_IUnknown) && !IsEqualIID(wanted, iid)) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refCount;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    for (; done < count && position < items.size(); ++done, ++position) {
      out[done] = items[position];
      Hold(out[done]);
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const size_t left = items.size() - position;
    position += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** copy) override {
    if (!copy) return E_POINTER;
    *copy = new CFixedEnum(iid, items, position);
    return S_OK;
  }

 private:
  static void Hold(IUnknown* item) { item->AddRef(); }
  static void Hold(const IID&) {}
  static void Drop(IUnknown* item) { item->Release(); }
  static void Drop(const IID&) {}

  ULONG refCount = 1;
  IID iid;
  std::vector<Item> items;
  size_t position;
};

HRESULT AllocString(const wchar_t* text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocString(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

// What the image recorder answers to GetRecorderGUID.
constexpr byte kRecorderId[] = {'T', 'A', 'V', 'I', 'M', 'G', '0', '1'};

}  // namespace

// ------------------------------------------------------------------------------------------------------------

CImageRecorder::CImageRecorder(std::wstring binPath, std::wstring cuePath, long capacityBlocks)
    : binPath(std::move(binPath)), cuePath(std::move(cuePath)), capacity(capacityBlocks) {
  const size_t dot = this->binPath.find_last_of(L"./\\");
  isoPath = (dot != std::wstring::npos && this->binPath[dot] == L'.' ? this->binPath.substr(0, dot) : this->binPath) +
            L".iso";
}

HRESULT STDMETHODCALLTYPE CImageRecorder::Init(byte*, ULONG, ULONG) { return S_OK; }

HRESULT STDMETHODCALLTYPE CImageRecorder::GetRecorderGUID(byte* uniqueId, ULONG bufferSize, ULONG* requiredSize) {
  if (!requiredSize) return E_POINTER;
  *requiredSize = sizeof(kRecorderId);
  if (bufferSize == 0) return S_OK;
  if (!uniqueId) return E_POINTER;
  if (bufferSize < sizeof(kRecorderId)) return IMAPI_S_BUFFER_TO_SMALL;
  memcpy(uniqueId, kRecorderId, sizeof(kRecorderId));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::GetRecorderType(long* typeCode) {
  if (!typeCode) return E_POINTER;
  *typeCode = RECORDER_CDR;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::GetDisplayNames(BSTR* vendorId, BSTR* productId, BSTR* revision) {
  if (!vendorId || !productId || !revision) return E_POINTER;
  *vendorId = *productId = *revision = nullptr;
  if (FAILED(AllocString(L"Tavrel", vendorId)) || FAILED(AllocString(L"Image Recorder", productId)) ||
      FAILED(AllocString(L"1.0", revision))) {
    SysFreeString(*vendorId);
    SysFreeString(*productId);
    *vendorId = *productId = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::GetBasePnPID(BSTR* basePnPId) { return AllocString(L"TAVREL_IMAGE", basePnPId); }

HRESULT STDMETHODCALLTYPE CImageRecorder::GetPath(BSTR* path) { return AllocString(cuePath.c_str(), path); }

HRESULT STDMETHODCALLTYPE CImageRecorder::GetRecorderProperties(IPropertyStorage** properties) {
  if (!properties) return E_POINTER;
  CPropertySet* set = new CPropertySet();
  set->values[kWriteSpeed] = {VT_I4, L"", writeSpeed};
  set->values[kMaxWriteSpeed] = {VT_I4, L"", kFastest};
  *properties = set;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::SetRecorderProperties(IPropertyStorage* properties) {
  if (!properties) return E_POINTER;
  // "MaxWriteSpeed" is read-only and unknown names are ignored; a speed past the fastest becomes the fastest.
  CPropertySet::Value speed;
  const HRESULT hr = CPropertySet::Read(properties, kWriteSpeed, &speed);
  if (FAILED(hr)) return hr;
  if (speed.type != VT_I4 || speed.number < 1) return IMAPI_S_PROPERTIESIGNORED;
  writeSpeed = std::min<LONG>(speed.number, kFastest);
  return writeSpeed == speed.number ? S_OK : IMAPI_S_PROPERTIESIGNORED;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::GetRecorderState(ULONG* deviceStateFlags) {
  if (!deviceStateFlags) return E_POINTER;
  *deviceStateFlags = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::OpenExclusive() { return S_OK; }

HRESULT STDMETHODCALLTYPE CImageRecorder::QueryMediaType(long* mediaType, long* mediaFlags) {
  if (!mediaType || !mediaFlags) return E_POINTER;
  *mediaType = MEDIA_CDDA_CDROM;
  *mediaFlags = MEDIA_BLANK | MEDIA_WRITABLE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::QueryMediaInfo(byte* sessions, byte* lastTrack, ULONG* startAddress,
                                                         ULONG* nextWritable, ULONG* freeBlocks) {
  if (!sessions || !lastTrack || !startAddress || !nextWritable || !freeBlocks) return E_POINTER;
  *sessions = 0;
  *lastTrack = 0;
  *startAddress = 0;
  *nextWritable = 0;
  *freeBlocks = static_cast<ULONG>(capacity);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageRecorder::Eject() { return S_OK; }

// A new image replaces the old one whole, so there is nothing to erase.
HRESULT STDMETHODCALLTYPE CImageRecorder::Erase(boolean) { return S_OK; }

HRESULT STDMETHODCALLTYPE CImageRecorder::Close() { return S_OK; }

// ------------------------------------------------------------------------------------------------------------

CImageDiscMaster::CImageDiscMaster(std::wstring binPath, std::wstring cuePath, long capacityBlocks)
    : recorder(new CImageRecorder(std::move(binPath), std::move(cuePath), capacityBlocks)) {}

CImageDiscMaster::~CImageDiscMaster() {
  Close();
  recorder->Release();
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::Open() {
  if (opened) return kImapiAlreadyOpen;
  opened = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::EnumDiscMasterFormats(IEnumDiscMasterFormats** formats) {
  if (!formats) return E_POINTER;
  *formats = nullptr;
  if (!opened) return IMAPI_E_NOTOPENED;
  *formats = new CFixedEnum<IEnumDiscMasterFormats, IID>(IID_IEnumDiscMasterFormats,
                                                          {IID_IRedbookDiscMaster, IID_IJolietDiscMaster});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::GetActiveDiscMasterFormat(IID* format) {
  if (!format) return E_POINTER;
  if (!opened) return IMAPI_E_NOTOPENED;
  if (!redbook && !joliet) return kImapiNoActiveFormat;
  *format = redbook ? IID_IRedbookDiscMaster : IID_IJolietDiscMaster;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::SetActiveDiscMasterFormat(REFIID format, void** formatInterface) {
  if (!formatInterface) return E_POINTER;
  *formatInterface = nullptr;
  if (!opened) return IMAPI_E_NOTOPENED;
  const bool audio = IsEqualIID(format, IID_IRedbookDiscMaster);
  if (!audio && !IsEqualIID(format, IID_IJolietDiscMaster)) return E_NOINTERFACE;
  // A new staging object: setting the format clears the staged image.
  DropFormat();
  if (audio) {
    redbook = new CAudioImageWriter(recorder->BinPath(), recorder->CuePath(), recorder->Capacity());
    redbook->AddRef();
    *formatInterface = static_cast<IRedbookDiscMaster*>(redbook);
  } else {
    // A data sector holds 2048 bytes where an audio sector holds 2352: the disc has as many of either.
    joliet = new CJolietImage(recorder->IsoPath(), recorder->Capacity());
    joliet->AddRef();
    *formatInterface = static_cast<IJolietDiscMaster*>(joliet);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::EnumDiscRecorders(IEnumDiscRecorders** recorders) {
  if (!recorders) return E_POINTER;
  *recorders = nullptr;
  if (!opened) return IMAPI_E_NOTOPENED;
  *recorders = new CFixedEnum<IEnumDiscRecorders, IDiscRecorder*>(IID_IEnumDiscRecorders, {recorder});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::GetActiveDiscRecorder(IDiscRecorder** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!opened) return IMAPI_E_NOTOPENED;
  if (!active) return kImapiNoActiveRecorder;
  active->AddRef();
  *out = active;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::SetActiveDiscRecorder(IDiscRecorder* chosen) {
  if (!opened) return IMAPI_E_NOTOPENED;
  if (chosen != static_cast<IDiscRecorder*>(recorder)) return E_INVALIDARG;
  active = chosen;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::ClearFormatContent() {
  if (!opened) return IMAPI_E_NOTOPENED;
  if (redbook) redbook->Clear();
  else if (joliet) joliet->Clear();
  else return kImapiNoActiveFormat;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) {
  if (!events || !cookie) return E_POINTER;
  if (!opened) return IMAPI_E_NOTOPENED;
  events->AddRef();
  sinks.push_back({nextCookie, events});
  *cookie = nextCookie++;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::ProgressUnadvise(UINT_PTR cookie) {
  if (!opened) return IMAPI_E_NOTOPENED;
  for (auto it = sinks.begin(); it != sinks.end(); ++it) {
    if (it->cookie != cookie) continue;
    IDiscMasterProgressEvents* events = it->events;
    sinks.erase(it);
    events->Release();
    return S_OK;
  }
  return E_INVALIDARG;
}

bool CImageDiscMaster::AnyCancel() {
  for (const Sink& sink : std::vector<Sink>(sinks)) {
    boolean cancel = 0;
    if (SUCCEEDED(sink.events->QueryCancel(&cancel)) && cancel) return true;
  }
  return false;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::RecordDisc(boolean simulate, boolean) {
  if (!opened) return IMAPI_E_NOTOPENED;
  if (!active) return kImapiNoActiveRecorder;
  if (!redbook && !joliet) return kImapiNoActiveFormat;
  if (injectedFailure != S_OK) {
    const HRESULT hr = injectedFailure;
    injectedFailure = S_OK;
    return hr;
  }
  long tracks = 1, used = 0;
  if (redbook) {
    redbook->GetTotalAudioTracks(&tracks);
    redbook->GetUsedAudioBlocks(&used);
  } else {
    joliet->GetUsedDataBlocks(&used);
  }
  // Sinks may unadvise from inside an event: each event goes to a copy of the list.
  auto notify = [this](auto call) {
    for (const Sink& sink : std::vector<Sink>(sinks)) call(sink.events);
  };
  notify([&](IDiscMasterProgressEvents* e) { e->NotifyPreparingBurn(used / 75 + 1); });
  HRESULT hr = S_OK;
  for (long t = 0; t < tracks && hr == S_OK; ++t) {
    if (AnyCancel()) hr = IMAPI_E_USERABORT;
    else notify([&](IDiscMasterProgressEvents* e) { e->NotifyTrackProgress(t, tracks); });
  }
  if (hr == S_OK && AnyCancel()) hr = IMAPI_E_USERABORT;
  if (hr == S_OK) {
    notify([&](IDiscMasterProgressEvents* e) { e->NotifyBlockProgress(0, used); });
    if (!simulate) {
      hr = redbook ? redbook->WriteImage() : joliet->WriteImage();
      if (SUCCEEDED(hr)) ++imagesWritten;
    }
  }
  if (SUCCEEDED(hr)) {
    notify([&](IDiscMasterProgressEvents* e) { e->NotifyBlockProgress(used, used); });
    notify([&](IDiscMasterProgressEvents* e) { e->NotifyClosingDisc(2); });
  }
  notify([&](IDiscMasterProgressEvents* e) { e->NotifyBurnComplete(hr); });
  return hr;
}

void CImageDiscMaster::ReleaseSinks() {
  std::vector<Sink> old;
  old.swap(sinks);
  for (const Sink& sink : old) sink.events->Release();
}

void CImageDiscMaster::DropFormat() {
  if (redbook) redbook->Release();
  if (joliet) joliet->Release();
  redbook = nullptr;
  joliet = nullptr;
}

HRESULT STDMETHODCALLTYPE CImageDiscMaster::Close() {
  DropFormat();
  active = nullptr;
  ReleaseSinks();
  opened = false;
  return S_OK;
}
