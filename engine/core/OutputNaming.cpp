// SuggestOutputFile: an output path from a naming scheme, the source's path and tag, and the output format.
#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "AbiGuard.h"
#include "ComPtr.h"
#include "EngineResources.h"
#include "PathText.h"
#include "tavcore.h"

namespace {
struct NamingError {
  std::wstring text;
};

[[noreturn]] void Refuse(const std::wstring& text) { throw NamingError{text}; }

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
  return text;
}

std::wstring TrimRight(std::wstring text) {
  while (!text.empty() && iswspace(text.back())) text.pop_back();
  return text;
}

bool IsBlank(const std::wstring& text) { return std::all_of(text.begin(), text.end(), iswspace); }

std::wstring Trim(const std::wstring& text) {
  size_t first = 0;
  while (first < text.size() && iswspace(text[first])) ++first;
  return TrimRight(text.substr(first));
}

struct TagField {
  const wchar_t* element;
  UINT32 frame;
  size_t kept;
  const wchar_t* fallback;
};
const TagField kTagFields[] = {
    {L"title", kFrameTitle, 99, L"Unknown"},       {L"album", kFrameAlbum, 99, L"Unknown"},
    {L"artist", kFrameLeadArtist, 99, L"Unknown"}, {L"year", kFrameYear, 4, L"0000"},
    {L"genre", kFrameGenre, 59, L"Unknown"},       {L"tracknum", kFrameTrackNumber, 7, L"00"},
};

bool NamesTagElement(const std::wstring& loweredText) {
  for (const TagField& field : kTagFields)
    if (loweredText.find(std::wstring(L"<") + field.element + L">") != std::wstring::npos) return true;
  return false;
}

// A tag value fit for a file name: characters the file system refuses become blanks.
std::wstring CleanTagValue(std::wstring value, bool trackNumber) {
  for (wchar_t& c : value)
    if (wcschr(L"\"*/:<>?\\|", c)) c = L' ';
  if (trackNumber) {
    if (value.size() == 1) value = L"0" + value;
    return value;
  }
  return TrimRight(value);
}

// The tag fields of the source, with their defaults; the number of frames found.
int ReadTagFields(IConvertSource* source, std::wstring (&values)[6]) {
  int found = 0;
  ComPtr<IMetadata> metadata;
  ComPtr<IMetadataTag> tag;
  if (!source->GetMetadata(&metadata) || !metadata || FAILED(metadata->GetTag(&tag)) || !tag) return 0;
  for (size_t i = 0; i < 6; ++i) {
    const TagField& field = kTagFields[i];
    ComPtr<IMetadataFrameText> frame;
    if (FAILED(tag->FindFrame(field.frame, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame)
      continue;
    wchar_t text[128] = {};
    frame->GetText(text, static_cast<int>(field.kept + 1));
    if (field.frame == kFrameTrackNumber) {
      std::wstring number = text;
      number = number.substr(0, number.find(L'/'));
      values[i] = CleanTagValue(number, true);
    } else {
      values[i] = CleanTagValue(text, false);
    }
    ++found;
  }
  return found;
}

std::wstring MusicFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Music, 0, nullptr, &path)) && path) folder = path;
  CoTaskMemFree(path);
  return folder;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The folder without its first `skip` path elements, but never without its last one: an empty or
// separator-led expansion would make the rest of the name root-relative. A folder that is only a drive has
// no element below the drive to keep.
std::wstring FolderWithout(const std::wstring& folder, unsigned long skip) {
  if (skip == 0) return folder;
  std::vector<size_t> starts;
  for (size_t at = 0; at < folder.size();) {
    while (at < folder.size() && IsSeparator(folder[at])) ++at;
    if (at == folder.size()) break;
    starts.push_back(at);
    while (at < folder.size() && !IsSeparator(folder[at])) ++at;
  }
  if (starts.size() < 2) return {};
  return folder.substr(starts[std::min<size_t>(skip, starts.size() - 1)]);
}

std::wstring LocalTimeText(bool date) {
  wchar_t text[64] = {};
  if (date)
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"MM-dd-yyyy", text, 64);
  else
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"HH-mm", text, 64);
  return text;
}

std::wstring Expand(const std::wstring& scheme, const std::wstring& folder, const std::wstring& name,
                    const std::wstring (&tagValues)[6]) {
  std::wstring result;
  // Set while the result is blank although elements were expanded (a blank tag, a folder that is only a
  // drive): the separator after them would otherwise make the name root-relative.
  bool blankAfterElements = false;
  for (size_t at = 0; at < scheme.size(); ++at) {
    wchar_t c = scheme[at];
    if (c == L'\\') {
      if (!(result.size() > 1 && result.back() == L'\\') && !(blankAfterElements && IsBlank(result))) result += c;
      continue;
    }
    if (c != L'<') {
      result += c;
      continue;
    }
    size_t close = scheme.find(L'>', at + 1);
    if (close == std::wstring::npos)
      Refuse(FormatText(1024, L"Naming scheme element '%s' not closed with a '>' character.", scheme.c_str() + at + 1));
    std::wstring element = scheme.substr(at + 1, close - at - 1);
    std::wstring lowered = Lower(element);
    at = close;
    blankAfterElements = IsBlank(result);
    if (lowered == L"sourcedir" || lowered == L"mymusic") {
      if (!result.empty())
        Refuse(FormatText(1024, L"Naming scheme element '%s' can only be used in the beginning of the filename.",
                          element.c_str()));
      result += lowered == L"sourcedir" ? folder : MusicFolder();
    } else if (lowered == L"sourcename") {
      result += name;
    } else if (element.compare(0, 10, L"sourcepath") == 0 && (element.size() == 10 || element[10] == L':')) {
      unsigned long skip = 1;
      if (element.size() > 10) {
        std::wstring number = element.substr(11);
        if (number.empty() || number.size() > 9 || !std::all_of(number.begin(), number.end(), iswdigit))
          Refuse(FormatText(1024, L"Expected number after '%s:'", L"sourcepath"));
        skip = std::stoul(number);
      }
      result += FolderWithout(folder, skip);
    } else if (lowered == L"time" || lowered == L"date") {
      result += LocalTimeText(lowered == L"date");
    } else {
      auto field = std::find_if(std::begin(kTagFields), std::end(kTagFields),
                                [&](const TagField& f) { return lowered == f.element; });
      if (field == std::end(kTagFields) || element.compare(0, 10, L"sourcepath") == 0)
        Refuse(FormatText(1024, L"Unknown naming scheme element '%s'", element.c_str()));
      result += tagValues[field - std::begin(kTagFields)];
    }
  }
  return result;
}

// Refuses a name without a file name of its own (C:\In\song\ , D:\.. , C:): the extension alone would become
// the file's name, or the name would be a folder.
void RequireFileName(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/:");
  size_t start = separator == std::wstring::npos ? 0 : separator + 1;
  for (size_t i = start; i < path.size(); ++i)
    if (path[i] != L'.' && !iswspace(path[i])) return;
  Refuse(L"Empty output file name specifed");
}

std::wstring Suggest(const wchar_t* schemeArgument, int formatIndex, IConvertSource* source, int outSize) {
  std::wstring scheme = IS_INTRESOURCE(schemeArgument)
                            ? LoadEngineString(static_cast<UINT>(reinterpret_cast<UINT_PTR>(schemeArgument)))
                            : std::wstring(schemeArgument);
  const size_t limit = static_cast<size_t>(outSize) - 1;
  wchar_t buffer[MAX_PATH] = {};
  std::wstring name = source->GetFileTitle(buffer, MAX_PATH) ? buffer : L"";
  if (size_t dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
  buffer[0] = L'\0';
  std::wstring folder = source->GetFolder(buffer, MAX_PATH) ? buffer : L"";
  std::wstring tagValues[6];
  for (size_t i = 0; i < 6; ++i) tagValues[i] = kTagFields[i].fallback;

  if (scheme == L"CONOUT$") return scheme;
  int found = NamesTagElement(Lower(scheme)) ? ReadTagFields(source, tagValues) : 0;
  int useOriginalName = 1;
  ReadPInt(L"Settings", L"UseOriginalFileNameIfNoID3Tag", &useOriginalName);
  if (found == 0 && useOriginalName) {
    size_t slash = scheme.rfind(L'\\');
    size_t lastStart = slash == std::wstring::npos ? 0 : slash + 1;
    if (NamesTagElement(Lower(scheme.substr(lastStart)))) scheme = scheme.substr(0, lastStart) + L"<sourcename>";
  }

  std::wstring result = Trim(Expand(scheme, folder, name, tagValues));
  RequireFileName(result);
  if (result.size() > limit) Refuse(L"Filename too long (259 character limit)");

  std::wstring extension;
  if (formatIndex == -1) {
    size_t slash = result.find_last_of(L"\\/");
    size_t dot = result.rfind(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) result.erase(dot);
    RequireFileName(result);
    if (result.size() + 4 > limit) Refuse(L"Filename too long (259 character limit)");
    return result + L".m3u";
  }
  if (formatIndex == -2) return result;
  CONVFORMAT format;
  if (formatIndex < 0 || ConvGetFormatAt(&format, static_cast<UINT32>(formatIndex)) != S_OK)
    Refuse(L"Invalid output format");
  extension = format.extensions;
  if (result.size() >= extension.size() &&
      _wcsicmp(result.c_str() + result.size() - extension.size(), extension.c_str()) == 0)
    result.erase(result.size() - extension.size());
  RequireFileName(result);
  if (result.size() + extension.size() > limit) Refuse(L"Filename too long (259 character limit)");

  int rename = 0;
  ReadPInt(L"Settings", L"RenameOnCollision", &rename);
  std::wstring candidate = result + extension;
  for (int counter = 2; rename && PathExists(candidate); ++counter) {
    candidate = FormatText(2048, L"%s (%d)%s", result.c_str(), counter, extension.c_str());
    if (candidate.size() > limit)
      Refuse(FormatText(128, L"Filename too long (%d character limit)", static_cast<int>(limit)));
  }
  return candidate;
}
}  // namespace

TAVCORE_API BOOL WINAPI SuggestOutputFile(const wchar_t* scheme, int formatIndex, IConvertSource* source, wchar_t* out,
                                          int outSize) {
  if (!scheme || !source || !out || outSize <= 0) return FALSE;
  try {
    CopyTruncated(out, outSize, Suggest(scheme, formatIndex, source, outSize));
    return TRUE;
  } catch (const NamingError& error) {
    CopyTruncated(out, outSize, error.text);
  } catch (...) {
    CopyTruncated(out, outSize, L"Out of memory");
  }
  return FALSE;
}
