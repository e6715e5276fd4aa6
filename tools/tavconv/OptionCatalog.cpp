// The options of the writers, as this program explains them; Wave's codecs and formats come from the ACM.
#include "OptionCatalog.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>

#include "tavcore.h"

namespace {

std::wstring RowName(int formatIndex) {
  CONVFORMAT row;
  return ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) == S_OK ? row.name : L"";
}

const GUID* DestinationClass(int formatIndex) {
  CONVFORMAT row;
  return ConvGetFormatAt(&row, static_cast<UINT32>(formatIndex)) == S_OK ? row.destinationClass : nullptr;
}

struct TagEnumeration {
  std::vector<std::pair<DWORD, std::wstring>> tags;
};

BOOL CALLBACK OnFormatTag(HACMDRIVERID, LPACMFORMATTAGDETAILSW details, DWORD_PTR context, DWORD) {
  auto* found = reinterpret_cast<TagEnumeration*>(context);
  for (const auto& tag : found->tags)
    if (tag.first == details->dwFormatTag) return TRUE;
  found->tags.emplace_back(details->dwFormatTag, details->szFormatTag);
  return TRUE;
}

// The format tags the installed ACM drivers handle, each once, with their names.
std::vector<std::pair<DWORD, std::wstring>> AcmCodecNames() {
  TagEnumeration found;
  ACMFORMATTAGDETAILSW details = {};
  details.cbStruct = sizeof(details);
  acmFormatTagEnumW(nullptr, &details, &OnFormatTag, reinterpret_cast<DWORD_PTR>(&found), 0);
  return found.tags;
}

BOOL CALLBACK OnFormat(HACMDRIVERID, LPACMFORMATDETAILSW details, DWORD_PTR context, DWORD) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(context);
  for (const std::wstring& name : *names)
    if (name == details->szFormat) return TRUE;
  names->push_back(details->szFormat);
  return TRUE;
}

std::vector<std::wstring> AcmFormatNames(DWORD tag) {
  std::vector<std::wstring> names;
  DWORD largest = 0;
  acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
  std::vector<BYTE> record(std::max<DWORD>(largest, sizeof(WAVEFORMATEX)), 0);
  auto* format = reinterpret_cast<WAVEFORMATEX*>(record.data());
  format->wFormatTag = static_cast<WORD>(tag);
  ACMFORMATDETAILSW details = {};
  details.cbStruct = sizeof(details);
  details.dwFormatTag = tag;
  details.pwfx = format;
  details.cbwfx = static_cast<DWORD>(record.size());
  acmFormatEnumW(nullptr, &details, &OnFormat, reinterpret_cast<DWORD_PTR>(&names), ACM_FORMATENUMF_WFORMATTAG);
  return names;
}

std::wstring Joined(const std::vector<std::pair<DWORD, std::wstring>>& items) {
  std::wstring text;
  for (const auto& item : items) text += (text.empty() ? L"\"" : L", \"") + item.second + L"\"";
  return text;
}

}  // namespace

std::vector<EncoderOption> OptionsOf(int formatIndex) {
  const GUID* destination = DestinationClass(formatIndex);
  if (!destination) return {};
  if (IsEqualGUID(*destination, CLSID_CWavConvDest))
    return {{L"wave-codec", L"an ACM codec of this computer: " + Joined(AcmCodecNames())},
            {L"wave-format", L"a format of the chosen codec, as the codec names it (see: tavconv options Wave CODEC)"}};
  if (IsEqualGUID(*destination, CLSID_CMP3ConvDest))
    return {{L"vbr-mode", L"CBR, VBR, FASTVBR or ABR"},
            {L"bitrate", L"8 to 320 (kbps); the bit rate, or the average one in ABR mode"},
            {L"max-bitrate", L"8 to 320 (kbps), for VBR and ABR"},
            {L"vbr-quality", L"10 to 100 in steps of 10"},
            {L"sample-rate", L"0 (keep), 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 or 48000 (Hz)"},
            {L"joint-stereo", L"on or off"},
            {L"iso", L"on or off"},
            {L"crc", L"on or off"},
            {L"original", L"on or off"},
            {L"copyright", L"on or off"},
            {L"private", L"on or off"}};
  if (IsEqualGUID(*destination, CLSID_CWMAConvDest))
    return {{L"wma-codec", L"a Windows Media audio codec of this computer, by its name"},
            {L"wma-format", L"a format of the chosen codec, by the description the codec gives it"}};
  if (IsEqualGUID(*destination, CLSID_COggConvDest))
    return {{L"quality-based", L"yes or no"},
            {L"quality", L"0 to 100, with quality-based=yes"},
            {L"avg-bitrate", L"48 to 320 (kbps), with quality-based=no"},
            {L"min-bitrate", L"0 (no limit) or 48 to 320 (kbps)"},
            {L"max-bitrate", L"0 (no limit) or 48 to 320 (kbps)"}};
  return {};
}

std::wstring DescribeOptions(int formatIndex, const std::wstring& codec) {
  const std::wstring name = RowName(formatIndex);
  if (!codec.empty()) {
    for (const auto& [tag, codecName] : AcmCodecNames()) {
      if (_wcsicmp(codecName.c_str(), codec.c_str()) != 0) continue;
      std::wstring text = L"Formats of the codec \"" + codecName + L"\" (--option wave-format=...):\n";
      for (const std::wstring& format : AcmFormatNames(tag)) text += L"  " + format + L"\n";
      return text;
    }
    return L"No ACM codec \"" + codec + L"\" on this computer.\n";
  }
  const std::vector<EncoderOption> options = OptionsOf(formatIndex);
  if (options.empty()) return name + L" has no encoder options.\n";
  std::wstring text = L"Options of " + name + L" (--option NAME=VALUE):\n";
  for (const EncoderOption& option : options) text += L"  " + option.name + L": " + option.values + L"\n";
  return text;
}

std::wstring OptionErrorText(int formatIndex, const std::wstring& name, const std::wstring& value,
                             const std::wstring& engineText) {
  const std::wstring format = RowName(formatIndex);
  for (const EncoderOption& option : OptionsOf(formatIndex)) {
    if (_wcsicmp(option.name.c_str(), name.c_str()) != 0) continue;
    return format + L" option " + name + L"=\"" + value + L"\": " + engineText + L" (accepted: " + option.values + L")";
  }
  std::wstring known;
  for (const EncoderOption& option : OptionsOf(formatIndex)) known += (known.empty() ? L"" : L", ") + option.name;
  std::wstring text = format + L" has no option \"" + name + L"\"";
  if (!engineText.empty()) text += L": " + engineText;
  return text + (known.empty() ? L"; it takes no options"
                               : L" (its options: " + known + L"; see: tavconv options " + format + L")");
}
