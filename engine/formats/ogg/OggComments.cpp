// Vorbis comments from ID3-style frames: the names the FLAC reader takes back, plus the common extras.
#include "OggComments.h"

#include <string>
#include <vector>

#include "ComPtr.h"
#include "MetadataText.h"

namespace {

struct CommentRow {
  UINT32 frame;
  const char* name;
  const char* totalName;  // for "n/total" values: the name of the total, else null
};

const CommentRow kCommentRows[] = {
    {kFrameTitle, "TITLE", nullptr},
    {kFrameLeadArtist, "ARTIST", nullptr},
    {kFrameAlbum, "ALBUM", nullptr},
    {kFrameTrackNumber, "TRACKNUMBER", "TRACKTOTAL"},
    {kFrameYear, "DATE", nullptr},
    {kFrameGenre, "GENRE", nullptr},
    {kFrameComment, "COMMENT", nullptr},
    {33, "COPYRIGHT", nullptr},       // TCOP
    {62, "ALBUMARTIST", nullptr},     // TPE2
    {63, "PERFORMER", nullptr},       // TPE3
    {31, "COMPOSER", nullptr},        // TCOM
    {43, "LYRICIST", nullptr},        // TEXT
    {67, "ORGANIZATION", nullptr},    // TPUB
    {46, "DESCRIPTION", nullptr},     // TIT1
    {65, "DISCNUMBER", "DISCTOTAL"},  // TPOS
    {76, "ISRC", nullptr},            // TSRC
};

constexpr int kTextCapacity = 32768;

std::wstring TextOf(IMetadataFrameText* frame, bool display) {
  std::vector<wchar_t> text(kTextCapacity, L'\0');
  if (display)
    frame->GetDisplayText(text.data(), kTextCapacity);  // genre numbers become names
  else
    frame->GetText(text.data(), kTextCapacity);
  return text.data();
}

// The comment without a description (described ones are other programs' private data), else the first one.
std::wstring CommentText(IMetadataTag* tag) {
  std::wstring first;
  for (UINT32 i = 0, count = tag->GetFrameCount(); i < count; ++i) {
    ComPtr<IMetadataFrameComment> comment;
    if (FAILED(tag->FindFrame(kFrameComment, IID_IMetadataFrameComment, reinterpret_cast<void**>(&comment))) ||
        !comment)
      break;
    wchar_t description[2] = {};
    comment->GetDescription(description, 2);
    std::vector<wchar_t> text(kTextCapacity, L'\0');
    comment->GetText(text.data(), kTextCapacity);
    if (!description[0]) return text.data();
    if (i == 0) first = text.data();
  }
  return first;
}

void Add(vorbis_comment* comment, const char* name, const std::wstring& value) {
  if (value.empty()) return;
  std::string text = NarrowUtf8(value);
  vorbis_comment_add_tag(comment, name, text.c_str());
}

}  // namespace

void AddSourceComments(IConvertSource* source, vorbis_comment* comment) {
  ComPtr<IMetadata> metadata;
  ComPtr<IMetadataTag> tag;
  if (!source || !source->GetMetadata(&metadata) || !metadata || FAILED(metadata->GetTag(&tag)) || !tag) return;
  for (const CommentRow& row : kCommentRows) {
    if (row.frame == kFrameComment) {
      Add(comment, row.name, CommentText(tag.Get()));
      continue;
    }
    ComPtr<IMetadataFrameText> frame;
    if (FAILED(tag->FindFrame(row.frame, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame) continue;
    std::wstring value = TextOf(frame.Get(), row.frame == kFrameGenre);
    size_t slash = value.find(L'/');
    if (row.totalName && slash != std::wstring::npos) {
      Add(comment, row.name, value.substr(0, slash));
      Add(comment, row.totalName, value.substr(slash + 1));
    } else {
      Add(comment, row.name, value);
    }
  }
}
