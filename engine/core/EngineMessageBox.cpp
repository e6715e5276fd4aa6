#include "EngineMessageBox.h"

#include <atomic>

namespace {
const wchar_t kApplicationCaption[] = L"Tavrel";
std::atomic<EngineMessageBoxFunction> shown{&MessageBoxW};
}  // namespace

int EngineMessageBox(HWND owner, const wchar_t* text, UINT type) {
  return shown.load()(owner, text, kApplicationCaption, type);
}

void SetEngineMessageBoxFunction(EngineMessageBoxFunction function) { shown.store(function ? function : &MessageBoxW); }
