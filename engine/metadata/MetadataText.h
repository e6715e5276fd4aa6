// Text in and out of id3lib fields (the encoding rule, the library's byte order), frame rendering, buffers.
#pragma once

#include <id3/tag.h>
#include <id3/writer.h>
#include <windows.h>

#include <string>

// Collects everything written into a growing string, so a rendering can never overrun a buffer.
class StringWriter : public ID3_Writer {
 public:
  void close() override {}
  void flush() override {}
  pos_type getCur() override { return static_cast<pos_type>(bytes.size()); }
  size_type writeChars(const char_type buf[], size_type len) override {
    bytes.append(reinterpret_cast<const char*>(buf), len);
    return len;
  }
  size_type writeChars(const char buf[], size_type len) override {
    bytes.append(buf, len);
    return len;
  }

  std::string bytes;
};

std::wstring WidenUtf8(const std::string& text);
std::string NarrowUtf8(const std::wstring& text);
std::wstring WidenAnsi(const std::string& text);
std::string NarrowAnsi(const std::wstring& text);

// Stores value in the frame's field: UTF-16 when it holds a character outside 7-bit ASCII and the field takes
// an encoding, else ISO-8859-1 in the system code page. false when the frame has no such field.
bool SetFieldText(ID3_Frame& frame, ID3_FieldID field, const std::wstring& value);
// The field's text whatever its encoding; false (out untouched) when the frame has no such field.
bool GetFieldText(const ID3_Frame& frame, ID3_FieldID field, std::wstring* out);
// Field text, empty when missing.
std::wstring FieldText(const ID3_Frame& frame, ID3_FieldID field);

// The frame as written into an ID3v2.3 tag; empty UTF-16 strings carry their byte-order mark.
std::string RenderFrame(const ID3_Frame& frame);
// The whole ID3v2.3 tag (no unsynchronisation, padded); empty when the tag has no frames.
std::string RenderId3v2(ID3_Tag& tag);

// Copies text into a caller's buffer of size characters, cut to size-1 and terminated; nothing when there is
// no room at all.
void CopyToBuffer(wchar_t* buffer, int size, const std::wstring& text);

// Calls visit(ID3_Frame&) for every frame of the tag in order.
template <class Visit>
void ForEachFrame(ID3_Tag& tag, Visit&& visit) {
  ID3_Tag::Iterator* iterator = tag.CreateIterator();
  if (!iterator) return;
  struct Deleter {
    ID3_Tag::Iterator* iterator;
    ~Deleter() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
      delete iterator;  // the library hands iterators out with new and has no destroy function
#pragma GCC diagnostic pop
    }
  } deleter{iterator};
  while (ID3_Frame* frame = iterator->GetNext()) visit(*frame);
}
