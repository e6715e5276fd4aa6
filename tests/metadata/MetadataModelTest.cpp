// The metadata model on its own: exports, frame ownership, the rotating search, encodings, display, equality.
#include <gtest/gtest.h>
#include <id3/tag.h>

#include <string>

#include "CMetadataFrame.h"
#include "CMetadataTag.h"
#include "FrameKinds.h"
#include "MetadataText.h"
#include "TestSupport.h"
#include "tavcore.h"

namespace {

// Counts how many frames of this kind the library destroyed.
int destroyedFrames = 0;
class WatchedFrame : public ID3_Frame {
 public:
  explicit WatchedFrame(ID3_FrameID id) : ID3_Frame(id) {}
  ~WatchedFrame() override { ++destroyedFrames; }
};

ID3_Frame* FrameOf(IUnknown* wrapper) { return CMetadataFrameCore::From(wrapper)->frame; }

std::wstring Display(IMetadataFrame* frame) {
  wchar_t text[256] = L"unchanged";
  frame->GetDisplayText(text, 256);
  return text;
}

Ref<IMetadataFrameText> NewText(UINT32 number, const wchar_t* text) {
  Ref<IMetadataFrameText> frame;
  EXPECT_EQ(S_OK, MetadataCreateFrame(number, IID_IMetadataFrameText, frame.out()));
  if (frame.p && text) {
    EXPECT_TRUE(frame->SetText(text));
  }
  return frame;
}

TEST(MetadataExports, FormatsAndKindsByExtension) {
  wchar_t buffer[64];
  wmemset(buffer, L'#', 64);
  EXPECT_EQ(57, MetadataGetFormats(buffer));
  int strings = 0;
  const wchar_t* at = buffer;
  for (; *at; at += wcslen(at) + 1) ++strings;
  EXPECT_EQ(11, strings);
  EXPECT_EQ(std::wstring(L".flac"), at - 6);
  EXPECT_EQ(L'#', buffer[58]);

  struct Case {
    const wchar_t* path;
    HRESULT result;
    UINT32 capabilities;
  } cases[] = {
      {L"C:\\music\\song.MP3", S_OK, 3},
      {L"x.Flac", S_OK, 1},
      {L"a.b\\clip.wma", S_OK, 3},
      {L"c.mpeg", S_OK, 3},
      {L"c.aac", S_OK, 3},
      {L"song.ogg", E_INVALIDARG, 0},
      {L"C:\\no.ext\\name", E_INVALIDARG, 0},
      {L"noextension", E_INVALIDARG, 0},
      {L"trailing.", E_INVALIDARG, 0},
  };
  for (const Case& c : cases) {
    IMetadata* sentinel = reinterpret_cast<IMetadata*>(0x1234);
    IMetadata* metadata = sentinel;
    EXPECT_EQ(c.result, MetadataCreateFromFile(c.path, &metadata)) << c.path;
    if (c.result == S_OK) {
      ASSERT_NE(nullptr, metadata);
      EXPECT_EQ(c.capabilities, metadata->GetCapabilities()) << c.path;
      EXPECT_EQ(0u, metadata->Release());
    } else {
      EXPECT_EQ(sentinel, metadata) << c.path;
    }
  }
  EXPECT_EQ(E_INVALIDARG, MetadataCreateFromFile(L"a.mp3", nullptr));
  EXPECT_EQ(E_INVALIDARG, MetadataCreateTag(nullptr));
}

TEST(MetadataGenres, TableAndLookups) {
  EXPECT_EQ(80u, GenreGetCount());
  for (UINT32 i = 0; i < 80; ++i) EXPECT_EQ(15u, wcslen(GenreGet(i))) << i;
  EXPECT_EQ(std::wstring(L"Hard Rock      "), GenreGet(79));
  EXPECT_EQ(nullptr, GenreGet(80));
  struct Case {
    const wchar_t* name;
    int index;
  } cases[] = {{L"Rock", 17}, {L"rock", -1},         {L" Rock", -1}, {L"Altern Rock", 40},    {L"Native American", 64},
               {L"Blues", 0}, {L"Techno-Indus", 51}, {L"", -1},      {L"Hard Rock      ", -1}};
  for (const Case& c : cases) EXPECT_EQ(c.index, GenreToNum(c.name)) << c.name;
  EXPECT_EQ(-1, GenreToNum(nullptr));
}

TEST(MetadataFrames, CreationKindsAndInterfaces) {
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(E_INVALIDARG, MetadataCreateFrame(17, IID_IMetadataFrame, &out));  // PRIV has no wrapper
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_INVALIDARG, MetadataCreateFrame(3, IID_IMetadataFrame, &out));
  EXPECT_EQ(E_INVALIDARG, MetadataCreateFrame(47, IID_IMetadataFrame, nullptr));
  EXPECT_EQ(E_NOINTERFACE, MetadataCreateFrame(47, IID_IMetadataFrameURL, &out));
  EXPECT_EQ(nullptr, out);

  struct Case {
    UINT32 number;
    const GUID* kind;
    const char* name;
    bool readOnly;
  } cases[] = {
      {2, &IID_IMetadataFramePicture, "Picture", false},
      {4, &IID_IMetadataFrameComment, "Comments", false},
      {47, &IID_IMetadataFrameText, "Title", false},
      {51, &IID_IMetadataFrameText, "Length", true},
      {77, &IID_IMetadataFrameText, "Encoding Software/Settings", true},
      {79, &IID_IMetadataFrameUserText, "Additional Information", false},
      {86, &IID_IMetadataFrameURL, "Official Webpage", false},
      {92, &IID_IMetadataFrameUserURL, "User Defined URL", false},
  };
  for (const Case& c : cases) {
    Ref<IMetadataFrame> frame;
    ASSERT_EQ(S_OK, MetadataCreateFrame(c.number, *c.kind, frame.out())) << c.number;
    GUID kind = {};
    EXPECT_EQ(&kind, frame->GetKindGuid(&kind));
    EXPECT_TRUE(IsEqualGUID(kind, *c.kind)) << c.number;
    EXPECT_STREQ(c.name, frame->GetKindName());
    EXPECT_EQ(c.readOnly, frame->IsReadOnly()) << c.number;
    EXPECT_EQ(c.number, frame->GetFrameNumber());
    Ref<IUnknown> base;
    EXPECT_EQ(S_OK, frame->QueryInterface(IID_IMetadataFrame, base.out()));
  }
  EXPECT_FALSE(IsEqualGUID(IID_IMetadataFrameUserText, IID_IMetadataFrameText));

  // A comment is also a text frame whose text operations are the comment's own.
  Ref<IMetadataFrameComment> comment;
  ASSERT_EQ(S_OK, MetadataCreateFrame(4, IID_IMetadataFrameComment, comment.out()));
  Ref<IMetadataFrameText> asText;
  ASSERT_EQ(S_OK, comment->QueryInterface(IID_IMetadataFrameText, asText.out()));
  comment->SetDescription(L"desc");
  asText->SetText(L"said");
  wchar_t text[32] = {};
  comment->GetText(text, 32);
  EXPECT_STREQ(L"said", text);
  asText->Reset();
  comment->GetLanguage(text, 32);
  EXPECT_STREQ(L"enu", text);
  comment->GetDescription(text, 32);
  EXPECT_STREQ(L"", text);
  Ref<IUnknown> identity1, identity2;
  comment->QueryInterface(IID_IUnknown, identity1.out());
  asText->QueryInterface(IID_IUnknown, identity2.out());
  EXPECT_EQ(identity1.p, identity2.p);
}

TEST(MetadataFrames, OwnershipFollowsAttachTo) {
  destroyedFrames = 0;
  Ref<IMetadataTag> tag;
  ASSERT_EQ(S_OK, MetadataCreateTag(&tag.p));
  {
    IMetadataFrameText* loose = nullptr;
    ASSERT_EQ(S_OK, WrapFrame(new WatchedFrame(ID3FID_TITLE), 47, true, IID_IMetadataFrameText,
                              reinterpret_cast<void**>(&loose)));
    loose->Release();
    EXPECT_EQ(1, destroyedFrames);
  }
  IMetadataFrameText* attached = nullptr;
  ASSERT_EQ(S_OK, WrapFrame(new WatchedFrame(ID3FID_TITLE), 47, true, IID_IMetadataFrameText,
                            reinterpret_cast<void**>(&attached)));
  attached->SetText(L"kept");
  attached->AttachTo(tag.p);
  attached->AttachTo(tag.p);  // a second attach changes nothing
  attached->Release();
  EXPECT_EQ(1, destroyedFrames);
  EXPECT_EQ(1u, tag->GetFrameCount());

  // Found frames belong to the tag: releasing their wrappers never destroys them.
  for (int i = 0; i < 2; ++i) {
    Ref<IMetadataFrameText> found;
    ASSERT_EQ(S_OK, tag->FindFrame(47, IID_IMetadataFrameText, found.out()));
    EXPECT_EQ(L"kept", Display(found.p));
  }
  EXPECT_EQ(1, destroyedFrames);
  // An unknown interface destroys a new frame with its wrapper.
  void* out = nullptr;
  EXPECT_EQ(E_NOINTERFACE, WrapFrame(new WatchedFrame(ID3FID_TITLE), 47, true, IID_IMetadataFrameURL, &out));
  EXPECT_EQ(2, destroyedFrames);
  tag.p->Release();
  tag.p = nullptr;
  EXPECT_EQ(3, destroyedFrames);
}

TEST(MetadataTag, FindFrameRotatesAndRemoveFramesRemovesAll) {
  Ref<IMetadataTag> tag;
  ASSERT_EQ(S_OK, MetadataCreateTag(&tag.p));
  for (const wchar_t* text : {L"first", L"second"}) {
    Ref<IMetadataFrameComment> comment;
    ASSERT_EQ(S_OK, MetadataCreateFrame(4, IID_IMetadataFrameComment, comment.out()));
    comment->SetText(text);
    comment->AttachTo(tag.p);
  }
  NewText(47, L"title")->AttachTo(tag.p);
  EXPECT_EQ(3u, tag->GetFrameCount());
  const wchar_t* expected[] = {L"first", L"second", L"first", L"second"};
  for (const wchar_t* text : expected) {
    Ref<IMetadataFrameComment> found;
    ASSERT_EQ(S_OK, tag->FindFrame(4, IID_IMetadataFrameComment, found.out()));
    EXPECT_EQ(text, Display(found.p));
  }
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(E_INVALIDARG, tag->FindFrame(61, IID_IMetadataFrameText, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_INVALIDARG, tag->FindFrame(17, IID_IMetadataFrame, &out));
  EXPECT_EQ(E_NOTIMPL, tag->Reserved(nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK, tag->RemoveFrames(4));
  EXPECT_EQ(1u, tag->GetFrameCount());
  EXPECT_EQ(E_INVALIDARG, tag->FindFrame(4, IID_IMetadataFrameComment, &out));
}

TEST(MetadataText, EncodingFollowsTheValue) {
  struct Case {
    const wchar_t* value;
    ID3_TextEnc encoding;
  } cases[] = {
      {L"Plain Title", ID3TE_ISO8859_1},
      {L"Gr\u00FC\u00DFe", ID3TE_UTF16},
      {L"\u041C\u0438\u0440", ID3TE_UTF16},
      {L"\U0001F3B5 note", ID3TE_UTF16},
      {L"", ID3TE_ISO8859_1},
  };
  for (const Case& c : cases) {
    Ref<IMetadataFrameText> frame = NewText(47, c.value);
    ID3_Frame* id3 = FrameOf(frame.p);
    EXPECT_EQ(c.encoding, id3->GetField(ID3FN_TEXT)->GetEncoding()) << c.value;
    EXPECT_EQ(static_cast<uint32>(c.encoding), id3->GetField(ID3FN_TEXTENC)->Get()) << c.value;
    wchar_t back[64] = {};
    frame->GetText(back, 64);
    EXPECT_STREQ(c.value, back);
    // On the wire: UTF-16 little-endian after its byte-order mark, as every other reader expects.
    std::string bytes = RenderFrame(*id3);
    if (c.encoding == ID3TE_UTF16) {
      ASSERT_GE(bytes.size(), 13u);
      EXPECT_EQ(std::string("\x01\xFF\xFE", 3), bytes.substr(10, 3));
      EXPECT_EQ(0, std::memcmp(bytes.data() + 13, c.value, wcslen(c.value) * 2));
    }
  }
  // Back to plain text: the frame is ISO-8859-1 again.
  Ref<IMetadataFrameText> frame = NewText(47, L"\u00E9t\u00E9");
  frame->SetText(L"summer");
  EXPECT_EQ(0u, FrameOf(frame.p)->GetField(ID3FN_TEXTENC)->Get());
  // Cut to the buffer, and a missing field leaves the buffer alone.
  wchar_t small[4] = L"xyz";
  frame->GetText(small, 4);
  EXPECT_STREQ(L"sum", small);
  Ref<IMetadataFrameURL> url;
  ASSERT_EQ(S_OK, MetadataCreateFrame(86, IID_IMetadataFrameURL, url.out()));
  Ref<IMetadataFrameText> urlAsText;
  EXPECT_EQ(E_NOINTERFACE, url->QueryInterface(IID_IMetadataFrameText, urlAsText.out()));
}

TEST(MetadataDisplay, TextsByKind) {
  wchar_t dateExpected[64] = {};
  SYSTEMTIME march5 = {2000, 3, 0, 5, 0, 0, 0, 0};
  GetDateFormatW(LOCALE_USER_DEFAULT, 0, &march5, L"d. MMMM", dateExpected, 64);
  wchar_t timeExpected[64] = {};
  SYSTEMTIME quarterPast = {2000, 1, 0, 1, 14, 15, 0, 0};
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &quarterPast, nullptr, timeExpected, 64);
  wchar_t english[128] = {};
  GetLocaleInfoW(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT), LOCALE_SLANGUAGE, english, 128);

  struct Case {
    UINT32 number;
    const wchar_t* text;
    std::wstring display;
  } cases[] = {
      {47, L"A Title", L"A Title"},
      {51, L"215000", L"3m 35s"},
      {51, L"59999", L"0m 59s"},
      {34, L"0503", dateExpected},
      {34, L"3213", L"3213"},  // no such date: shown as stored
      {45, L"1415", timeExpected},
      {33, L"2001 Someone", L"Copyright (c) 2001 Someone"},
      {50, L"ENU", english},
      {50, L"xx", L"xx"},
      {32, L"(17)(20)", L"Rock, Alternative"},
      {32, L"(79)Eurobeat", L"Hard Rock, Eurobeat"},
      {32, L"((Odd)", L"(Odd)"},
      {32, L"(200)", L"(200)"},
      {32, L"(80)", L"(80)"},  // one past the table
      {32, L"(0)(80)", L"Blues, (80)"},
      {32, L"Jazz", L"Jazz"},
  };
  for (const Case& c : cases) {
    Ref<IMetadataFrameText> frame = NewText(c.number, c.text);
    EXPECT_EQ(c.display, Display(frame.p)) << c.number << " " << c.text;
  }
  EXPECT_NE(std::wstring(english), L"");

  Ref<IMetadataFrameUserText> user;
  ASSERT_EQ(S_OK, MetadataCreateFrame(79, IID_IMetadataFrameUserText, user.out()));
  user->SetText(L"value");
  user->SetDescription(L"key");
  EXPECT_EQ(L"value (key)", Display(user.p));
  Ref<IMetadataFrameComment> comment;
  ASSERT_EQ(S_OK, MetadataCreateFrame(4, IID_IMetadataFrameComment, comment.out()));
  comment->SetText(L"nice");
  EXPECT_EQ(L"nice", Display(comment.p));
  comment->SetDescription(L"review");
  EXPECT_EQ(L"nice (review)", Display(comment.p));
  Ref<IMetadataFrameUserURL> link;
  ASSERT_EQ(S_OK, MetadataCreateFrame(92, IID_IMetadataFrameUserURL, link.out()));
  link->SetUrl(L"http://example.org/");
  link->SetDescription(L"home");
  EXPECT_EQ(L"http://example.org/ (home)", Display(link.p));
  Ref<IMetadataFramePicture> picture;
  ASSERT_EQ(S_OK, MetadataCreateFrame(2, IID_IMetadataFramePicture, picture.out()));
  picture->SetMimeType(L"image/png");
  const uchar pixels[5] = {1, 2, 3, 4, 5};
  FrameOf(picture.p)->GetField(ID3FN_DATA)->Set(pixels, 5);
  EXPECT_EQ(L"5 bytes; image/png", Display(picture.p));
  picture->SetDescription(L"Cover");
  picture->SetPictureType(3);
  EXPECT_EQ(3u, picture->GetPictureType());
  EXPECT_EQ(L"Cover (5 bytes; image/png)", Display(picture.p));
  wchar_t cut[6];
  picture->GetDisplayText(cut, 6);
  EXPECT_STREQ(L"Cover", cut);
}

TEST(MetadataFrames, EqualityAndCopy) {
  Ref<IMetadataFrameText> a = NewText(47, L"Same");
  Ref<IMetadataFrameText> b = NewText(47, L"Same");
  Ref<IMetadataFrameText> c = NewText(47, L"Other");
  Ref<IMetadataFrameText> d = NewText(61, L"Same");
  EXPECT_TRUE(a->IsEqual(b.p));
  EXPECT_FALSE(a->IsEqual(c.p));
  EXPECT_FALSE(a->IsEqual(d.p));
  EXPECT_FALSE(a->IsEqual(nullptr));
  // Frames far larger than the library's size estimate render safely.
  std::wstring longText(5000, L'\u00E4');
  Ref<IMetadataFrameText> big1 = NewText(47, longText.c_str());
  Ref<IMetadataFrameText> big2 = NewText(47, longText.c_str());
  EXPECT_TRUE(big1->IsEqual(big2.p));
  c->CopyFrom(d.p);
  EXPECT_EQ(61u, c->GetFrameNumber());
  EXPECT_TRUE(c->IsEqual(d.p));
  c->CopyFrom(c.p);
  EXPECT_EQ(L"Same", Display(c.p));
}

}  // namespace
