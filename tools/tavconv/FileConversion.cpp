// One file through the engine, as both modes of the converter application run it.
#include "FileConversion.h"

#include "InputCollector.h"

namespace {
// Owns one reference of an engine object.
template <class T>
struct Held {
  ~Held() {
    if (object) object->Release();
  }
  T* object = nullptr;
};

void LogError(IConvertCallback& callback, const std::wstring& text) { callback.LogStyled((text + L"\n").c_str(), L"e"); }

// Applies the options in order; the destination's own message for a bad value.
bool ApplyOptions(IConvertDestination* destination, const ConversionSettings& settings, std::wstring& error) {
  for (const auto& [name, value] : settings.options) {
    wchar_t text[1024] = {};
    if (destination->SetOption(name.c_str(), value.c_str(), text)) continue;
    error = text[0] ? std::wstring(text) : L"Unknown option '" + name + L"' for this output format";
    return false;
  }
  return true;
}

bool NewDestination(int formatIndex, Held<IConvertDestination>& destination) {
  CONVFORMAT row;
  return ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) == S_OK &&
         ConvCreateDest(&row, &destination.object) == S_OK;
}
}  // namespace

int FormatIndexByName(const std::wstring& name) {
  CONVFORMAT row;
  if (ConvGetFormatByName(&row, name.c_str()) != S_OK) return -1;
  return static_cast<int>(ConvGetFormatPos(&row));
}

std::wstring CheckOptions(const ConversionSettings& settings) {
  Held<IConvertDestination> destination;
  if (!NewDestination(settings.formatIndex, destination)) return L"This format cannot be written";
  std::wstring error;
  ApplyOptions(destination.object, settings, error);
  return error;
}

HRESULT ConvertFile(const std::wstring& input, const ConversionSettings& settings, IConvertCallback& callback,
                    std::wstring* output) {
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
  if (!source.object->SetFileName(input.c_str())) {
    LogError(callback, L"Path too long: " + input);
    return E_FAIL;
  }
  Held<IConvertDestination> destination;
  if (!NewDestination(settings.formatIndex, destination)) {
    LogError(callback, L"This output format cannot be written");
    return E_FAIL;
  }
  std::wstring error;
  if (!ApplyOptions(destination.object, settings, error)) {
    LogError(callback, error);
    return E_FAIL;
  }
  wchar_t name[MAX_PATH] = {};
  if (!SuggestOutputFile(settings.scheme.c_str(), settings.formatIndex, source.object, name, MAX_PATH)) {
    LogError(callback, name);
    return E_FAIL;
  }
  // A relative scheme is relative to the current folder, and the job and playlists need the full path.
  std::wstring path = AbsolutePath(name);
  if (output) *output = path;
  if (!destination.object->SetFileName(path.c_str())) {
    LogError(callback, L"Filename too long (259 character limit)");
    return E_FAIL;
  }
  double gain = settings.gain;
  return AudioConvert(source.object, destination.object, &callback, &settings.job, settings.normalize ? &gain : nullptr,
                      settings.startMs, settings.endMs);
}
