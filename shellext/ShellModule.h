// The module's state: its instance, the objects and locks that keep it loaded, and where its texts come from.
#pragma once

#include <windows.h>

#include <string>

namespace ShellModule {

HINSTANCE Instance();
void ObjectCreated();
void ObjectDestroyed();
void Lock(bool lock);
bool CanUnload();
// Texts come from a language module when the engine supplies one, else from this module.
void SetTextModule(HMODULE module);
// The module resources come from: a language module that has the resource, else this module.
HMODULE ResourceModuleFor(LPCWSTR name, LPCWSTR type);
std::wstring Text(UINT id);
// The module's own path, as registered for the in-process server.
std::wstring Path();

}  // namespace ShellModule
