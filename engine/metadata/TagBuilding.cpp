// Frames made from identifiers and values of foreign tag formats.
#include "TagBuilding.h"

#include <memory>

#include "MetadataText.h"

ID3_FrameID ID3_FindFrameID(const char* id);  // the library's lookup, not in its public headers

ID3_Frame* NewTextFrame(const char* identifier, const std::wstring& text) {
  ID3_FrameID id = ID3_FindFrameID(identifier);
  if (id == ID3FID_NOFRAME) return nullptr;
  auto frame = std::make_unique<ID3_Frame>(id);
  if (!SetFieldText(*frame, ID3FN_TEXT, text)) SetFieldText(*frame, ID3FN_URL, text);
  return frame.release();
}

void AttachIfFirst(ID3_Tag& tag, ID3_Frame* frame) {
  std::unique_ptr<ID3_Frame> owner(frame);
  if (!frame) return;
  bool present = false;
  ForEachFrame(tag, [&](ID3_Frame& existing) { present = present || existing.GetID() == frame->GetID(); });
  if (!present && tag.AttachFrame(frame)) owner.release();
}
