// What the platform's Audio Compression Manager offers: codecs (format tags), their formats, and the
// names and descriptions it gives them.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <mutex>
#include <string>
#include <vector>

// Opening and closing ACM streams and asking the ACM about its drivers load and unload codec drivers, which
// is not safe from two threads at once (two conversions in parallel could deadlock in the driver loading):
// every such call is made under this lock. Conversions on open streams run without it.
std::unique_lock<std::recursive_mutex> LockAcm();

// A WAVEFORMATEX with its extra bytes, held by value.
using FormatBytes = std::vector<BYTE>;

inline const WAVEFORMATEX* AsFormat(const FormatBytes& bytes) {
  return bytes.empty() ? nullptr : reinterpret_cast<const WAVEFORMATEX*>(bytes.data());
}
// A copy of a format record with its extra bytes (cbSize + 18 bytes; 16-byte PCM records grow to 18).
FormatBytes CopyFormat(const WAVEFORMATEX* format);

struct AcmCodec {
  DWORD tag;
  std::wstring name;
};
struct AcmFormat {
  std::wstring description;
  FormatBytes format;
};

std::vector<AcmCodec> AcmCodecs();
std::vector<AcmFormat> AcmFormats(DWORD tag);
// The ACM's name of a codec; empty when no driver handles the tag.
std::wstring AcmCodecName(DWORD tag);
// The ACM's description of one exact format ("8000 Hz; 4 bits; Mono"); empty when it has none.
std::wstring AcmFormatDescription(const WAVEFORMATEX* format);
DWORD AcmMaxFormatSize();
// Lets the ACM choose a format of `tag` for `source`; the ACM result in *error on failure.
bool AcmSuggestFormat(const WAVEFORMATEX* source, DWORD tag, FormatBytes& suggested, MMRESULT* error);
