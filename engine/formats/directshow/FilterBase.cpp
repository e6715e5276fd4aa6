// The parts of IBaseFilter that do not depend on what a filter does with its data.
#include "FilterBase.h"

#include <cwchar>

#include "FilterParts.h"

CFilterBase::CFilterBase(const wchar_t* filterName, const wchar_t* pinName) : filterName(filterName), pinName(pinName) {
  InitializeCriticalSection(&lock);
}

CFilterBase::~CFilterBase() {
  if (clock) clock->Release();
  DeleteCriticalSection(&lock);
}

ULONG CFilterBase::AddRef() { return ++refCount; }

ULONG CFilterBase::Release() {
  ULONG remaining = --refCount;
  if (!remaining) delete this;
  return remaining;
}

HRESULT CFilterBase::GetState(DWORD, FILTER_STATE* out) {
  if (!out) return E_POINTER;
  CriticalSectionLock hold(lock);
  *out = state;
  return S_OK;
}

HRESULT CFilterBase::SetSyncSource(IReferenceClock* newClock) {
  CriticalSectionLock hold(lock);
  if (newClock) newClock->AddRef();
  if (clock) clock->Release();
  clock = newClock;
  return S_OK;
}

HRESULT CFilterBase::GetSyncSource(IReferenceClock** out) {
  if (!out) return E_POINTER;
  CriticalSectionLock hold(lock);
  *out = clock;
  if (clock) clock->AddRef();
  return S_OK;
}

HRESULT CFilterBase::EnumPins(IEnumPins** out) {
  if (!out) return E_POINTER;
  *out = NewPinEnum(pin);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CFilterBase::FindPin(LPCWSTR id, IPin** out) {
  if (!id || !out) return E_POINTER;
  if (wcscmp(id, pinName) != 0) {
    *out = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *out = pin;
  pin->AddRef();
  return S_OK;
}

HRESULT CFilterBase::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  wcscpy_s(info->achName, filterName);
  CriticalSectionLock hold(lock);
  info->pGraph = graph;
  if (graph) graph->AddRef();
  return S_OK;
}

HRESULT CFilterBase::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR) {
  CriticalSectionLock hold(lock);
  graph = newGraph;
  OnJoined();
  return S_OK;
}

HRESULT CFilterBase::QueryVendorInfo(LPWSTR* info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
