// Text in and out of id3lib fields. The library keeps UTF-16 text big-endian in memory and writes it
// little-endian with a BOM; its own encoding conversion is ASCII-only here (no iconv), so it never converts.
#include "MetadataText.h"

#include <vector>

namespace {

std::wstring Widen(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
  return result;
}

std::string Narrow(UINT codePage, const std::wstring& text) {
  if (text.empty()) return {};
  int length =
      WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr, nullptr);
  return result;
}

unicode_t SwapBytes(unicode_t unit) { return static_cast<unicode_t>((unit >> 8) | (unit << 8)); }

bool IsAscii(const std::wstring& value) {
  for (wchar_t ch : value)
    if (ch >= 0x80) return false;
  return true;
}

bool IsDoubleByte(ID3_TextEnc encoding) { return encoding == ID3TE_UTF16 || encoding == ID3TE_UTF16BE; }

}  // namespace

std::wstring WidenUtf8(const std::string& text) { return Widen(CP_UTF8, text); }
std::string NarrowUtf8(const std::wstring& text) { return Narrow(CP_UTF8, text); }
std::wstring WidenAnsi(const std::string& text) { return Widen(CP_ACP, text); }
std::string NarrowAnsi(const std::wstring& text) { return Narrow(CP_ACP, text); }

bool SetFieldText(ID3_Frame& frame, ID3_FieldID fieldId, const std::wstring& value) {
  ID3_Field* field = frame.GetField(fieldId);
  if (!field) return false;
  ID3_Field* frameEncoding = frame.GetField(ID3FN_TEXTENC);
  if (field->IsEncodable() && !IsAscii(value)) {
    std::vector<unicode_t> units;
    units.reserve(value.size() + 1);
    for (wchar_t ch : value) units.push_back(SwapBytes(static_cast<unicode_t>(ch)));
    units.push_back(0);
    field->SetEncoding(ID3TE_UTF16);
    // The library renders every text field of a frame in the frame's encoding.
    if (frameEncoding) frameEncoding->Set(static_cast<uint32>(ID3TE_UTF16));
    field->Set(units.data());
    return true;
  }
  field->SetEncoding(ID3TE_ISO8859_1);
  field->Set(NarrowAnsi(value).c_str());
  // A frame whose text is all single-byte again goes back to ISO-8859-1, so nothing is rendered as UTF-16
  // that holds no wide text.
  if (frameEncoding && frameEncoding->Get() != ID3TE_ISO8859_1) {
    bool anyWide = false;
    ID3_Frame::Iterator* iterator = frame.CreateIterator();
    while (ID3_Field* other = iterator ? iterator->GetNext() : nullptr)
      if (other->IsEncodable() && IsDoubleByte(other->GetEncoding())) anyWide = true;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
    delete iterator;
#pragma GCC diagnostic pop
    if (!anyWide) frameEncoding->Set(static_cast<uint32>(ID3TE_ISO8859_1));
  }
  return true;
}

bool GetFieldText(const ID3_Frame& frame, ID3_FieldID fieldId, std::wstring* out) {
  const ID3_Field* field = frame.GetField(fieldId);
  if (!field) return false;
  std::wstring text;
  ID3_TextEnc encoding = field->GetEncoding();
  if (IsDoubleByte(encoding)) {
    // Size() counts bytes here, and the raw text is not reliably terminated.
    const unicode_t* raw = field->GetRawUnicodeText();
    size_t count = raw ? field->Size() / 2 : 0;
    for (size_t i = 0; i < count; ++i) {
      wchar_t ch = static_cast<wchar_t>(SwapBytes(raw[i]));
      if (ch == 0) break;
      if (ch == 0xFEFF && text.empty()) continue;
      text.push_back(ch);
    }
  } else {
    const char* raw = field->GetRawText();
    std::string bytes = raw ? std::string(raw, field->Size()) : std::string();
    size_t end = bytes.find('\0');
    if (end != std::string::npos) bytes.resize(end);
    text = encoding == ID3TE_UTF8 ? WidenUtf8(bytes) : WidenAnsi(bytes);
  }
  *out = std::move(text);
  return true;
}

std::wstring FieldText(const ID3_Frame& frame, ID3_FieldID field) {
  std::wstring text;
  GetFieldText(frame, field, &text);
  return text;
}

namespace {

constexpr size_t kFrameHeaderSize = 10;

// End of the UTF-16 string starting at `at` (the position of its terminator, or the end of the body).
size_t Utf16End(const std::string& body, size_t at) {
  for (size_t i = at; i + 1 < body.size(); i += 2)
    if (body[i] == '\0' && body[i + 1] == '\0') return i;
  return body.size();
}

// Gives the UTF-16 string at `at` a byte-order mark when it has none because it is empty (the library writes
// empty strings bare, which strict readers reject); returns the position after the string's terminator.
size_t MarkUtf16String(std::string& body, size_t at, bool last) {
  if (at > body.size()) return at;
  bool empty = at == body.size() || (at + 1 < body.size() && body[at] == '\0' && body[at + 1] == '\0');
  if (empty) body.insert(at, "\xFF\xFE", 2);
  size_t end = Utf16End(body, at + 2);
  if (!last && end == body.size()) body.append(2, '\0');
  return end + 2;
}

void MarkEmptyUtf16Strings(const std::string& id, std::string& body) {
  if (body.empty() || body[0] != '\x01') return;
  if (id == "TXXX") {
    MarkUtf16String(body, MarkUtf16String(body, 1, false), true);
  } else if (id[0] == 'T') {
    MarkUtf16String(body, 1, true);
  } else if ((id == "COMM" || id == "USLT") && body.size() >= 4) {
    MarkUtf16String(body, MarkUtf16String(body, 4, false), true);
  } else if (id == "WXXX") {
    MarkUtf16String(body, 1, false);
  } else if (id == "APIC") {
    size_t mime = body.find('\0', 1);
    if (mime != std::string::npos && mime + 2 <= body.size()) MarkUtf16String(body, mime + 2, false);
  }
}

}  // namespace

std::string RenderFrame(const ID3_Frame& frame) {
  StringWriter writer;
  frame.Render(writer);
  std::string& bytes = writer.bytes;
  // Compressed, encrypted or grouped frames are passed on as the library made them.
  if (bytes.size() < kFrameHeaderSize || (static_cast<unsigned char>(bytes.at(9)) & 0xE0)) return bytes;
  std::string body = bytes.substr(kFrameHeaderSize);
  MarkEmptyUtf16Strings(bytes.substr(0, 4), body);
  size_t size = body.size();
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((size >> (24 - 8 * i)) & 0xFF);
  return bytes.substr(0, kFrameHeaderSize) + body;
}

std::string RenderId3v2(ID3_Tag& tag) {
  std::string frames;
  // Frames the library does not know are kept as it read them: rewriting a tag loses nothing it parsed.
  ForEachFrame(tag, [&](ID3_Frame& frame) {
    std::string bytes = RenderFrame(frame);
    bool named = bytes.size() >= kFrameHeaderSize;
    for (size_t i = 0; named && i < 4; ++i)
      named = (bytes[i] >= 'A' && bytes[i] <= 'Z') || (bytes[i] >= '0' && bytes[i] <= '9');
    if (named) frames += bytes;
  });
  if (frames.empty()) return {};
  // Room for later edits in place: the whole tag fills a multiple of 2048 bytes.
  size_t total = (10 + frames.size() + 1024 + 2047) / 2048 * 2048;
  size_t size = total - 10;
  std::string tagBytes = "ID3";
  tagBytes += '\x03';
  tagBytes += std::string(2, '\0');
  for (int shift = 21; shift >= 0; shift -= 7) tagBytes += static_cast<char>((size >> shift) & 0x7F);
  tagBytes += frames;
  tagBytes.resize(total, '\0');
  return tagBytes;
}

void CopyToBuffer(wchar_t* buffer, int size, const std::wstring& text) {
  if (!buffer || size <= 0) return;
  size_t count = text.size() < static_cast<size_t>(size) ? text.size() : static_cast<size_t>(size) - 1;
  text.copy(buffer, count);
  buffer[count] = L'\0';
}
