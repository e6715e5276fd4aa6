// Windows Media attributes as frames and back, against the metadata editor double.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CMetadataFrame.h"
#include "CMetadataTag.h"
#include "FakeMetadataEditor.h"
#include "MetadataText.h"
#include "WMEditor.h"
#include "tavcore.h"

namespace {

const std::wstring kFile = L"C:\\media\\song.wma";

class WindowsMedia : public testing::Test {
 protected:
  void SetUp() override {
    FakeMediaFiles::Reset();
    SetMetadataEditorFactory(CreateFakeMetadataEditor);
  }
  void TearDown() override { SetMetadataEditorFactory(nullptr); }

  IMetadata* Metadata() {
    IMetadata* metadata = nullptr;
    EXPECT_EQ(S_OK, MetadataCreateFromFile(kFile.c_str(), &metadata));
    return metadata;
  }

  // The frames of the file's tag as "TIT2=text" (URLs for URL frames), in tag order.
  std::vector<std::string> ReadFrames(HRESULT expected = S_OK) {
    IMetadata* metadata = Metadata();
    IMetadataTag* tag = reinterpret_cast<IMetadataTag*>(0x1);
    EXPECT_EQ(expected, metadata->GetTag(&tag));
    metadata->Release();
    std::vector<std::string> frames;
    if (FAILED(expected)) {
      EXPECT_EQ(nullptr, tag);
      return frames;
    }
    ForEachFrame(CMetadataTag::From(tag)->Id3(), [&](ID3_Frame& frame) {
      std::wstring text;
      if (!GetFieldText(frame, ID3FN_TEXT, &text)) GetFieldText(frame, ID3FN_URL, &text);
      frames.push_back(std::string(frame.GetTextID()) + "=" + NarrowUtf8(text));
    });
    tag->Release();
    return frames;
  }

  static ID3_Frame* Add(IMetadataTag* tag, ID3_FrameID id, ID3_FieldID field, const std::wstring& text) {
    auto* frame = new ID3_Frame(id);
    SetFieldText(*frame, field, text);
    CMetadataTag::From(tag)->Id3().AttachFrame(frame);
    return frame;
  }

  static const FakeAttribute* Find(const std::wstring& name) {
    for (const FakeAttribute& attribute : FakeMediaFiles::files[kFile])
      if (attribute.name == name) return &attribute;
    return nullptr;
  }

  static std::wstring StringOf(const FakeAttribute* attribute) {
    if (!attribute || attribute->type != WMT_TYPE_STRING) return L"<none>";
    return std::wstring(reinterpret_cast<const wchar_t*>(attribute->value.data()));
  }
};

using Frames = std::vector<std::string>;

TEST_F(WindowsMedia, AttributesBecomeFrames) {
  FakeMediaFiles::files[kFile] = {
      StringAttribute(L"Title", L"Gr\u00FC\u00DFe"),
      StringAttribute(L"wm/albumtitle", L"Album"),  // names are matched without regard to case
      StringAttribute(L"Author", L""),              // empty strings give no frame
      DwordAttribute(L"Copyright", 5),              // unexpected type: ignored
      StringAttribute(L"Description", L"first comment"),
      StringAttribute(L"WM/Comments", L"second comment"),
      StringAttribute(L"WM/Mood", L"calm"),
      StringAttribute(L"WM/AuthorURL", L"http://example.org/"),
      QwordAttribute(L"Duration", 2150000000ULL),
      QwordAttribute(L"FileSize", 123456789012ULL),
      StringAttribute(L"id3/TCOM", L"Composer"),
      StringAttribute(L"ID3/ZZZZ", L"unknown"),
      StringAttribute(L"Custom", L"ignored"),
  };
  EXPECT_EQ((Frames{"TIT2=Grüße", "TALB=Album", "COMM=first comment", "WOAR=http://example.org/", "TLEN=215000",
                    "TSIZ=123456789012", "TCOM=Composer"}),
            ReadFrames());
  EXPECT_EQ(L"Open " + kFile, FakeMediaFiles::log.front());
  EXPECT_EQ(L"Close", FakeMediaFiles::log.back());
}

TEST_F(WindowsMedia, TrackNumbers) {
  struct Case {
    FakeAttribute attribute;
    Frames frames;
  } cases[] = {
      {DwordAttribute(L"WM/Track", 0), {"TRCK=1"}},
      {StringAttribute(L"WM/Track", L"6"), {"TRCK=7"}},
      {StringAttribute(L"WM/TrackNumber", L"7"), {"TRCK=7"}},
      {DwordAttribute(L"WM/TrackNumber", 99), {"TRCK=99"}},
      {DwordAttribute(L"WM/TrackNumber", 100), {}},
      {DwordAttribute(L"WM/TrackNumber", 0), {}},
      {DwordAttribute(L"wm/track", 0), {}},  // the +1 belongs to the exact spelling only
      {QwordAttribute(L"WM/TrackNumber", 5), {}},
  };
  for (const Case& c : cases) {
    FakeMediaFiles::files[kFile] = {c.attribute};
    EXPECT_EQ(c.frames, ReadFrames()) << NarrowUtf8(c.attribute.name);
  }
}

TEST_F(WindowsMedia, WholeId3TagAndRenderedFrames) {
  ID3_Tag source;
  auto* title = new ID3_Frame(ID3FID_TITLE);
  SetFieldText(*title, ID3FN_TEXT, L"From ID3");
  source.AttachFrame(title);
  auto* priv = new ID3_Frame(ID3FID_PRIVATE);
  priv->GetField(ID3FN_OWNER)->Set("owner");
  const uchar data[3] = {1, 2, 3};
  priv->GetField(ID3FN_DATA)->Set(data, 3);
  FakeMediaFiles::files[kFile] = {
      StringAttribute(L"Author", L"dropped by the ID3 tag"),
      BinaryAttribute(L"ID3", RenderId3v2(source)),
      StringAttribute(L"Title", L"title comes later"),  // a title exists already
      StringAttribute(L"Copyright", L"2001"),
      BinaryAttribute(L"ID3/PRIV", RenderFrame(*priv)),
      BinaryAttribute(L"ID3/TENC", std::string("garbage")),
  };
  EXPECT_EQ((Frames{"TIT2=From ID3", "TCOP=2001", "PRIV="}), ReadFrames());
  delete priv;
}

TEST_F(WindowsMedia, EditorFailuresAreReported) {
  ReadFrames(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  FakeMediaFiles::files[kFile] = {StringAttribute(L"Title", L"kept")};
  FakeMediaFiles::openFailure = static_cast<HRESULT>(0xC00D0BBE);
  ReadFrames(static_cast<HRESULT>(0xC00D0BBE));
  IMetadataTag* tag = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateTag(&tag));
  IMetadata* metadata = Metadata();
  EXPECT_EQ(static_cast<HRESULT>(0xC00D0BBE), metadata->SetTag(tag));
  FakeMediaFiles::openFailure = S_OK;
  Add(tag, ID3FID_TITLE, ID3FN_TEXT, L"not saved");
  FakeMediaFiles::flushFailure = static_cast<HRESULT>(0xC00D0BBF);
  EXPECT_EQ(static_cast<HRESULT>(0xC00D0BBF), metadata->SetTag(tag));
  EXPECT_EQ(L"kept", StringOf(Find(L"Title")));
  EXPECT_EQ(3u, metadata->GetCapabilities());
  metadata->Release();
  tag->Release();
}

TEST_F(WindowsMedia, WritingReplacesOwnedAttributes) {
  FakeMediaFiles::files[kFile] = {
      StringAttribute(L"ID3/TCOM", L"old composer"),
      StringAttribute(L"ID3/TXXX", L"old"),
      StringAttribute(L"Title", L"old title"),
      StringAttribute(L"WM/Mood", L"calm"),
      QwordAttribute(L"Duration", 10000000ULL),
      DwordAttribute(L"WM/Track", 3),
      StringAttribute(L"WM/TrackNumber", L"4"),
      StringAttribute(L"Custom", L"kept"),
      BinaryAttribute(L"ID3", "old tag"),
      StringAttribute(L"WM/Comments", L"old comment"),
  };
  IMetadataTag* tag = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateTag(&tag));
  Add(tag, ID3FID_TITLE, ID3FN_TEXT, L"\u00C9t\u00E9");
  Add(tag, ID3FID_COMMENT, ID3FN_TEXT, L"first");
  Add(tag, ID3FID_COMMENT, ID3FN_TEXT, L"second");
  Add(tag, ID3FID_TRACKNUM, ID3FN_TEXT, L"9");
  Add(tag, ID3FID_WWWAUDIOFILE, ID3FN_URL, L"http://example.org/a");
  Add(tag, ID3FID_SONGLEN, ID3FN_TEXT, L"215000");
  Add(tag, ID3FID_WWWCOMMERCIALINFO, ID3FN_URL, L"http://shop/");
  ID3_Frame* user = Add(tag, ID3FID_USERTEXT, ID3FN_TEXT, L"value");
  SetFieldText(*user, ID3FN_DESCRIPTION, L"key");
  auto* priv = new ID3_Frame(ID3FID_PRIVATE);
  priv->GetField(ID3FN_OWNER)->Set("me");
  CMetadataTag::From(tag)->Id3().AttachFrame(priv);
  std::string privBytes = RenderFrame(*priv);
  std::string userBytes = RenderFrame(*user);

  IMetadata* metadata = Metadata();
  EXPECT_EQ(S_OK, metadata->SetTag(tag));

  // The walk deletes at the same index while owned attributes follow each other.
  std::vector<std::wstring> deletions;
  for (const std::wstring& line : FakeMediaFiles::log)
    if (line.compare(0, 7, L"Delete ") == 0) deletions.push_back(line);
  EXPECT_EQ((std::vector<std::wstring>{L"Delete 0 ID3/TCOM", L"Delete 0 ID3/TXXX", L"Delete 0 Title",
                                       L"Delete 3 WM/TrackNumber", L"Delete 4 ID3", L"Delete 4 WM/Comments"}),
            deletions);

  EXPECT_EQ(L"\u00C9t\u00E9", StringOf(Find(L"Title")));
  EXPECT_EQ(L"second", StringOf(Find(L"Description")));  // every comment is written there; the last wins
  EXPECT_EQ(L"9", StringOf(Find(L"WM/TrackNumber")));
  EXPECT_EQ(L"http://example.org/a", StringOf(Find(L"WM/AudioFileURL")));
  EXPECT_EQ(L"215000", StringOf(Find(L"ID3/TLEN")));
  EXPECT_EQ(L"http://shop/", StringOf(Find(L"ID3/WCOM")));
  EXPECT_EQ(L"calm", StringOf(Find(L"WM/Mood")));
  EXPECT_EQ(L"kept", StringOf(Find(L"Custom")));
  ASSERT_NE(nullptr, Find(L"Duration"));
  ASSERT_NE(nullptr, Find(L"WM/Track"));
  EXPECT_EQ(nullptr, Find(L"WM/Comments"));
  ASSERT_NE(nullptr, Find(L"ID3/PRIV"));
  EXPECT_EQ(WMT_TYPE_BINARY, Find(L"ID3/PRIV")->type);
  EXPECT_EQ(privBytes, std::string(Find(L"ID3/PRIV")->value.begin(), Find(L"ID3/PRIV")->value.end()));
  EXPECT_EQ(userBytes, std::string(Find(L"ID3/TXXX")->value.begin(), Find(L"ID3/TXXX")->value.end()));

  // Read back: the binary frame is the same frame.
  IMetadataTag* back = nullptr;
  ASSERT_EQ(S_OK, metadata->GetTag(&back));
  ID3_Frame* privBack = nullptr;
  ForEachFrame(CMetadataTag::From(back)->Id3(), [&](ID3_Frame& frame) {
    if (frame.GetID() == ID3FID_PRIVATE) privBack = &frame;
  });
  ASSERT_NE(nullptr, privBack);
  EXPECT_EQ(privBytes, RenderFrame(*privBack));

  // A second write first removes what the first one created.
  FakeMediaFiles::log.clear();
  IMetadataTag* small = nullptr;
  ASSERT_EQ(S_OK, MetadataCreateTag(&small));
  Add(small, ID3FID_TITLE, ID3FN_TEXT, L"only");
  EXPECT_EQ(S_OK, metadata->SetTag(small));
  EXPECT_EQ(nullptr, Find(L"ID3/PRIV"));
  EXPECT_EQ(nullptr, Find(L"ID3/TLEN"));
  EXPECT_EQ(nullptr, Find(L"Description"));
  EXPECT_EQ(L"only", StringOf(Find(L"Title")));
  EXPECT_EQ(L"calm", StringOf(Find(L"WM/Mood")));
  small->Release();
  back->Release();
  tag->Release();
  metadata->Release();
}

}  // namespace
