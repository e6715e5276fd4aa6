// WAV LIST/INFO tags: texts in either encoding, damaged and mutated files, offsets past 4 GB, and rewriting in
// place that never moves or changes the audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "CMetadataTag.h"
#include "CWavMetadata.h"
#include "ComPtr.h"
#include "InfoList.h"
#include "MetadataText.h"
#include "RiffLayout.h"
#include "TagBuilding.h"
#include "WavFiles.h"

namespace {

std::string Info(const std::vector<std::pair<const char*, std::string>>& entries) {
  std::string payload = "INFO";
  for (const auto& [id, text] : entries) payload += Chunk(id, text);
  return Chunk("LIST", payload);
}
std::string Fmt() { return Chunk("fmt ", FormatChunkPayload(PcmFormat(16, 1, 8000))); }
std::string Audio(size_t bytes) { return PcmSignal(PcmFormat(8, 1, 8000), bytes); }

ComPtr<IMetadata> Metadata(const std::wstring& path) {
  IMetadata* metadata = nullptr;
  EXPECT_EQ(S_OK, CreateWavMetadata(path.c_str(), &metadata));
  return ComPtr<IMetadata>::Adopt(metadata);
}

// "TIT2=text;" for every frame of the file's tag, in order.
std::wstring TagText(const std::wstring& path) {
  ComPtr<IMetadataTag> tag;
  EXPECT_EQ(S_OK, Metadata(path)->GetTag(&tag));
  std::wstring text;
  ForEachFrame(CMetadataTag::From(tag.Get())->Id3(), [&](ID3_Frame& frame) {
    text += WidenAnsi(frame.GetTextID()) + L"=" + FieldText(frame, ID3FN_TEXT) + L";";
  });
  return text;
}

// Writes a tag of (identifier, text) frames; a comment may carry a description after a '|'.
HRESULT WriteTag(const std::wstring& path, const std::vector<std::pair<const char*, std::wstring>>& frames) {
  auto tag = ComPtr<CMetadataTag>::Adopt(new CMetadataTag());
  for (const auto& [id, text] : frames) {
    ID3_Frame* frame = NewTextFrame(id, text.substr(0, text.find(L'|')));
    if (text.find(L'|') != std::wstring::npos)
      SetFieldText(*frame, ID3FN_DESCRIPTION, text.substr(text.find(L'|') + 1));
    tag->Id3().AttachFrame(frame);
  }
  return Metadata(path)->SetTag(tag.Get());
}

// A complete RIFF/WAVE file whose RIFF size counts every byte.
bool Whole(const std::string& bytes) {
  MemoryRiffBytes source(bytes);
  RiffLayout layout;
  UINT32 riffSize = 0;
  if (!layout.Walk(source) || !layout.complete) return false;
  std::memcpy(&riffSize, bytes.data() + 4, 4);
  return riffSize + 8ull == bytes.size();
}

// "INAM=text;" for the entries of the file's last INFO list.
std::string LastInfo(const std::string& bytes) {
  MemoryRiffBytes source(bytes);
  RiffLayout layout;
  layout.Walk(source);
  std::string text;
  std::vector<const RiffChunk*> lists = layout.InfoLists(source);
  if (!lists.empty())
    for (const InfoEntry& entry : ReadInfoEntries(source, *lists.back())) text += entry.id + "=" + entry.text + ";";
  return text;
}

class WavInfo : public testing::Test {
 protected:
  std::wstring Put(const std::string& bytes) {
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  TempFolder temp;
  std::wstring path = temp / L"t.wav";
};

}  // namespace

TEST_F(WavInfo, TextsDatesAndWhichIdWins) {
  std::pair<std::string, std::wstring> cases[] = {
      {Info({{"INAM", "Gr\u00FC\u00DFe \U0001F3B5"}, {"IART", "A"}}), L"TIT2=Gr\u00FC\u00DFe \U0001F3B5;TPE1=A;"},
      {Info({{"INAM", "Caf\xE9  "}}), L"TIT2=Caf\u00E9;"},  // not UTF-8: the code page
      {Info({{"INAM", std::string("Ti\0\0\0", 5)}}), L"TIT2=Ti;"},
      {Info({{"ICRD", "2004-05-01"}}), L"TYER=2004;TDAT=0105;"},
      {Info({{"ICRD", "May 1999"}, {"ICRD", "2001"}}), L"TYER=1999;"},
      {Info({{"IPRT", "3/12"}, {"ITRK", "9"}, {"IENG", "Eng"}, {"ITCH", "Tech"}, {"ICMT", "c"}, {"ISBJ", "s"}}),
       L"TRCK=3/12;TENC=Eng;COMM=c;"},
  };
  for (const auto& [info, expected] : cases)
    EXPECT_EQ(expected, TagText(Put(RiffWave(Fmt() + info + Chunk("data", Audio(10))))));
}

TEST_F(WavInfo, DamagedFilesGiveWhatTheyHoldAndAreRewrittenOnlyWhenWhole) {
  const std::string info = Info({{"INAM", "Title"}}), body = Fmt() + Chunk("data", Audio(100));
  const std::string tagged = RiffWave(body + info);
  std::string manyChunks;
  for (int i = 0; i < 70000; ++i) manyChunks += Chunk("JUNK", "");
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring tag;
    HRESULT rewrite;
  } cases[] = {
      {"empty file", "", L"", E_FAIL},
      {"not WAVE", tagged.substr(0, 8) + "AVI " + tagged.substr(12), L"", E_FAIL},
      {"no data chunk", RiffWave(Fmt() + info), L"TIT2=Title;", E_FAIL},
      {"data size unknown (a pipe)", RiffWave(Fmt() + info + "data\xFF\xFF\xFF\xFF" + Audio(64), 0xFFFFFFFF),
       L"TIT2=Title;", E_FAIL},
      {"RIFF size 0, chunks whole", RiffWave(body + info, 0), L"TIT2=Title;", S_OK},
      {"RIFF size ends inside the list", RiffWave(body + info, 4 + body.size() + 10), L"", E_FAIL},
      {"list cut by the end of the file", tagged.substr(0, tagged.size() - 3), L"TIT2=Tit;", E_FAIL},
      {"entry larger than its list", RiffWave(Chunk("LIST", std::string("INFOINAM\x64\0\0\0Title\0", 18)) + body),
       L"TIT2=Title;", S_OK},
      {"odd entry without its pad",
       RiffWave(Chunk("LIST", "INFO" + Chunk("INAM", "abc", false) + Chunk("IART", "d")) + body), L"TIT2=abc;", S_OK},
      {"absurd chunk count", RiffWave(Fmt() + manyChunks + info + Chunk("data", "")), L"", E_FAIL},
      {"another program's tag after the RIFF chunk", tagged + "TAG" + std::string(125, ' '), L"TIT2=Title;", E_FAIL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.tag, TagText(Put(c.bytes))) << c.what;
    EXPECT_EQ(c.rewrite, WriteTag(path, {{"TIT2", L"New"}})) << c.what;
    std::string after = ReadFileBytes(path);
    if (c.rewrite != S_OK) {
      EXPECT_EQ(c.bytes, after) << c.what << ": a refused file is left as it was";
    } else {
      EXPECT_TRUE(Whole(after)) << c.what;
      EXPECT_EQ("INAM=New;", LastInfo(after)) << c.what;
    }
  }

  DeleteFileW(path.c_str());
  EXPECT_EQ(L"", TagText(path)) << "a missing file has an empty tag";
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), WriteTag(path, {{"TIT2", L"New"}}));
  EXPECT_FALSE(FileExists(path));
  Put(tagged);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), WriteTag(path, {{"TIT2", L"New"}}));
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(tagged, ReadFileBytes(path));
}

TEST_F(WavInfo, RewritesInPlaceAndNeverTouchesTheAudio) {
  // The layout other tools write: the INFO list before the data, an odd data chunk ending the file unpadded.
  const std::string audio = Audio(999);
  const std::string original =
      RiffWave(Fmt() + Info({{"INAM", "Old"}, {"ISBJ", "Subject"}, {"IENG", "Eng"}}) + Chunk("data", audio, false));
  const size_t dataAt = original.find("data");
  Put(original);
  ASSERT_EQ(S_OK, WriteTag(path, {{"TIT2", L"Gr\u00FC\u00DFe"},
                                  {"COMM", L"loudness|iTunNORM"},
                                  {"COMM", L"plain"},
                                  {"TCON", L"(17)"},
                                  {"TYER", L"2004"},
                                  {"TDAT", L"0105"}}));
  std::string first = ReadFileBytes(path);
  ParsedWave wave = ParseWave(first);
  ASSERT_TRUE(wave.valid);
  EXPECT_EQ((std::vector<std::string>{"fmt ", "JUNK", "data", "LIST"}), wave.chunkIds);
  EXPECT_EQ(original.substr(dataAt, 8 + audio.size()), first.substr(dataAt, 8 + audio.size())) << "audio moved";
  EXPECT_EQ(std::string(dataAt - 44, '\0'), first.substr(44, dataAt - 44)) << "the old list's text is gone";
  EXPECT_EQ('\0', first[dataAt + 8 + audio.size()]) << "the data chunk got its pad byte";
  EXPECT_EQ("INAM=Gr\u00FC\u00DFe;ICMT=plain;ICRD=2004-05-01;IGNR=Rock;ISBJ=Subject;IENG=Eng;", LastInfo(first));

  ASSERT_EQ(S_OK, WriteTag(path, {{"TIT2", L"2nd"}}));
  std::string second = ReadFileBytes(path);
  EXPECT_EQ(wave.chunkIds, ParseWave(second).chunkIds) << "replaced, not added";
  EXPECT_EQ("INAM=2nd;ISBJ=Subject;IENG=Eng;", LastInfo(second));
  const size_t listAt = first.rfind("LIST");
  EXPECT_EQ(first.substr(0, listAt), second.substr(0, listAt).replace(4, 4, first, 4, 4));

  // Without INFO lists of its own, a file tagged and untagged again is the file it was.
  const std::string plain = RiffWave(Fmt() + Chunk("data", audio + "x"));
  Put(plain);
  ASSERT_EQ(S_OK, WriteTag(path, {{"TPE1", L"A"}}));
  EXPECT_EQ("IART=A;", LastInfo(ReadFileBytes(path)));
  ASSERT_EQ(S_OK, WriteTag(path, {}));
  EXPECT_EQ(plain, ReadFileBytes(path));
}

namespace {
// Zeros up to `size`, with the bytes of a file's start and of one piece further on.
class SparseBytes final : public RiffBytes {
 public:
  SparseBytes(UINT64 size, std::string start, UINT64 pieceAt = 0, std::string piece = "")
      : size(size), start(std::move(start)), pieceAt(pieceAt), piece(std::move(piece)) {}
  UINT64 Size() const override { return size; }
  bool ReadAt(UINT64 offset, void* buffer, size_t count) override {
    if (offset > size || size - offset < count) return false;
    auto* out = static_cast<char*>(buffer);
    for (size_t i = 0; i < count; ++i) {
      UINT64 at = offset + i;
      out[i] = at < start.size() ? start[at] : at >= pieceAt && at - pieceAt < piece.size() ? piece[at - pieceAt] : 0;
    }
    return true;
  }

 private:
  UINT64 size;
  std::string start;
  UINT64 pieceAt;
  std::string piece;
};
}  // namespace

TEST_F(WavInfo, OffsetsPastFourGigabytes) {
  // RIFF size 0: the chunks run to the end of the file, here an INFO list behind 4 GB of audio.
  const std::string riff("RIFF\0\0\0\0WAVE", 12), list = Info({{"INAM", "Far"}});
  const UINT64 listAt = 44ull + 0xFFFFFFF0;
  SparseBytes huge(listAt + list.size(), riff + Fmt() + "data\xF0\xFF\xFF\xFF", listAt, list);
  RiffLayout layout;
  ASSERT_TRUE(layout.Walk(huge));
  ASSERT_EQ(1u, layout.InfoLists(huge).size());
  EXPECT_EQ(listAt, layout.InfoLists(huge)[0]->offset);
  EXPECT_EQ("Far", ReadInfoEntries(huge, *layout.InfoLists(huge)[0]).at(0).text);
  EXPECT_FALSE(PlanInfoWrite(huge, layout, 20).possible) << "the result passes 4 GB";

  SparseBytes large(44ull + 0xFFFFFE00, riff + Fmt() + std::string("data\0\xFE\xFF\xFF", 8));
  ASSERT_TRUE(layout.Walk(large));
  InfoWritePlan plan = PlanInfoWrite(large, layout, 0x1D4);
  EXPECT_TRUE(plan.possible) << "exactly 4 GB";
  EXPECT_EQ(44ull + 0xFFFFFE00, plan.writeAt);
  EXPECT_FALSE(PlanInfoWrite(large, layout, 0x1D5).possible);
}

TEST_F(WavInfo, MutatedFilesNeverCrashAndRewritesStayOffTheAudio) {
  const std::string base = RiffWave(Fmt() + Info({{"INAM", "Title"}, {"IART", "Artist"}, {"ISBJ", "s"}}) +
                                    Chunk("data", Audio(41)) + Info({{"ICMT", "Comment"}}));
  std::mt19937 random(20240607);
  int rewritten = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = base;
    for (int change = random() % 3; change >= 0 && !bytes.empty(); --change) {
      size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes.replace(at & ~size_t{3}, 4, random() % 2 ? "\xFF\xFF\xFF\xFF" : std::string(4, '\0'));
          break;
        case 2:
          bytes.resize(at);
          break;
        default:
          bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
      }
    }
    MemoryRiffBytes source(bytes);
    RiffLayout layout;
    if (!layout.Walk(source)) continue;
    std::vector<const RiffChunk*> lists = layout.InfoLists(source);
    for (const RiffChunk* list : lists) ReadInfoEntries(source, *list);
    InfoWritePlan plan = PlanInfoWrite(source, layout, 64);
    for (const RiffChunk& chunk : layout.chunks) {
      if (!plan.possible || std::find(lists.begin(), lists.end(), &chunk) != lists.end()) continue;
      EXPECT_LE(chunk.PayloadOffset() + chunk.size, plan.padAt ? plan.padAt : plan.writeAt) << "round " << round;
    }
    // Every fifth through the file: rewritten whole, or refused and left alone.
    if (round % 5 != 0) continue;
    Put(bytes);
    HRESULT result = WriteTag(path, {{"TIT2", L"New"}});
    std::string after = ReadFileBytes(path);
    EXPECT_EQ(plan.possible, result == S_OK) << "round " << round;
    if (result != S_OK) {
      EXPECT_EQ(bytes, after) << "round " << round;
      continue;
    }
    ++rewritten;
    auto data = std::find_if(layout.chunks.begin(), layout.chunks.end(), [](auto& c) { return c.Is("data"); });
    size_t dataAt = static_cast<size_t>(data->offset), dataLength = 8 + data->size;
    EXPECT_TRUE(Whole(after)) << "round " << round;
    EXPECT_EQ(bytes.substr(dataAt, dataLength), after.substr(dataAt, dataLength)) << "round " << round;
    EXPECT_EQ(L"TIT2=New;", TagText(path).substr(0, 9)) << "round " << round;
  }
  EXPECT_GT(rewritten, 50) << "the run reaches the writer";
}
