// Shared helpers of the test programs: a recording callback, temporary folders, small file helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tavcore.h"

// Records every call a job or an object makes; answers ConfirmOverwrite and IsCancelled as told.
class RecordingCallback : public IConvertCallback {
public:
  struct Line {
    std::wstring text;
    std::wstring style;
  };

  BOOL STDMETHODCALLTYPE ConfirmOverwrite(const wchar_t* path) override {
    overwriteQuestions.push_back(path ? path : L"");
    return answerOverwrite;
  }
  void STDMETHODCALLTYPE Log(const wchar_t* text) override { LogStyled(text, L""); }
  void STDMETHODCALLTYPE LogStyled(const wchar_t* text, const wchar_t* style) override {
    lines.push_back({text ? text : L"", style ? style : L""});
  }
  void STDMETHODCALLTYPE SetProgressRange(int max) override { progressRange = max; }
  void STDMETHODCALLTYPE SetProgressPos(int pos) override { progressPos = pos; }
  void STDMETHODCALLTYPE StepProgress(int step) override { progressPos += step; }
  void STDMETHODCALLTYPE SetStatusText(const wchar_t* text) override { status = text ? text : L""; }
  BOOL STDMETHODCALLTYPE IsCancelled() override { return cancelled; }
  void STDMETHODCALLTYPE SetCurrentFile(const wchar_t* text, BOOL) override { currentFile = text ? text : L""; }

  std::vector<std::wstring> Errors() const {
    std::vector<std::wstring> result;
    for (const Line& line : lines)
      if (line.style == L"e") result.push_back(line.text);
    return result;
  }

  BOOL answerOverwrite = FALSE;
  BOOL cancelled = FALSE;
  std::vector<Line> lines;
  std::vector<std::wstring> overwriteQuestions;
  int progressRange = 0;
  int progressPos = 0;
  std::wstring status;
  std::wstring currentFile;
};

// Holds one reference to an engine object, released at the end; out() for the creating call's out-parameter.
template <class T>
struct Ref {
  T* p = nullptr;
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref(Ref&& other) noexcept : p(other.p) { other.p = nullptr; }
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return path; }
  std::wstring operator/(const std::wstring& name) const { return path + L"\\" + name; }

private:
  std::wstring path;
};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Folder of the running test program (where the build puts tavcore.dll and the test packs).
std::wstring ProgramFolder();
// Registry section name unique to the running test, so tests may run side by side.
std::wstring TestSectionName();
