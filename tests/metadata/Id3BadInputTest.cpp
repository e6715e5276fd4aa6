// Damaged ID3v2 tags in memory: a bounded mutation run over valid ID3v2.3 and ID3v2.4 tags (headers first).
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "Id3File.h"
#include "Id3v24Conversion.h"
#include "MetadataText.h"

namespace {

std::string Syncsafe(unsigned value) {
  std::string out;
  for (int shift = 21; shift >= 0; shift -= 7) out += static_cast<char>((value >> shift) & 0x7F);
  return out;
}

void AddText(ID3_Tag& tag, ID3_FrameID id, const std::wstring& text) {
  auto* frame = new ID3_Frame(id);
  SetFieldText(*frame, ID3FN_TEXT, text);
  tag.AttachFrame(frame);
}

std::string ValidV23() {
  ID3_Tag tag;
  AddText(tag, ID3FID_TITLE, L"Gr\u00FC\u00DFe");
  AddText(tag, ID3FID_LEADARTIST, L"Artist");
  auto* comment = new ID3_Frame(ID3FID_COMMENT);
  SetFieldText(*comment, ID3FN_TEXT, L"caf\u00E9");
  SetFieldText(*comment, ID3FN_LANGUAGE, L"eng");
  tag.AttachFrame(comment);
  auto* user = new ID3_Frame(ID3FID_USERTEXT);
  SetFieldText(*user, ID3FN_DESCRIPTION, L"k");
  SetFieldText(*user, ID3FN_TEXT, L"\u6F22");
  tag.AttachFrame(user);
  auto* picture = new ID3_Frame(ID3FID_PICTURE);
  SetFieldText(*picture, ID3FN_MIMETYPE, L"image/png");
  const uchar data[8] = {0x89, 'P', 'N', 'G', 0, 0xFF, 0, 1};
  picture->GetField(ID3FN_DATA)->Set(data, sizeof data);
  tag.AttachFrame(picture);
  std::string bytes = RenderId3v2(tag);
  return bytes;
}

// An ID3v2.4 tag with UTF-8 text, a UTF-16BE frame, a data length indicator, per-frame unsynchronisation and a
// compressed frame.
std::string ValidV24() {
  std::string frames;
  auto frame = [&](const char* id, unsigned char format, const std::string& body) {
    frames += id + Syncsafe(static_cast<unsigned>(body.size())) + '\0' + static_cast<char>(format) + body;
  };
  frame("TIT2", 0, std::string("\x03\xC3\x9Cml\xC3\xA4ut\0Second", 16));
  frame("TPE1", 0, std::string("\x02\x00\x41\x04\x1C", 5));
  frame("TDRC", 0,
        std::string("\x03"
                    "2004-05-06",
                    11));
  frame("TALB", 0x03, Syncsafe(4) + std::string("\x00\xFF\x00\x41\x42", 5));
  std::string plain(
      "\x00"
      "Compressed album text",
      22);
  std::string packed(compressBound(static_cast<uLong>(plain.size())), '\0');
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(plain.data()),
           static_cast<uLong>(plain.size()));
  packed.resize(packedSize);
  frame("TCOM", 0x09, Syncsafe(static_cast<unsigned>(plain.size())) + packed);
  frame("COMM", 0,
        std::string("\x03"
                    "eng"
                    "\0"
                    "note",
                    9));
  return std::string("ID3\x04\x00\x00", 6) + Syncsafe(static_cast<unsigned>(frames.size() + 16)) + frames +
         std::string(16, '\0');
}

std::wstring TitleOf(ID3_Tag& tag) {
  std::wstring title = L"<none>";
  ForEachFrame(tag, [&](ID3_Frame& frame) {
    if (frame.GetID() == ID3FID_TITLE) GetFieldText(frame, ID3FN_TEXT, &title);
  });
  return title;
}

TEST(Id3BadInput, ValidInputsParse) {
  ID3_Tag v23;
  ASSERT_TRUE(ParseId3v2(ValidV23(), v23));
  EXPECT_EQ(5u, v23.NumFrames());
  EXPECT_EQ(L"Gr\u00FC\u00DFe", TitleOf(v23));

  ID3_Tag v24;
  ASSERT_TRUE(ParseId3v2(ValidV24(), v24));
  EXPECT_EQ(L"\u00DCml\u00E4ut/Second", TitleOf(v24));
  std::wstring artist, year, album, composer, comment;
  ForEachFrame(v24, [&](ID3_Frame& frame) {
    if (frame.GetID() == ID3FID_LEADARTIST) GetFieldText(frame, ID3FN_TEXT, &artist);
    if (frame.GetID() == ID3FID_YEAR) GetFieldText(frame, ID3FN_TEXT, &year);
    if (frame.GetID() == ID3FID_ALBUM) GetFieldText(frame, ID3FN_TEXT, &album);
    if (frame.GetID() == ID3FID_COMPOSER) GetFieldText(frame, ID3FN_TEXT, &composer);
    if (frame.GetID() == ID3FID_COMMENT) GetFieldText(frame, ID3FN_TEXT, &comment);
  });
  EXPECT_EQ(L"A\u041C", artist);
  EXPECT_EQ(L"2004", year);
  EXPECT_EQ(std::wstring(L"\u00FF") + L"AB", album);
  EXPECT_EQ(L"Compressed album text", composer);
  EXPECT_EQ(L"note", comment);
}

TEST(Id3BadInput, MutatedTagsNeverCrash) {
  const std::string bases[] = {ValidV23(), ValidV24()};
  std::mt19937 random(20240601);
  int parsed = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = bases[round % 2];
    int edits = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < edits; ++i) {
      // Mostly the tag and frame headers, sometimes anywhere.
      size_t span = (random() % 4 == 0) ? bytes.size() : std::min<size_t>(bytes.size(), 48);
      bytes[random() % span] = static_cast<char>(random());
    }
    if (random() % 8 == 0) bytes.resize(random() % bytes.size());
    ID3_Tag tag;
    if (ParseId3v2(bytes, tag)) ++parsed;
    ForEachFrame(tag, [](ID3_Frame& frame) {
      std::wstring text;
      for (ID3_FieldID field : {ID3FN_TEXT, ID3FN_DESCRIPTION, ID3FN_URL, ID3FN_LANGUAGE, ID3FN_MIMETYPE})
        GetFieldText(frame, field, &text);
      RenderFrame(frame);
    });
    RenderId3v2(tag);
    ConvertId3v24To23(bytes);
  }
  EXPECT_GT(parsed, 0);
}

}  // namespace
