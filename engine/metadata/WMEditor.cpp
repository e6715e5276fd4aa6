// The factory of Windows Media metadata editors: the SDK's, loaded once, unless a test has replaced it.
#include "WMEditor.h"

#include <atomic>

namespace {

std::atomic<CreateEditorFunction> replacement{nullptr};

CreateEditorFunction PlatformFactory() {
  // Loaded once and kept: editors handed out must never outlive their module.
  static const CreateEditorFunction function = [] {
    HMODULE module = LoadLibraryW(L"wmvcore.dll");
    return module ? reinterpret_cast<CreateEditorFunction>(
                        reinterpret_cast<void*>(GetProcAddress(module, "WMCreateEditor")))
                  : nullptr;
  }();
  return function;
}

}  // namespace

HRESULT CreateMetadataEditor(IWMMetadataEditor** editor) {
  if (!editor) return E_POINTER;
  *editor = nullptr;
  CreateEditorFunction factory = replacement.load();
  if (!factory) factory = PlatformFactory();
  if (!factory) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  return factory(editor);
}

void SetMetadataEditorFactory(CreateEditorFunction factory) { replacement.store(factory); }
