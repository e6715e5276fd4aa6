// CFLACMetadata: Vorbis comment names mapped onto ID3 frames; values are UTF-8.
#include "CFLACMetadata.h"

#include <FLAC++/metadata.h>

#include <cstring>
#include <memory>

#include "AbiGuard.h"
#include "CMetadataTag.h"
#include "MetadataText.h"
#include "TagBuilding.h"

namespace {

struct VorbisName {
  const char* name;
  const char* frame;
};

const VorbisName kVorbisNames[] = {
    {"TITLE", "TIT2"},     {"ALBUM", "TALB"},     {"TRACKNUMBER", "TRCK"},  {"ARTIST", "TPE1"},
    {"PERFORMER", "TPE3"}, {"COPYRIGHT", "TCOP"}, {"ORGANIZATION", "TPUB"}, {"DESCRIPTION", "TIT1"},
    {"GENRE", "TCON"},     {"DATE", "TYER"},      {"ISRC", "TSRC"},
};

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
    char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

void AddComments(const std::wstring& path, ID3_Tag& tag) {
  // libFLAC takes UTF-8 file names on Windows.
  std::string name = NarrowUtf8(path);
  FLAC::Metadata::VorbisComment* comments = nullptr;
  if (name.empty() || !FLAC::Metadata::get_tags(name.c_str(), comments) || !comments) return;
  std::unique_ptr<FLAC::Metadata::VorbisComment> owner(comments);
  if (!comments->is_valid()) return;
  for (unsigned i = 0; i < comments->get_num_comments(); ++i) {
    FLAC::Metadata::VorbisComment::Entry entry = comments->get_comment(i);
    if (!entry.is_valid()) continue;
    const char* field = entry.get_field_name();
    if (!field) continue;
    for (const VorbisName& vorbis : kVorbisNames) {
      if (!EqualsIgnoringAsciiCase(field, vorbis.name)) continue;
      const char* value = entry.get_field_value();
      std::string bytes = value ? std::string(value, entry.get_field_value_length()) : std::string();
      AttachIfFirst(tag, NewTextFrame(vorbis.frame, WidenUtf8(bytes)));
      break;
    }
  }
}

}  // namespace

HRESULT STDMETHODCALLTYPE CFLACMetadata::GetTag(IMetadataTag** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    auto* tag = new CMetadataTag();
    tag->LinkTo(path);
    try {
      AddComments(path, tag->Id3());
    } catch (...) {
    }
    *out = tag;
    return S_OK;
  });
}
