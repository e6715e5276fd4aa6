// Enumeration and naming of the Audio Compression Manager's codecs and formats.
#include "AcmCatalog.h"

#include <msacm.h>

#include <algorithm>

namespace {
// Big enough for any format record a driver reports.
constexpr DWORD kFormatEnumBufferSize = 32768;

BOOL CALLBACK CollectCodec(HACMDRIVERID, LPACMFORMATTAGDETAILSW details, DWORD_PTR instance, DWORD) {
  auto* codecs = reinterpret_cast<std::vector<AcmCodec>*>(instance);
  bool known = std::any_of(codecs->begin(), codecs->end(),
                           [&](const AcmCodec& codec) { return codec.tag == details->dwFormatTag; });
  if (!known) codecs->push_back({details->dwFormatTag, details->szFormatTag});
  return TRUE;
}

BOOL CALLBACK CollectFormat(HACMDRIVERID, LPACMFORMATDETAILSW details, DWORD_PTR instance, DWORD) {
  auto* formats = reinterpret_cast<std::vector<AcmFormat>*>(instance);
  formats->push_back({details->szFormat, CopyFormat(details->pwfx)});
  return TRUE;
}
}  // namespace

std::unique_lock<std::recursive_mutex> LockAcm() {
  static std::recursive_mutex lock;
  return std::unique_lock<std::recursive_mutex>(lock);
}

FormatBytes CopyFormat(const WAVEFORMATEX* format) {
  if (!format) return {};
  size_t extra = format->wFormatTag == WAVE_FORMAT_PCM ? 0 : format->cbSize;
  FormatBytes bytes(sizeof(WAVEFORMATEX) + extra);
  std::copy_n(reinterpret_cast<const BYTE*>(format), bytes.size(), bytes.data());
  if (format->wFormatTag == WAVE_FORMAT_PCM) reinterpret_cast<WAVEFORMATEX*>(bytes.data())->cbSize = 0;
  return bytes;
}

std::vector<AcmCodec> AcmCodecs() {
  auto acm = LockAcm();
  std::vector<AcmCodec> codecs;
  ACMFORMATTAGDETAILSW details = {};
  details.cbStruct = sizeof(details);
  acmFormatTagEnumW(nullptr, &details, CollectCodec, reinterpret_cast<DWORD_PTR>(&codecs), 0);
  return codecs;
}

std::vector<AcmFormat> AcmFormats(DWORD tag) {
  auto acm = LockAcm();
  std::vector<AcmFormat> formats;
  std::vector<BYTE> buffer(kFormatEnumBufferSize, 0);
  auto* format = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
  format->wFormatTag = static_cast<WORD>(tag);
  ACMFORMATDETAILSW details = {};
  details.cbStruct = sizeof(details);
  details.dwFormatTag = tag;
  details.pwfx = format;
  details.cbwfx = kFormatEnumBufferSize;
  acmFormatEnumW(nullptr, &details, CollectFormat, reinterpret_cast<DWORD_PTR>(&formats), ACM_FORMATENUMF_WFORMATTAG);
  return formats;
}

std::wstring AcmCodecName(DWORD tag) {
  auto acm = LockAcm();
  ACMFORMATTAGDETAILSW details = {};
  details.cbStruct = sizeof(details);
  details.dwFormatTag = tag;
  if (acmFormatTagDetailsW(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR) return {};
  return details.szFormatTag;
}

std::wstring AcmFormatDescription(const WAVEFORMATEX* format) {
  auto acm = LockAcm();
  if (!format) return {};
  FormatBytes copy = CopyFormat(format);
  ACMFORMATDETAILSW details = {};
  details.cbStruct = sizeof(details);
  details.dwFormatTag = format->wFormatTag;
  details.pwfx = reinterpret_cast<WAVEFORMATEX*>(copy.data());
  details.cbwfx = static_cast<DWORD>(copy.size());
  if (acmFormatDetailsW(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) != MMSYSERR_NOERROR) return {};
  return details.szFormat;
}

DWORD AcmMaxFormatSize() {
  auto acm = LockAcm();
  DWORD size = 0;
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != MMSYSERR_NOERROR) size = 0;
  return std::max<DWORD>(size, sizeof(WAVEFORMATEX));
}

bool AcmSuggestFormat(const WAVEFORMATEX* source, DWORD tag, FormatBytes& suggested, MMRESULT* error) {
  auto acm = LockAcm();
  FormatBytes buffer(AcmMaxFormatSize(), 0);
  auto* format = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
  format->wFormatTag = static_cast<WORD>(tag);
  MMRESULT result = acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(source), format,
                                     static_cast<DWORD>(buffer.size()), ACM_FORMATSUGGESTF_WFORMATTAG);
  if (error) *error = result;
  if (result != MMSYSERR_NOERROR) return false;
  suggested = CopyFormat(format);
  return true;
}
