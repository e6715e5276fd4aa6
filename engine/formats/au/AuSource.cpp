// The AU/SND reader: a 24-byte big-endian header, then the samples from the data offset on.
#include "AuSource.h"

#include <algorithm>
#include <cstring>

#include "PcmFormat.h"
#include "UniqueHandles.h"

namespace {

enum Encoding : UINT32 {
  kMuLaw = 1,
  kLinear8 = 2,
  kLinear16 = 3,
  kLinear24 = 4,
  kLinear32 = 5,
  kFloat = 6,
  kDouble = 7,
  kALaw = 27
};
constexpr UINT32 kUnknownSize = 0xFFFFFFFF;
constexpr UINT32 kReadFrames = 16384;

UINT32 BigEndian32(const unsigned char* bytes) {
  return static_cast<UINT32>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

// Bytes per sample in the file, 0 for an encoding the reader does not decode.
UINT32 SampleBytes(UINT32 encoding) {
  switch (encoding) {
    case kMuLaw:
    case kALaw:
    case kLinear8:
      return 1;
    case kLinear16:
      return 2;
    case kLinear24:
      return 3;
    case kLinear32:
    case kFloat:
      return 4;
    case kDouble:
      return 8;
    default:
      return 0;
  }
}

// G.711 expansions to 16-bit linear.
int MuLawTo16(unsigned char code) {
  code = static_cast<unsigned char>(~code);
  const int exponent = (code >> 4) & 7;
  const int magnitude = (((code & 0x0F) << 3) + 0x84) << exponent;
  return code & 0x80 ? 0x84 - magnitude : magnitude - 0x84;
}

int ALawTo16(unsigned char code) {
  code ^= 0x55;
  const int exponent = (code >> 4) & 7;
  int magnitude = (code & 0x0F) << 4;
  magnitude = exponent == 0 ? magnitude + 8 : (magnitude + 0x108) << (exponent - 1);
  return code & 0x80 ? magnitude : -magnitude;
}

bool ReadHeader(CFileStream& file, UINT32 fields[6]) {
  unsigned char header[24];
  if (!file.ReadExactly(header, sizeof(header)) || std::memcmp(header, ".snd", 4) != 0) return false;
  for (int i = 0; i < 6; ++i) fields[i] = BigEndian32(header + 4 * i);
  return true;
}

}  // namespace

CAuSource::~CAuSource() { Close(); }

bool CAuSource::CanRead(const wchar_t* path) {
  CFileStream probe;
  UINT32 fields[6];
  return probe.OpenForReading(path) && ReadHeader(probe, fields) && SampleBytes(fields[3]) != 0;
}

bool CAuSource::GetClassId(GUID* out) {
  if (!out) return false;
  *out = CLSID_CDirectShowConvSource;  // the class that serves the AU/SND row
  return true;
}

bool CAuSource::Open() {
  if (!CDefConvertSource::Open()) return false;
  if (!file.OpenForReading(fileName)) return Fail(L"Source file cannot be opened");
  UINT32 fields[6];
  if (!ReadHeader(file, fields)) return Fail(L"File format is invalid or corrupted");
  const UINT32 offset = fields[1], size = fields[2], channels = fields[5], rate = fields[4];
  encoding = fields[3];
  const UINT32 sampleBytes = SampleBytes(encoding);
  if (!sampleBytes) return Fail(L"Encoding of the AU file is not supported");
  if (channels == 0 || channels > 32 || rate == 0 || rate > 1536000 || offset < 24)
    return Fail(L"File format is invalid or corrupted");
  frameBytes = sampleBytes * channels;
  const unsigned long long fileSize = file.Size();
  if (offset >= fileSize) return Fail(L"Length of audio data is zero");
  // A size of "unknown", or one past the end of the file, runs to the end of the file.
  unsigned long long bytes = fileSize - offset;
  if (size != kUnknownSize) bytes = std::min<unsigned long long>(bytes, size);
  dataOffset = offset;
  dataFrames = bytes / frameBytes;
  WORD bits = 16;
  if (encoding == kLinear8) bits = 8;
  if (encoding == kLinear24 || encoding == kFloat || encoding == kDouble) bits = 24;
  if (encoding == kLinear32) bits = 32;
  format = MakePcmFormat(bits, static_cast<WORD>(channels), rate);
  dataFrames = std::min<unsigned long long>(dataFrames, 0xFFFFFFFFull / format.nBlockAlign);
  dataSize = static_cast<UINT32>(dataFrames * format.nBlockAlign);
  if (dataSize == 0) return Fail(L"Length of audio data is zero");
  return true;
}

void CAuSource::ConvertFrames(const unsigned char* in, size_t frames, std::vector<unsigned char>& out) const {
  const size_t samples = frames * format.nChannels;
  out.resize(frames * format.nBlockAlign);
  unsigned char* to = out.data();
  auto put = [&to](int value, int bytes) {
    for (int i = 0; i < bytes; ++i) *to++ = static_cast<unsigned char>(value >> (8 * i));
  };
  for (size_t i = 0; i < samples; ++i) {
    switch (encoding) {
      case kMuLaw:
        put(MuLawTo16(in[i]), 2);
        break;
      case kALaw:
        put(ALawTo16(in[i]), 2);
        break;
      case kLinear8:
        *to++ = static_cast<unsigned char>(in[i] ^ 0x80);  // signed in the file, unsigned in 8-bit PCM
        break;
      case kLinear16:
        put(in[2 * i] << 8 | in[2 * i + 1], 2);
        break;
      case kLinear24:
        put(in[3 * i] << 16 | in[3 * i + 1] << 8 | in[3 * i + 2], 3);
        break;
      case kLinear32:
        put(static_cast<int>(BigEndian32(in + 4 * i)), 4);
        break;
      case kFloat: {
        const UINT32 bitsOf = BigEndian32(in + 4 * i);
        float value;
        std::memcpy(&value, &bitsOf, 4);
        put(FloatTo24(value), 3);
        break;
      }
      default: {  // kDouble
        unsigned long long bitsOf =
            static_cast<unsigned long long>(BigEndian32(in + 8 * i)) << 32 | BigEndian32(in + 8 * i + 4);
        double value;
        std::memcpy(&value, &bitsOf, 8);
        put(FloatTo24(value), 3);
        break;
      }
    }
  }
}

bool CAuSource::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!sink) return false;
  unsigned long long first = 0;
  if (startTimeMs > 0)
    first = std::min<unsigned long long>(static_cast<unsigned long long>(startTimeMs) * format.nSamplesPerSec / 1000,
                                         dataFrames);
  if (!file.Seek(dataOffset + first * frameBytes)) return false;
  std::vector<unsigned char> in(static_cast<size_t>(kReadFrames) * frameBytes), out;
  for (unsigned long long left = dataFrames - first; left > 0;) {
    const size_t want = static_cast<size_t>(std::min<unsigned long long>(left, kReadFrames));
    const long long read = file.Read(in.data(), static_cast<UINT32>(want * frameBytes));
    const size_t frames = read > 0 ? static_cast<size_t>(read) / frameBytes : 0;
    if (frames == 0) break;  // the file ended early: everything it held was delivered
    left -= frames;
    ConvertFrames(in.data(), frames, out);
    if (!sink->OnData(out.data(), static_cast<UINT32>(out.size()))) return false;
  }
  return true;
}

bool CAuSource::Close() {
  CDefConvertSource::Close();
  file.Close();
  return true;
}
