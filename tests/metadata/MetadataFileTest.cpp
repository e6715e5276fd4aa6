// Tags in files through the engine's exports: MP3 round trips, foreign files, settings, FLAC comments, and
// files made or checked by Linux tag tools (the folder named by TAVREL_MEDIA).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "tavcore.h"

namespace {

std::wstring MediaFolder() {
  const wchar_t* folder = _wgetenv(L"TAVREL_MEDIA");
  return folder ? folder : L"";
}

std::wstring Media(const std::wstring& name) { return MediaFolder() + L"\\" + name; }

Ref<IMetadata> Open(const std::wstring& path) {
  Ref<IMetadata> metadata;
  EXPECT_EQ(S_OK, MetadataCreateFromFile(path.c_str(), &metadata.p));
  return metadata;
}

Ref<IMetadataTag> ReadTag(const std::wstring& path) {
  Ref<IMetadata> metadata = Open(path);
  Ref<IMetadataTag> tag;
  if (metadata.p) {
    EXPECT_EQ(S_OK, metadata->GetTag(&tag.p));
  }
  return tag;
}

// Text of the next frame of that number; "<none>" when the tag has none.
std::wstring Text(IMetadataTag* tag, UINT32 number) {
  Ref<IMetadataFrameText> frame;
  if (FAILED(tag->FindFrame(number, IID_IMetadataFrameText, frame.out()))) return L"<none>";
  std::vector<wchar_t> text(16384, L'\0');
  frame->GetText(text.data(), static_cast<int>(text.size()));
  return text.data();
}

void AddText(IMetadataTag* tag, UINT32 number, const std::wstring& text) {
  Ref<IMetadataFrameText> frame;
  ASSERT_EQ(S_OK, MetadataCreateFrame(number, IID_IMetadataFrameText, frame.out()));
  ASSERT_TRUE(frame->SetText(text.c_str()));
  frame->AttachTo(tag);
}

// Bytes that stand in for MPEG audio: their only job is to come through every write unchanged.
std::string AudioBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  bytes[0] = '\xFF';  // never an "ID3" start
  return bytes;
}

struct Values {
  std::wstring title, artist, album, comment;
};

Ref<IMetadataTag> NewTag(const Values& values) {
  Ref<IMetadataTag> tag;
  EXPECT_EQ(S_OK, MetadataCreateTag(&tag.p));
  AddText(tag.p, 47, values.title);
  AddText(tag.p, 61, values.artist);
  AddText(tag.p, 29, values.album);
  AddText(tag.p, 68, L"4");
  AddText(tag.p, 32, L"(17)");
  AddText(tag.p, 80, L"2001");
  Ref<IMetadataFrameComment> comment;
  EXPECT_EQ(S_OK, MetadataCreateFrame(4, IID_IMetadataFrameComment, comment.out()));
  comment->SetText(values.comment.c_str());
  comment->AttachTo(tag.p);
  return tag;
}

// The audio between the ID3v2 tag and the ID3v1 tag of a file.
std::string AudioOf(const std::string& file) {
  size_t start = 0;
  if (file.compare(0, 3, "ID3") == 0 && file.size() >= 10) {
    start = 10;
    for (int i = 6; i < 10; ++i) start += static_cast<size_t>(static_cast<unsigned char>(file[i])) << (7 * (9 - i));
  }
  size_t end = file.size();
  if (end >= start + 128 && file.compare(end - 128, 3, "TAG") == 0) end -= 128;
  return file.substr(start, end - start);
}

TEST(Mp3Files, RoundTripKeepsAudioAndTextUnderAnyFileName) {
  TempFolder folder;
  struct Case {
    const wchar_t* name;
    Values values;
  } cases[] = {
      {L"plain.mp3", {L"Title", L"Artist", L"Album", L"Comment"}},
      {L"\u041F\u0435\u0441\u043D\u044F \u66F2.mp3",
       {L"Gr\u00FC\u00DFe \u041C\u0438\u0440 \U0001F3B5", L"Bj\u00F6rk", L"\u6F22\u5B57", L"Caf\u00E9"}},
  };
  for (const Case& c : cases) {
    std::wstring path = folder / c.name;
    std::string audio = AudioBytes(20000, 7);
    ASSERT_TRUE(WriteFileBytes(path, audio));
    Ref<IMetadata> metadata = Open(path);
    Ref<IMetadataTag> tag = NewTag(c.values);
    ASSERT_EQ(S_OK, metadata->SetTag(tag.p)) << c.name;
    EXPECT_TRUE(audio == AudioOf(ReadFileBytes(path)));

    Ref<IMetadataTag> back = ReadTag(path);
    EXPECT_EQ(c.values.title, Text(back.p, 47));
    EXPECT_EQ(c.values.artist, Text(back.p, 61));
    EXPECT_EQ(c.values.album, Text(back.p, 29));
    EXPECT_EQ(c.values.comment, Text(back.p, 4));
    EXPECT_EQ(L"4", Text(back.p, 68));
    EXPECT_EQ(L"(17)", Text(back.p, 32));
    EXPECT_EQ(7u, back->GetFrameCount());  // the ID3v1 copy adds nothing the ID3v2 tag has

    // A tag that still fits its room is rewritten in place; one that outgrows it moves the audio, and so does
    // one that shrinks back.
    for (size_t length : {5u, 6000u, 3u}) {
      size_t sizeBefore = ReadFileBytes(path).size();
      back->RemoveFrames(47);
      AddText(back.p, 47, std::wstring(length, L'\u00E4'));
      ASSERT_EQ(S_OK, metadata->SetTag(back.p));
      EXPECT_TRUE(audio == AudioOf(ReadFileBytes(path))) << length;
      EXPECT_EQ(length == 5, ReadFileBytes(path).size() == sizeBefore) << length;
      EXPECT_EQ(std::wstring(length, L'\u00E4'), Text(ReadTag(path).p, 47));
    }
  }
}

TEST(Mp3Files, MissingReadOnlyAndForeignFiles) {
  TempFolder folder;
  std::wstring missing = folder / L"missing.mp3";
  Ref<IMetadataTag> empty = ReadTag(missing);
  ASSERT_NE(nullptr, empty.p);
  EXPECT_EQ(0u, empty->GetFrameCount());
  Ref<IMetadataTag> tag = NewTag({L"T", L"A", L"B", L"C"});
  EXPECT_EQ(E_FAIL, Open(missing)->SetTag(tag.p));
  EXPECT_FALSE(FileExists(missing));

  std::wstring locked = folder / L"locked.mp3";
  ASSERT_TRUE(WriteFileBytes(locked, AudioBytes(5000, 3)));
  std::string before = ReadFileBytes(locked);
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(E_FAIL, Open(locked)->SetTag(tag.p));
  EXPECT_TRUE(before == ReadFileBytes(locked));
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

  // A tag read from one file and set on another is written there only.
  std::wstring first = folder / L"first.mp3";
  std::wstring second = folder / L"second.mp3";
  ASSERT_TRUE(WriteFileBytes(first, AudioBytes(3000, 1)));
  ASSERT_TRUE(WriteFileBytes(second, AudioBytes(3000, 2)));
  ASSERT_EQ(S_OK, Open(first)->SetTag(tag.p));
  std::string firstBytes = ReadFileBytes(first);
  Ref<IMetadataTag> read = ReadTag(first);
  AddText(read.p, 62, L"Band");
  ASSERT_EQ(S_OK, Open(second)->SetTag(read.p));
  EXPECT_TRUE(firstBytes == ReadFileBytes(first));
  EXPECT_EQ(L"Band", Text(ReadTag(second).p, 62));
  EXPECT_EQ(L"T", Text(ReadTag(second).p, 47));

  Ref<IMetadataTag> none;
  EXPECT_EQ(E_INVALIDARG, Open(first)->SetTag(nullptr));
  EXPECT_EQ(E_INVALIDARG, Open(first)->GetTag(nullptr));
}

TEST(Mp3Files, BothTagsAreMergedAndId3v1OnlyIsASetting) {
  TempFolder folder;
  std::wstring path = folder / L"both.mp3";
  // An ID3v1 tag alone: title, artist, ID3v1.1 track 9, genre 20.
  std::string v1(128, '\0');
  v1.replace(0, 3, "TAG");
  v1.replace(3, 8, "V1 Title");
  v1.replace(33, 9, "V1 Artist");
  v1.replace(93, 4, "1987");
  v1[126] = 9;
  v1[127] = 20;
  std::string audio = AudioBytes(4000, 5);
  ASSERT_TRUE(WriteFileBytes(path, audio + v1));
  Ref<IMetadataTag> tag = ReadTag(path);
  EXPECT_EQ(L"V1 Title", Text(tag.p, 47));
  EXPECT_EQ(L"9", Text(tag.p, 68));
  EXPECT_EQ(L"(20)", Text(tag.p, 32));
  EXPECT_EQ(L"<none>", Text(tag.p, 29));

  // Written as ID3v2 + ID3v1; an ID3v2 title then wins over the ID3v1 one.
  tag->RemoveFrames(47);
  AddText(tag.p, 47, L"V2 T\u00EFtle");
  ASSERT_EQ(S_OK, Open(path)->SetTag(tag.p));
  std::string file = ReadFileBytes(path);
  ASSERT_EQ("ID3", file.substr(0, 3));
  std::string newV1 = file.substr(file.size() - 128);
  EXPECT_EQ(std::string("TAG") + "V2 T\xEFtle", newV1.substr(0, 11));
  EXPECT_EQ(20, newV1[127]);
  Ref<IMetadataTag> merged = ReadTag(path);
  EXPECT_EQ(L"V2 T\u00EFtle", Text(merged.p, 47));
  EXPECT_EQ(L"V1 Artist", Text(merged.p, 61));

  // With "MP3_Store_ID3v1" set only the ID3v1 tag is written; the ID3v2 tag stays as it is.
  ASSERT_TRUE(WritePInt(L"Settings", L"MP3_Store_ID3v1", 1));
  merged->RemoveFrames(47);
  AddText(merged.p, 47, L"Only V1");
  HRESULT result = Open(path)->SetTag(merged.p);
  WritePString(L"Settings", L"MP3_Store_ID3v1", nullptr);
  ASSERT_EQ(S_OK, result);
  std::string after = ReadFileBytes(path);
  EXPECT_TRUE(file.substr(0, file.size() - 128) == after.substr(0, after.size() - 128));
  EXPECT_EQ("TAGOnly V1", after.substr(after.size() - 128, 10));
}

TEST(Mp3Files, DamagedTagsGiveMissingFramesAtWorst) {
  TempFolder folder;
  auto header = [](unsigned char version, unsigned char flags, unsigned size) {
    std::string h = "ID3";
    h += static_cast<char>(version);
    h += '\0';
    h += static_cast<char>(flags);
    for (int shift = 21; shift >= 0; shift -= 7) h += static_cast<char>((size >> shift) & 0x7F);
    return h;
  };
  auto frame = [](const char* id, unsigned size, unsigned char flags2, const std::string& body) {
    std::string f = id;
    for (int shift = 24; shift >= 0; shift -= 8) f += static_cast<char>((size >> shift) & 0xFF);
    f += '\0';
    f += static_cast<char>(flags2);
    return f + body;
  };
  std::string title = frame("TIT2", 6, 0, std::string("\0Hello", 6));
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"header only", "ID3\x03"},
      {"size past the end", header(3, 0, 100000) + title},
      {"frame past the tag", header(3, 0, 20) + frame("TIT2", 5000, 0, std::string("\0Hello", 6))},
      {"compressed frame", header(3, 0, 30) + frame("TIT2", 20, 0x80, std::string(20, 'x'))},
      {"unsynchronised tag", header(3, 0x80, 16) + title},
      {"zero frame size", header(3, 0, 30) + frame("TIT2", 0, 0, std::string(20, '\0'))},
      {"version 2.4 footer flag", header(4, 0x10, 16) + title},
      {"version 255", header(255, 0, 16) + title},
      {"short ID3v1", "TAG"},
      {"truncated frame header", header(3, 0, 16) + std::string("TIT2\0", 5)},
  };
  for (const Case& c : cases) {
    std::wstring path = folder / L"bad.mp3";
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    Ref<IMetadataTag> tag = ReadTag(path);
    ASSERT_NE(nullptr, tag.p) << c.what;
    for (UINT32 i = 0; i < tag->GetFrameCount(); ++i) Text(tag.p, 47);
  }
  ASSERT_TRUE(WriteFileBytes(folder / L"ok.mp3", header(3, 0, 16) + title));
  EXPECT_EQ(L"Hello", Text(ReadTag(folder / L"ok.mp3").p, 47));
}

TEST(FlacFiles, CommentsFirstValueWinsAndReadOnly) {
  Ref<IMetadata> metadata = Open(Media(L"tagged.flac"));
  EXPECT_EQ(1u, metadata->GetCapabilities());
  Ref<IMetadataTag> tag;
  ASSERT_EQ(S_OK, metadata->GetTag(&tag.p));
  EXPECT_EQ(L"A", Text(tag.p, 47));
  EXPECT_EQ(L"Bj\u00F6rk \u041C\u0438\u0440", Text(tag.p, 61));
  EXPECT_EQ(L"5", Text(tag.p, 68));
  EXPECT_EQ(L"Jazz", Text(tag.p, 32));
  EXPECT_EQ(L"2004", Text(tag.p, 80));
  EXPECT_EQ(L"<none>", Text(tag.p, 4));
  EXPECT_EQ(5u, tag->GetFrameCount());
  EXPECT_EQ(E_NOTIMPL, metadata->SetTag(tag.p));

  // A damaged comment block, a truncated file and a missing file give (partly) empty tags.
  TempFolder folder;
  std::string file = ReadFileBytes(Media(L"tagged.flac"));
  size_t vendor = file.find("reference libFLAC");
  ASSERT_NE(std::string::npos, vendor);
  struct Case {
    const wchar_t* name;
    std::string bytes;
  } cases[] = {
      {L"huge-count.flac", file.substr(0, vendor + 30) + std::string("\xFF\xFF\xFF\x7F") + file.substr(vendor + 34)},
      {L"huge-vendor.flac", file.substr(0, vendor - 4) + std::string("\xFF\xFF\xFF\x0F") + file.substr(vendor)},
      {L"truncated.flac", file.substr(0, vendor + 40)},
      {L"not-flac.flac", std::string(200, 'x')},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(folder / c.name, c.bytes));
    Ref<IMetadataTag> damaged = ReadTag(folder / c.name);
    ASSERT_NE(nullptr, damaged.p) << c.name;
  }
  EXPECT_EQ(0u, ReadTag(folder / L"missing.flac")->GetFrameCount());
  std::wstring wideName = folder / L"\u041F\u0435\u0441\u043D\u044F \u66F2.flac";
  ASSERT_TRUE(WriteFileBytes(wideName, file));
  EXPECT_EQ(L"A", Text(ReadTag(wideName).p, 47));
}

TEST(Interop, ReadsTagsWrittenByMutagen) {
  // ID3v2.3 in UTF-16 beside an ID3v1 tag: the ID3v1 copy must not damage the wide text.
  Ref<IMetadataTag> tag = ReadTag(Media(L"mutagen23.mp3"));
  EXPECT_EQ(L"Gr\u00FC\u00DFe \u041C\u0438\u0440 \U0001F3B5", Text(tag.p, 47));
  EXPECT_EQ(L"Bj\u00F6rk", Text(tag.p, 61));
  EXPECT_EQ(L"Plain Album", Text(tag.p, 29));
  EXPECT_EQ(L"7/12", Text(tag.p, 68));
  EXPECT_EQ(L"1999", Text(tag.p, 80));
  EXPECT_EQ(L"Caf\u00E9 note", Text(tag.p, 4));
  Ref<IMetadataFrameUserText> user;
  ASSERT_EQ(S_OK, tag->FindFrame(79, IID_IMetadataFrameUserText, user.out()));
  wchar_t text[64] = {};
  user->GetDisplayText(text, 64);
  EXPECT_STREQ(L"\u00E9nergie (Mood)", text);

  // ID3v2.4 in UTF-8 from mid3v2.
  Ref<IMetadataTag> v24 = ReadTag(Media(L"mid3v2.mp3"));
  EXPECT_EQ(L"\u00DCn\u00EFc\u00F6d\u00E9 \u6F22\u5B57", Text(v24.p, 47));
  EXPECT_EQ(L"\u00C4rtist", Text(v24.p, 61));
  EXPECT_EQ(L"3", Text(v24.p, 68));
}

// Writes the files that check-written.sh reads with mutagen and ffprobe.
TEST(Interop, WritesTagsForLinuxTools) {
  std::string plain = ReadFileBytes(Media(L"plain.mp3"));
  ASSERT_FALSE(plain.empty());
  for (const wchar_t* name : {L"ours.mp3", L"\u043D\u0430\u0448 \u66F2.mp3"}) {
    std::wstring path = Media(name);
    ASSERT_TRUE(WriteFileBytes(path, plain));
    Ref<IMetadataTag> tag =
        NewTag({L"Gr\u00FC\u00DFe \u041C\u0438\u0440 \U0001F3B5", L"Plain Artist", L"\u6F22\u5B57", L"Caf\u00E9"});
    Ref<IMetadataFrameUserText> user;
    ASSERT_EQ(S_OK, MetadataCreateFrame(79, IID_IMetadataFrameUserText, user.out()));
    user->SetDescription(L"Key");
    user->SetText(L"\u00C9t\u00E9");
    user->AttachTo(tag.p);
    ASSERT_EQ(S_OK, Open(path)->SetTag(tag.p));
  }
  // Re-tagging a file the tool tagged keeps the tool's frames readable.
  std::wstring retagged = Media(L"retagged.mp3");
  ASSERT_TRUE(WriteFileBytes(retagged, ReadFileBytes(Media(L"mutagen23.mp3"))));
  Ref<IMetadataTag> tag = ReadTag(retagged);
  AddText(tag.p, 62, L"Added Band");
  ASSERT_EQ(S_OK, Open(retagged)->SetTag(tag.p));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  InitAC(L"TAVTEST", nullptr);
  return RUN_ALL_TESTS();
}
