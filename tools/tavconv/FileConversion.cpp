// One file through the engine, as both modes of the converter application run it.
#include "FileConversion.h"

#include "InputCollector.h"
#include "OptionCatalog.h"
#include "SafeOutput.h"

namespace {
// Owns one reference of an engine object.
template <class T>
struct Held {
  ~Held() {
    if (object) object->Release();
  }
  T* object = nullptr;
};

void LogError(IConvertCallback& callback, const std::wstring& text) {
  callback.LogStyled((text + L"\n").c_str(), L"e");
}

// Applies the options in order; a refusal is explained with the format, the option and what it accepts.
bool ApplyOptions(IConvertDestination* destination, const ConversionSettings& settings, std::wstring& error) {
  for (const auto& [name, value] : settings.options) {
    wchar_t text[1024] = {};
    if (destination->SetOption(name.c_str(), value.c_str(), text)) continue;
    error = OptionErrorText(settings.formatIndex, name, value, text);
    return false;
  }
  return true;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Gives the finished temporary output its final name; the existing file is replaced only when the user said so.
bool TakeFinalName(const std::wstring& temporary, const std::wstring& path, bool replace, IConvertCallback& callback) {
  if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
    return true;
  DWORD error = GetLastError();
  LogError(callback, error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? L"Output file already exists"
                                                                                 : L"Output file cannot be replaced");
  return false;
}

bool NewDestination(int formatIndex, Held<IConvertDestination>& destination) {
  CONVFORMAT row;
  return ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) == S_OK &&
         ConvCreateDest(&row, &destination.object) == S_OK;
}
}  // namespace

int FormatIndexByName(const std::wstring& name) {
  if (name.empty()) return -1;
  CONVFORMAT row;
  if (ConvGetFormatByName(&row, name.c_str()) == S_OK) return static_cast<int>(ConvGetFormatPos(&row));
  // The usual short names: "vorbis", and any extension of a row, with or without its dot ("mp3", ".ogg", "aif").
  if (_wcsicmp(name.c_str(), L"vorbis") == 0) return FormatIndexByName(L"Ogg Vorbis");
  const std::wstring asFile = L"x" + (name[0] == L'.' ? name : L"." + name);
  if (name.find_first_of(L"\\/.", 1) == std::wstring::npos && ConvGetFormatOf(&row, asFile.c_str()) == S_OK)
    return static_cast<int>(ConvGetFormatPos(&row));
  return -1;
}

std::wstring CheckOptions(const ConversionSettings& settings) {
  Held<IConvertDestination> destination;
  if (!NewDestination(settings.formatIndex, destination)) return L"This format cannot be written";
  std::wstring error;
  ApplyOptions(destination.object, settings, error);
  return error;
}

std::wstring SameFormatOutput(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  const size_t dot = path.find_last_of(L'.');
  const size_t at = dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? path.size() : dot;
  return path.substr(0, at) + L" (1)" + path.substr(at);
}

bool IsCdTrackRow(const CONVFORMAT& row) {
  return row.sourceClass && IsEqualGUID(*row.sourceClass, CLSID_CAudioCDTrack);
}

HRESULT ConvertFile(const std::wstring& input, const ConversionSettings& settings, IConvertCallback& callback,
                    std::wstring* output, const std::function<void(IConvertSource*)>& onSource) {
  CONVFORMAT inputRow;
  if (ConvGetFormatOf(&inputRow, input.c_str()) != S_OK) {
    LogError(callback, L"Unknown file format: " + input);
    return E_FAIL;
  }
  Held<IConvertSource> source;
  if (ConvCreateSource(&inputRow, &source.object) != S_OK) {
    LogError(callback, L"Files of this format cannot be read yet: " + input);
    return E_FAIL;
  }
  const bool cdTrack = IsCdTrackRow(inputRow);
  if (!source.object->SetFileName(input.c_str())) {
    if (cdTrack && input.size() < MAX_PATH) {
      LogError(callback, L"The CD track cannot be found: " + input +
                             L" (no CD drive has this letter, the drive holds no disc, or the track is not on it)");
    } else {
      LogError(callback, L"Path too long: " + input);
    }
    return E_FAIL;
  }
  if (settings.prepareSource) settings.prepareSource(source.object);
  Held<IConvertDestination> destination;
  if (settings.destination) {
    destination.object = settings.destination;
    destination.object->AddRef();
  } else if (!NewDestination(settings.formatIndex, destination)) {
    LogError(callback, L"This output format cannot be written");
    return E_FAIL;
  }
  std::wstring error;
  if (!ApplyOptions(destination.object, settings, error)) {
    LogError(callback, error);
    return E_FAIL;
  }
  std::wstring path;
  if (!settings.outputPath.empty()) {
    path = AbsolutePath(settings.outputPath);
  } else {
    wchar_t name[MAX_PATH] = {};
    // A CD track's folder is its drive's name, no place to write: rips go to the current folder by default.
    const std::wstring cdScheme = settings.titledCdTracks ? L"<tracknum> <title>" : L"<sourcename>";
    const std::wstring scheme = cdTrack && settings.scheme == ConversionSettings().scheme ? cdScheme : settings.scheme;
    if (!SuggestOutputFile(scheme.c_str(), settings.formatIndex, source.object, name, MAX_PATH)) {
      LogError(callback, name);
      return E_FAIL;
    }
    // A relative scheme is relative to the current folder, and the job and playlists need the full path.
    path = AbsolutePath(name);
    if (settings.scheme == ConversionSettings().scheme && SameExistingFile(input, path)) path = SameFormatOutput(path);
  }
  if (output) *output = path;
  if (SameExistingFile(input, path)) {
    LogError(callback, L"Source file is equal to destination file");
    return E_FAIL;
  }
  // The engine writes a temporary file; the question about an existing output is asked here, and the
  // existing file stays as it is until the new one is complete.
  bool replace = false;
  if (PathExists(path)) {
    // The question is about this file, which the job would name only once it runs.
    callback.SetCurrentFile(input.substr(input.find_last_of(L"\\/") + 1).c_str(), TRUE);
    if (!callback.ConfirmOverwrite(path.c_str())) {
      // Keeping the existing file is the user's choice, not a failure.
      callback.LogStyled((L"Output file already exists, skipped: " + path + L"\n").c_str(), L"i");
      return S_FALSE;
    }
    replace = true;
  }
  std::wstring temporary = TemporaryOutputName(path);
  if (temporary.empty() || !destination.object->SetFileName(temporary.c_str())) {
    LogError(callback, L"Filename too long (259 character limit)");
    return E_FAIL;
  }
  RemoveAbandonedOutputs(FolderOf(path));
  if (onSource) onSource(source.object);
  double gain = settings.gain;
  HRESULT result = AudioConvert(source.object, destination.object, &callback, &settings.job,
                                settings.normalize ? &gain : nullptr, settings.startMs, settings.endMs);
  if (result == S_OK && !TakeFinalName(temporary, path, replace, callback)) result = E_FAIL;
  if (result != S_OK) DeleteFileW(temporary.c_str());
  return result;
}
