// Layout rules of the WAVE formats the engine reads and writes.
#include "WaveFormatRules.h"

#include <cstring>

#include "EngineResources.h"

namespace {
constexpr WORD kLargestPcmBlock = 32768;
constexpr DWORD kHighestRate = 1536000;
constexpr WORD kImaAdpcm = 0x0011;
constexpr WORD kMsAdpcm = 0x0002;
constexpr WORD kGsm610 = 0x0031;
constexpr WORD kALaw = 0x0006;
constexpr WORD kMuLaw = 0x0007;
constexpr DWORD kGsmBlock = 65;
constexpr DWORD kGsmSamples = 320;

WORD ExtraWord(const WAVEFORMATEX* format, size_t offset) {
  if (format->cbSize < offset + 2) return 0;
  WORD value;
  std::memcpy(&value, reinterpret_cast<const BYTE*>(format) + sizeof(WAVEFORMATEX) + offset, 2);
  return value;
}

// An IMA ADPCM block: a 4-byte header per channel, then 4-byte words of eight 4-bit samples per channel.
DWORD ImaSamplesPerBlock(const WAVEFORMATEX* format) {
  const DWORD channels = format->nChannels;
  if (format->wBitsPerSample != 4 || channels < 1 || channels > 2 || format->nBlockAlign < 4 * channels ||
      (format->nBlockAlign - 4 * channels) % (4 * channels) != 0)
    return 0;
  return (format->nBlockAlign - 4 * channels) * 8 / (4 * channels) + 1;
}

// A Microsoft ADPCM block: a 7-byte header per channel holding two samples, then 4-bit samples.
DWORD MsAdpcmSamplesPerBlock(const WAVEFORMATEX* format) {
  const DWORD channels = format->nChannels;
  if (format->wBitsPerSample != 4 || channels < 1 || channels > 2 || format->nBlockAlign < 7 * channels) return 0;
  return (format->nBlockAlign - 7 * channels) * 8 / (4 * channels) + 2;
}

bool Refuse(std::wstring& reason, std::wstring text) {
  reason = std::move(text);
  return false;
}
}  // namespace

DWORD SamplesPerBlock(const WAVEFORMATEX* format) {
  if (!format) return 0;
  switch (format->wFormatTag) {
    case kImaAdpcm:
      return ImaSamplesPerBlock(format);
    case kMsAdpcm:
      return MsAdpcmSamplesPerBlock(format);
    case kGsm610:
      return format->nChannels == 1 && format->nBlockAlign == kGsmBlock ? kGsmSamples : 0;
    case kALaw:
    case kMuLaw:
      return format->nChannels > 0 && format->nBlockAlign == format->nChannels ? 1 : 0;
    default:
      return 0;
  }
}

bool CheckWaveFormat(FormatBytes& record, std::wstring& reason) {
  auto* format = reinterpret_cast<WAVEFORMATEX*>(record.data());
  if (format->nChannels == 0) return Refuse(reason, L"The file names no channels");
  if (format->nSamplesPerSec == 0 || format->nSamplesPerSec > kHighestRate)
    return Refuse(reason, FormatText(128, L"Unusable sample rate: %lu Hz", format->nSamplesPerSec));
  if (format->nBlockAlign == 0) return Refuse(reason, L"The file's block size is 0");

  if (format->wFormatTag == WAVE_FORMAT_PCM) {
    // Samples are stored left-justified in whole bytes: 12 bits travel as 16, 20 as 24, 7 as 8.
    const unsigned width = (format->wBitsPerSample + 7u) / 8u;
    if (format->wBitsPerSample == 0 || width > 4)
      return Refuse(reason, FormatText(128, L"Unsupported PCM sample width: %u bits", format->wBitsPerSample));
    if (format->nBlockAlign != format->nChannels * width || format->nBlockAlign > kLargestPcmBlock)
      return Refuse(reason, FormatText(160, L"The block size of %u bytes does not match %u channels of %u bits",
                                       format->nBlockAlign, format->nChannels, format->wBitsPerSample));
    format->wBitsPerSample = static_cast<WORD>(width * 8);
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    return true;
  }

  if (format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
    if (format->wBitsPerSample != 32 && format->wBitsPerSample != 64)
      return Refuse(reason,
                    FormatText(128, L"Unsupported floating-point sample width: %u bits", format->wBitsPerSample));
    if (format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8u)
      return Refuse(reason, FormatText(160, L"The block size of %u bytes does not match %u channels of %u bits",
                                       format->nBlockAlign, format->nChannels, format->wBitsPerSample));
    format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
    return true;
  }

  if (format->nAvgBytesPerSec == 0) return Refuse(reason, L"The file's byte rate is 0");
  switch (format->wFormatTag) {
    case kImaAdpcm: {
      DWORD samples = ImaSamplesPerBlock(format);
      if (samples < 2 || (format->cbSize >= 2 && ExtraWord(format, 0) != samples))
        return Refuse(reason, FormatText(200, L"IMA ADPCM block of %u bytes does not fit %u channels of %u bits",
                                         format->nBlockAlign, format->nChannels, format->wBitsPerSample));
      break;
    }
    case kMsAdpcm: {
      DWORD samples = MsAdpcmSamplesPerBlock(format);
      WORD coefficients = ExtraWord(format, 2);
      if (samples < 2 || format->cbSize < 4 || ExtraWord(format, 0) != samples || coefficients < 7 ||
          coefficients > 256 || format->cbSize < 4u + 4u * coefficients)
        return Refuse(reason, FormatText(200, L"Microsoft ADPCM header is inconsistent (block %u bytes, %u samples)",
                                         format->nBlockAlign, ExtraWord(format, 0)));
      break;
    }
    case kGsm610:
      if (SamplesPerBlock(format) != kGsmSamples || (format->cbSize >= 2 && ExtraWord(format, 0) != kGsmSamples))
        return Refuse(reason, L"GSM 6.10 needs one channel in blocks of 65 bytes holding 320 samples");
      // The codec takes only the byte rate that follows from the sample rate; writers round it either way.
      format->nAvgBytesPerSec = format->nSamplesPerSec * kGsmBlock / kGsmSamples;
      break;
    case kALaw:
    case kMuLaw:
      if (format->wBitsPerSample != 8 || SamplesPerBlock(format) != 1)
        return Refuse(reason, L"A-law and mu-law need 8-bit samples, one byte per channel");
      format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
      break;
    default:
      break;
  }
  return true;
}
