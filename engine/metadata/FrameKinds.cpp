// The frame kinds table and the wrapping of id3lib frames into their typed interfaces.
#include "FrameKinds.h"

#include <memory>
#include <new>

#include "CMetadataFrameComment.h"
#include "CMetadataFramePicture.h"
#include "CMetadataFrameText.h"
#include "CMetadataFrameURL.h"
#include "CMetadataFrameUserText.h"

namespace {

using W = FrameWrapper;

// The display names replace the library's longer descriptions.
const FrameKind kFrameKinds[] = {
    {1, "AENC", "Encryption", W::None},
    {2, "APIC", "Picture", W::Picture},
    {4, "COMM", "Comments", W::Comment},
    {5, "COMR", "Commercial", W::None},
    {6, "ENCR", "Encryption Method Registration", W::None},
    {8, "EQUA", "Equalization", W::None},
    {9, "ETCO", "Event Timing Codes", W::None},
    {10, "GEOB", "General Encapsulated Object", W::None},
    {11, "GRID", "Group Identification Registration", W::None},
    {12, "IPLS", "Involved People List", W::None},
    {13, "LINK", "Linked Information", W::None},
    {14, "MCDI", "Music CD identifier", W::None},
    {15, "MLLT", "MPEG location lookup table", W::None},
    {16, "OWNE", "Ownership", W::None},
    {17, "PRIV", "Private", W::None},
    {18, "PCNT", "Play counter", W::None},
    {19, "POPM", "Popularimeter", W::None},
    {20, "POSS", "Position synchronisation frame", W::None},
    {21, "RBUF", "Recommended buffer size", W::None},
    {23, "RVAD", "Relative volume adjustment", W::None},
    {24, "RVRB", "Reverb", W::None},
    {27, "SYLT", "Synchronized Lyric", W::None},
    {28, "SYTC", "Synchronized Tempo Codes", W::None},
    {29, "TALB", "Album Title", W::TextDef},
    {30, "TBPM", "BPM", W::TextDef},
    {31, "TCOM", "Composer", W::TextDef},
    {32, "TCON", "Genre", W::TextGenre},
    {33, "TCOP", "Copyright Message", W::TextCopyright},
    {34, "TDAT", "Date", W::TextDate},
    {36, "TDLY", "Playlist Delay", W::TextDef},
    {42, "TENC", "Encoder", W::TextDef},
    {43, "TEXT", "Lyricist", W::TextDef},
    {44, "TFLT", "File Type", W::TextReadOnly},
    {45, "TIME", "Time", W::TextTime},
    {46, "TIT1", "Content Group", W::TextDef},
    {47, "TIT2", "Title", W::TextDef},
    {48, "TIT3", "Subtitle", W::TextDef},
    {49, "TKEY", "Initial key", W::TextReadOnly},
    {50, "TLAN", "Language(s)", W::TextLang},
    {51, "TLEN", "Length", W::TextSongLen},
    {53, "TMED", "Media Type", W::TextReadOnly},
    {55, "TOAL", "Original Album Title", W::TextDef},
    {56, "TOFN", "Original Filename", W::TextDef},
    {57, "TOLY", "Original Lyricist(s)", W::TextDef},
    {58, "TOPE", "Original Artist(s)", W::TextDef},
    {59, "TORY", "Original Release Year", W::TextDef},
    {60, "TOWN", "File Owner", W::TextDef},
    {61, "TPE1", "Lead Performer", W::TextDef},
    {62, "TPE2", "Band", W::TextDef},
    {63, "TPE3", "Conductor Refinement", W::TextDef},
    {64, "TPE4", "Interpreter/Remixer", W::TextDef},
    {65, "TPOS", "Part of a Set", W::TextPartNum},
    {67, "TPUB", "Publisher", W::TextDef},
    {68, "TRCK", "Track Number", W::TextPartNum},
    {69, "TRDA", "Recording dates", W::TextDef},
    {70, "TRSN", "Radio Station Name", W::TextDef},
    {71, "TRSO", "Radio Station Owner", W::TextDef},
    {72, "TSIZ", "Size", W::TextReadOnly},
    {76, "TSRC", "ISRC", W::TextReadOnly},
    {77, "TSSE", "Encoding Software/Settings", W::TextReadOnly},
    {79, "TXXX", "Additional Information", W::UserText},
    {80, "TYER", "Year", W::TextNum},
    {81, "UFID", "Unique File ID", W::None},
    {82, "USER", "Terms of Use", W::None},
    {83, "USLT", "Unsynchronized Lyric Transcription", W::None},
    {84, "WCOM", "Commercial Information", W::Url},
    {85, "WCOP", "Copyright URL", W::Url},
    {86, "WOAF", "Official Webpage", W::Url},
    {87, "WOAR", "Official Artist Webpage", W::Url},
    {88, "WOAS", "Official Source Webpage", W::Url},
    {89, "WORS", "Official Radio Station Homepage", W::Url},
    {90, "WPAY", "Payment", W::Url},
    {91, "WPUB", "Official Publisher Webpage", W::Url},
    {92, "WXXX", "User Defined URL", W::UserUrl},
    {93, "", "Encrypted meta frame", W::None},
    {94, "", "Compressed data meta frame", W::None},
};

CMetadataFrameCore* NewWrapper(FrameWrapper wrapper, ID3_Frame* frame, bool owned, IUnknown** object) {
  auto make = [&](auto* wrapperObject) -> CMetadataFrameCore* {
    *object = static_cast<IMetadataFrame*>(wrapperObject);
    return wrapperObject;
  };
  switch (wrapper) {
    case W::Picture:
      return make(new CMetadataFramePicture(frame, owned));
    case W::Comment:
      return make(static_cast<CMetadataFrameComment::Base*>(new CMetadataFrameComment(frame, owned)));
    case W::TextDef:
      return make(new CMetadataFrameTextDef(frame, owned));
    case W::TextNum:
      return make(new CMetadataFrameTextNum(frame, owned));
    case W::TextPartNum:
      return make(new CMetadataFrameTextPartNum(frame, owned));
    case W::TextReadOnly:
      return make(new CMetadataFrameTextReadOnly(frame, owned));
    case W::TextSongLen:
      return make(new CMetadataFrameTextSongLen(frame, owned));
    case W::TextDate:
      return make(new CMetadataFrameTextDate(frame, owned));
    case W::TextTime:
      return make(new CMetadataFrameTextTime(frame, owned));
    case W::TextCopyright:
      return make(new CMetadataFrameTextCopyright(frame, owned));
    case W::TextLang:
      return make(new CMetadataFrameTextLang(frame, owned));
    case W::TextGenre:
      return make(new CMetadataFrameTextGenre(frame, owned));
    case W::UserText:
      return make(new CMetadataFrameUserText(frame, owned));
    case W::Url:
      return make(new CMetadataFrameURL(frame, owned));
    case W::UserUrl:
      return make(new CMetadataFrameUserURL(frame, owned));
    case W::None:
      break;
  }
  return nullptr;
}

}  // namespace

const FrameKind* FindFrameKind(UINT32 number) {
  for (const FrameKind& kind : kFrameKinds)
    if (kind.number == number) return &kind;
  return nullptr;
}

FrameWrapper WrapperOf(UINT32 number) {
  const FrameKind* kind = FindFrameKind(number);
  return kind ? kind->wrapper : FrameWrapper::None;
}

HRESULT WrapFrame(ID3_Frame* frame, UINT32 number, bool owned, REFIID iid, void** out) {
  std::unique_ptr<ID3_Frame> ownedFrame(owned ? frame : nullptr);
  if (!frame || !out) return E_INVALIDARG;
  FrameWrapper wrapper = WrapperOf(number);
  if (wrapper == FrameWrapper::None) return E_INVALIDARG;
  IUnknown* object = nullptr;
  CMetadataFrameCore* core = NewWrapper(wrapper, frame, owned, &object);
  if (!core) return E_INVALIDARG;
  ownedFrame.release();
  try {
    if (owned) core->ResetValue();
  } catch (...) {
    object->Release();
    throw;
  }
  HRESULT result = object->QueryInterface(iid, out);
  object->Release();  // the creation reference; a failed query destroys the wrapper and an owned frame
  return result;
}

// The public names of frame numbers are the tag library's numbers.
static_assert(kFrameComment == ID3FID_COMMENT && kFrameAlbum == ID3FID_ALBUM && kFrameBpm == ID3FID_BPM &&
                  kFrameGenre == ID3FID_CONTENTTYPE && kFrameTitle == ID3FID_TITLE && kFrameSongLength == ID3FID_SONGLEN &&
                  kFrameLeadArtist == ID3FID_LEADARTIST && kFrameTrackNumber == ID3FID_TRACKNUM &&
                  kFrameEncoderSettings == ID3FID_ENCODERSETTINGS && kFrameYear == ID3FID_YEAR,
              "frame numbers");
