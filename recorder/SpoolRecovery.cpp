#include "SpoolRecovery.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "ComPtr.h"
#include "Recorder.h"
#include "SpoolRecord.h"
#include "TempFile.h"
#include "tavcore.h"

namespace {

const wchar_t kSection[] = L"Settings";
const wchar_t kValue[] = L"InterruptedRecording";

// The spool files left for an output, in the order of their blocks (the number in the name).
std::vector<std::wstring> SpoolFiles(const std::wstring& outputPath) {
  std::vector<std::pair<unsigned long, std::wstring>> found;
  const size_t slash = outputPath.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : outputPath.substr(0, slash + 1);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((outputPath + L".vxc-*").c_str(), &entry);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
    const std::wstring name = entry.cFileName;
    const size_t mark = name.rfind(L".vxc-");
    const std::wstring digits = name.substr(mark + 5);
    if (digits.size() != 6 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
    found.emplace_back(std::wcstoul(digits.c_str(), nullptr, 10), folder + name);
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  std::sort(found.begin(), found.end());
  std::vector<std::wstring> files;
  for (auto& file : found) files.push_back(std::move(file.second));
  return files;
}

std::wstring RecoveredName(const std::wstring& outputPath) {
  const size_t slash = outputPath.find_last_of(L"\\/");
  const size_t dot = outputPath.rfind(L'.');
  const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  const std::wstring stem = hasExtension ? outputPath.substr(0, dot) : outputPath;
  const std::wstring extension = hasExtension ? outputPath.substr(dot) : L"";
  std::wstring name = stem + L" (recovered)" + extension;
  for (int number = 2; GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; ++number)
    name = stem + L" (recovered " + std::to_wstring(number) + L")" + extension;
  return name;
}

}  // namespace

void NoteInterruptibleRecording(const std::wstring& outputPath) { WritePString(kSection, kValue, outputPath.c_str()); }

void ForgetInterruptibleRecording() { WritePString(kSection, kValue, nullptr); }

std::wstring FindInterruptedRecording() {
  wchar_t path[512] = {};
  if (!ReadPString(kSection, kValue, path) || !path[0]) return {};
  if (SpoolFiles(path).empty()) {
    ForgetInterruptibleRecording();
    return {};
  }
  return path;
}

std::wstring RecoverInterruptedRecording(const std::wstring& outputPath, std::wstring* error) {
  auto fail = [&](const wchar_t* why) {
    if (error) *error = why;
    return std::wstring();
  };
  const std::vector<std::wstring> files = SpoolFiles(outputPath);
  if (files.empty()) return fail(L"The recording's temporary files are gone.");
  const std::wstring target = RecoveredName(outputPath);
  CONVFORMAT format = {};
  ComPtr<IConvertDestination> destination;
  if (FAILED(ConvGetFormatOf(&format, target.c_str())) || FAILED(ConvCreateDest(&format, &destination)) ||
      !destination)
    return fail(L"The recording's output format cannot be written.");
  destination->SetFileName(target.c_str());
  destination->SetFormat(&CRecorder::kFormat);
  if (!destination->Open()) return fail(L"The recovered file cannot be created.");
  // Every file is read to its end: a change-file record only repeats what the next file's name says.
  std::vector<BYTE> data(CRecorder::kBlockBytes);
  ULONGLONG written = 0;
  for (const std::wstring& path : files) {
    CTempFile input;
    if (!input.Open(path)) continue;
    for (;;) {
      SpoolHeader header = {};
      DWORD got = 0;
      if (!input.Read(&header, sizeof(header), &got) || got != sizeof(header)) break;
      if (header.kind == kSpoolChangeFile) {
        input.Seek(input.Position() + sizeof(SpoolChangeFile) - sizeof(SpoolHeader));
        continue;
      }
      // A block cut short by the crash, or a damaged one, ends what can be trusted in this file.
      if ((header.magic != kSpoolMagic && header.magic != kSpoolMagicEncoded) || header.length > data.size() ||
          !input.Read(data.data(), header.length, &got) || got != header.length)
        break;
      if (header.magic == kSpoolMagic && destination->Write(header.length, data.data())) written += header.length;
    }
  }
  destination->Close();
  if (written == 0) {
    DeleteFileW(target.c_str());
    DiscardInterruptedRecording(outputPath);
    return fail(L"The recording's temporary files hold no audio that was not already saved.");
  }
  DiscardInterruptedRecording(outputPath);
  return target;
}

void DiscardInterruptedRecording(const std::wstring& outputPath) {
  for (const std::wstring& path : SpoolFiles(outputPath)) DeleteFileW(path.c_str());
  ForgetInterruptibleRecording();
}
