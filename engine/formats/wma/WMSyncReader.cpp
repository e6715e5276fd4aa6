// The factory of Windows Media synchronous readers: the SDK's, loaded once, unless a test has replaced it.
#include "WMSyncReader.h"

#include <atomic>

#include "WMSdk.h"

namespace {

std::atomic<CreateSyncReaderFunction> replacement{nullptr};

HRESULT PlatformFactory(IWMSyncReader** reader) {
  HRESULT missing = S_OK;
  auto function = reinterpret_cast<CreateSyncReaderFunction>(
      reinterpret_cast<void*>(WmvcoreEntry("WMCreateSyncReader", &missing)));
  return function ? function(nullptr, 0, reader) : missing;
}

}  // namespace

HRESULT CreateSyncReader(IWMSyncReader** reader) {
  if (!reader) return E_POINTER;
  *reader = nullptr;
  CreateSyncReaderFunction factory = replacement.load();
  return factory ? factory(nullptr, 0, reader) : PlatformFactory(reader);
}

bool IsMissingSdk(HRESULT hr) {
  return hr == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) ||
         hr == REGDB_E_CLASSNOTREG;
}

void SetSyncReaderFactory(CreateSyncReaderFunction factory) { replacement.store(factory); }
