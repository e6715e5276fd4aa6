// The Windows Media Format SDK's metadata editor, created through WMCreateEditor of wmvcore.dll (loaded at run
// time: there is no import library). Tests can put a double of the editor behind the factory.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

using CreateEditorFunction = HRESULT(WINAPI*)(IWMMetadataEditor** editor);

// A new editor from the current factory; the platform's failure code when there is none.
HRESULT CreateMetadataEditor(IWMMetadataEditor** editor);
// Replaces the factory for this process; null restores the SDK's.
void SetMetadataEditorFactory(CreateEditorFunction factory);
