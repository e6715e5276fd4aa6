// The format table through the exports: rows, lookups by index, path and name, and the factory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tavcore.h"

namespace {
std::vector<std::wstring> Extensions(const CONVFORMAT& format) {
  std::vector<std::wstring> list;
  for (const wchar_t* item = format.extensions; *item; item += wcslen(item) + 1) list.push_back(item);
  return list;
}

CONVFORMAT Filled() {
  CONVFORMAT format;
  std::memset(&format, 0xAB, sizeof(format));
  return format;
}

bool Untouched(const CONVFORMAT& format) {
  CONVFORMAT pristine = Filled();
  return std::memcmp(&format, &pristine, sizeof(format)) == 0;
}
}  // namespace

TEST(FormatTable, RowsInTheirFixedOrder) {
  struct Row {
    const wchar_t* name;
    const wchar_t* description;
    UINT32 descriptionId, flags;
    size_t extensionCount;
    const GUID* source;
    const GUID* destination;
  } rows[] = {
      {L"MP3", L"MP3 Audio Files (.mp3)", 3008, 1, 1, &CLSID_CWMAConvSource, &CLSID_CMP3ConvDest},
      {L"MPEG A/V", L"MPEG Audio/Video Files (.mp*)", 3009, 1, 10, &CLSID_CDirectShowConvSource, nullptr},
      {L"AVI", L"AVI Video File (.avi)", 3032, 1, 1, &CLSID_CDirectShowConvSource, nullptr},
      {L"Unix AU/SND", L"Unix AU/SND File (.au)", 3033, 0, 2, &CLSID_CDirectShowConvSource, nullptr},
      {L"Wave", L"Wave Audio Files (.wav)", 3011, 0, 1, &CLSID_CWavConvSource, &CLSID_CWavConvDest},
      {L"Windows Media", L"Windows Media Audio/Video Files (.wma)", 3012, 3, 4, &CLSID_CWMAConvSource,
       &CLSID_CWMAConvDest},
      {L"AIFF", L"Audio Interchange Files (.aif)", 3013, 4, 4, &CLSID_CDirectShowConvSource, &CLSID_CAIFFConvDest},
      {L"CD Track", L"CD Audio Tracks (.cda)", 3015, 4, 1, &CLSID_CAudioCDTrack, nullptr},
      {L"Ogg Vorbis", L"Vorbis OGG Files (.ogg)", 3028, 4, 1, &CLSID_CDirectShowConvSource, &CLSID_COggConvDest},
      {L"PureVoice QCP", L"PureVoice QCP File (.qcp)", 3016, 4, 1, &CLSID_CQCPConvSource, nullptr},
      {L"AAC", L"Advanced Audio Coding Files (.aac)", 3029, 4, 1, &CLSID_CDirectShowConvSource, nullptr},
      {L"MIDI", L"MIDI Files (.midi)", 3030, 4, 3, &CLSID_CMIDIConvSource, nullptr},
      {L"Musepack MPC", L"Musepack MPC File (.mpc)", 3017, 4, 1, &CLSID_CDirectShowConvSource, nullptr},
      {L"AC3", L"AC3 Audio File (.ac3)", 3034, 4, 1, &CLSID_CDirectShowConvSource, nullptr},
      {L"FLAC", L"FLAC Audio File (.flac)", 3035, 4, 1, &CLSID_CDirectShowConvSource, nullptr},
      {L"RealAudio", L"RealAudio Media File (.ra)", 3038, 4, 5, &CLSID_CDirectShowConvSource, nullptr},
      {L"Monkey's APE", L"Monkey's Audio File (.ape)", 3036, 4, 1, &CLSID_CDirectShowConvSource, nullptr},
  };
  ASSERT_EQ(17u, ConvGetFormatCount());
  for (UINT32 index = 0; index < 17; ++index) {
    const Row& row = rows[index];
    CONVFORMAT format = Filled();
    ASSERT_EQ(S_OK, ConvGetFormatAt(&format, index));
    EXPECT_STREQ(row.name, format.name) << index;
    EXPECT_STREQ(row.description, format.description) << index;
    EXPECT_EQ(row.descriptionId, format.descriptionId) << index;
    EXPECT_EQ(row.flags, format.flags) << index;
    EXPECT_EQ(row.extensionCount, Extensions(format).size()) << index;
    EXPECT_EQ(row.source != nullptr, format.sourceClass != nullptr) << index;
    EXPECT_EQ(row.destination != nullptr, format.destinationClass != nullptr) << index;
    if (row.source && format.sourceClass) {
      EXPECT_TRUE(IsEqualGUID(*row.source, *format.sourceClass)) << index;
    }
    if (row.destination && format.destinationClass) {
      EXPECT_TRUE(IsEqualGUID(*row.destination, *format.destinationClass)) << index;
    }
    EXPECT_EQ(index, ConvGetFormatPos(&format));
  }
  CONVFORMAT mpeg;
  ASSERT_EQ(S_OK, ConvGetFormatAt(&mpeg, 1));
  EXPECT_EQ((std::vector<std::wstring>{L".mp1", L".mp2", L".mpg", L".mpeg", L".mpa", L".mpe", L".m1v", L".mp4",
                                       L".m4p", L".m4a"}),
            Extensions(mpeg));
}

TEST(FormatTable, LookupByIndexRejectsBadArguments) {
  CONVFORMAT format = Filled();
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatAt(&format, 17));
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatAt(&format, 0xFFFFFFFF));
  EXPECT_TRUE(Untouched(format));
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatAt(nullptr, 0));
}

TEST(FormatTable, LookupByPath) {
  struct Case {
    const wchar_t* path;
    HRESULT result;
    UINT32 row;
  } cases[] = {
      {L"C:\\music\\song.MP3", S_OK, 0},
      {L"clip.m4a", S_OK, 1},
      {L"D:\\a.b\\track.Wav", S_OK, 4},
      {L"x.asx", S_OK, 5},
      {L"take.AIFC", S_OK, 6},
      {L"C:\\dotted.folder\\noextension", E_FAIL, 0},
      {L"readme.txt", E_FAIL, 0},
      {L"song.mp3.txt", E_FAIL, 0},
      {L"archive.tar.flac", S_OK, 14},
      {L"", E_FAIL, 0},
      {L"trailing.", E_FAIL, 0},
  };
  for (const Case& c : cases) {
    CONVFORMAT format = Filled();
    EXPECT_EQ(c.result, ConvGetFormatOf(&format, c.path)) << c.path;
    if (c.result == S_OK) {
      EXPECT_EQ(c.row, ConvGetFormatPos(&format)) << c.path;
    } else {
      EXPECT_TRUE(Untouched(format)) << c.path;
    }
  }
  std::wstring longPath = L"C:\\" + std::wstring(400, L'a') + L".ogg";
  CONVFORMAT format;
  EXPECT_EQ(S_OK, ConvGetFormatOf(&format, longPath.c_str()));
  EXPECT_EQ(8u, ConvGetFormatPos(&format));
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatOf(nullptr, L"a.mp3"));
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatOf(&format, nullptr));
}

TEST(FormatTable, LookupByName) {
  struct Case {
    const wchar_t* name;
    HRESULT result;
    UINT32 row;
  } cases[] = {
      {L"wma", S_OK, 5},   {L"WMA", S_OK, 5},        {L"WINDOWS MEDIA", S_OK, 5}, {L"Wave", S_OK, 4},
      {L"mp3", S_OK, 0},   {L"monkey's ape", S_OK, 16}, {L"wav", E_FAIL, 0},     {L"", E_FAIL, 0},
  };
  for (const Case& c : cases) {
    CONVFORMAT format = Filled();
    EXPECT_EQ(c.result, ConvGetFormatByName(&format, c.name)) << c.name;
    if (c.result == S_OK) {
      EXPECT_EQ(c.row, ConvGetFormatPos(&format)) << c.name;
    }
  }
  EXPECT_EQ(E_INVALIDARG, ConvGetFormatByName(nullptr, L"Wave"));

  // A record whose name a caller spelled in other cases still names its row, for the factory as well.
  const std::pair<const wchar_t*, const wchar_t*> spellings[] = {
      {L"MP3", L"mp3"}, {L"Wave", L"WAVE"}, {L"Ogg Vorbis", L"ogg VORBIS"}, {L"AIFF", L"aiff"}};
  for (const auto& [row, spelled] : spellings) {
    CONVFORMAT format = Filled();
    ASSERT_EQ(S_OK, ConvGetFormatByName(&format, row));
    const UINT32 index = ConvGetFormatPos(&format);
    ASSERT_NE(0xFFFFFFFFu, index) << row;
    wcscpy(format.name, spelled);
    EXPECT_EQ(index, ConvGetFormatPos(&format)) << spelled;
    IConvertDestination* destination = nullptr;
    ASSERT_EQ(S_OK, ConvCreateDest(&format, &destination)) << spelled;
    EXPECT_EQ(static_cast<int>(index), destination->GetFormatIndex()) << spelled;
    destination->Release();
  }

  CONVFORMAT unknown = {};
  wcscpy(unknown.name, L"Not a format");
  EXPECT_EQ(0xFFFFFFFFu, ConvGetFormatPos(&unknown));
  EXPECT_EQ(0xFFFFFFFFu, ConvGetFormatPos(nullptr));
  std::memset(unknown.name, 'A', sizeof(unknown.name));  // no terminator anywhere in the field
  EXPECT_EQ(0xFFFFFFFFu, ConvGetFormatPos(&unknown));
}

TEST(ConvertFactory, RowsWithoutAClassAndUnknownClasses) {
  CONVFORMAT mpeg;
  ASSERT_EQ(S_OK, ConvGetFormatAt(&mpeg, 1));
  IConvertDestination* destination = reinterpret_cast<IConvertDestination*>(0x1234);
  EXPECT_EQ(E_NOTIMPL, ConvCreateDest(&mpeg, &destination));
  EXPECT_EQ(reinterpret_cast<IConvertDestination*>(0x1234), destination) << "left as it was";

  GUID stranger = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  CONVFORMAT forged = mpeg;
  forged.sourceClass = &stranger;
  forged.destinationClass = &stranger;
  IConvertSource* source = reinterpret_cast<IConvertSource*>(0x1234);
  EXPECT_EQ(E_NOTIMPL, ConvCreateSource(&forged, &source));
  EXPECT_EQ(nullptr, source);
  destination = reinterpret_cast<IConvertDestination*>(0x1234);
  EXPECT_EQ(E_NOTIMPL, ConvCreateDest(&forged, &destination));
  EXPECT_EQ(nullptr, destination);

  forged.sourceClass = &CLSID_CWavConvDest;  // a destination class is not a source class
  EXPECT_EQ(E_NOTIMPL, ConvCreateSource(&forged, &source));

  EXPECT_EQ(E_INVALIDARG, ConvCreateSource(nullptr, &source));
  EXPECT_EQ(E_INVALIDARG, ConvCreateSource(&mpeg, nullptr));
  EXPECT_EQ(E_INVALIDARG, ConvCreateDest(&mpeg, nullptr));
}

TEST(ConvertFactory, CreatesObjectsForTheirRow) {
  CONVFORMAT wave;
  ASSERT_EQ(S_OK, ConvGetFormatAt(&wave, 4));
  IConvertSource* source = nullptr;
  ASSERT_EQ(S_OK, ConvCreateSource(&wave, &source));
  ASSERT_NE(nullptr, source);
  EXPECT_EQ(4, source->GetFormatIndex());
  GUID id = {};
  ASSERT_TRUE(source->GetClassId(&id));
  EXPECT_TRUE(IsEqualGUID(CLSID_CWavConvSource, id));
  IUnknown* unknown = nullptr;
  ASSERT_EQ(S_OK, source->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  EXPECT_EQ(1u, unknown->Release()) << "the caller holds exactly one reference";
  EXPECT_EQ(0u, source->Release());

  IConvertDestination* destination = nullptr;
  ASSERT_EQ(S_OK, ConvCreateDest(&wave, &destination));
  EXPECT_EQ(4, destination->GetFormatIndex());
  ASSERT_TRUE(destination->GetClassId(&id));
  EXPECT_TRUE(IsEqualGUID(CLSID_CWavConvDest, id));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, destination->QueryInterface(IID_IConvertSource, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(0u, destination->Release());
}
