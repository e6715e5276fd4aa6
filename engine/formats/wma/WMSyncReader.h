// The Windows Media Format SDK's synchronous reader, created through WMCreateSyncReader of wmvcore.dll (loaded at
// run time: there is no import library). Tests can put a double of the reader behind the factory.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

using CreateSyncReaderFunction = HRESULT(WINAPI*)(IUnknown* certificate, DWORD rights, IWMSyncReader** reader);

// A new reader from the current factory. HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) or (ERROR_PROC_NOT_FOUND) when
// the SDK is not there to be used.
HRESULT CreateSyncReader(IWMSyncReader** reader);
// True for the failures of CreateSyncReader that mean the SDK is missing or too old.
bool IsMissingSdk(HRESULT hr);
// Replaces the factory for this process; null restores the SDK's.
void SetSyncReaderFactory(CreateSyncReaderFunction factory);
