// The Windows Media Format SDK's writer and profile manager, created through wmvcore.dll (loaded at run time:
// there is no import library). Tests put doubles of both behind the factories.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include <string>

// The SDK's identifiers of audio streams and of WAVEFORMATEX format blocks.
constexpr GUID kWmMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kWmFormatWaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
// Where users learn how to get the platform's Windows Media components.
constexpr wchar_t kWindowsMediaUpdateHelp[] = L"https://www.quennet.com/tavrel/help/windows-media";

// An error code as the messages print it ("%lX").
inline unsigned long ErrorCode(HRESULT hr) { return static_cast<unsigned long>(hr); }

using CreateWriterFunction = HRESULT(WINAPI*)(IUnknown* certificate, IWMWriter** writer);
using CreateProfileManagerFunction = HRESULT(WINAPI*)(IWMProfileManager** manager);

// An entry point of wmvcore.dll, which is loaded once and kept (objects handed out must never outlive it); null
// with `missing` set to HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND / ERROR_PROC_NOT_FOUND) when it is not there.
FARPROC WmvcoreEntry(const char* name, HRESULT* missing);

HRESULT CreateWriter(IWMWriter** writer);
HRESULT CreateProfileManager(IWMProfileManager** manager);
// Replaces both factories for this process; nulls restore the SDK's.
void SetWriterFactories(CreateWriterFunction writer, CreateProfileManagerFunction manager);

// The platform's description of a Windows Media error code, from the first "wmerr*.dll" of the system folder:
// up to its first line end or full stop; empty when there is no such module or text.
std::wstring WindowsMediaErrorText(HRESULT code);
