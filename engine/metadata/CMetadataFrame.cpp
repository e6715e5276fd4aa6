// The parts of the frame wrapper that do not depend on the typed interface: ownership, equality, copying.
#include "CMetadataFrame.h"

#include "CMetadataTag.h"
#include "FrameKinds.h"

namespace {
// Answered only by the engine's own frame wrappers, without a reference.
constexpr GUID kFrameCoreId = {0x3F9E27A4, 0x51C8, 0x4D0B, {0x8E, 0x16, 0x7A, 0x2D, 0xC4, 0x90, 0x5B, 0x31}};
}  // namespace

CMetadataFrameCore::~CMetadataFrameCore() {
  if (owned) delete frame;
}

CMetadataFrameCore* CMetadataFrameCore::From(IUnknown* object) {
  void* core = nullptr;
  if (!object || FAILED(object->QueryInterface(kFrameCoreId, &core))) return nullptr;
  return static_cast<CMetadataFrameCore*>(core);
}

bool CMetadataFrameCore::QueryCore(REFIID iid, void** out) {
  if (!IsEqualGUID(iid, kFrameCoreId)) return false;
  *out = this;
  return true;
}

void CMetadataFrameCore::AttachFrameTo(IMetadataTag* tag) {
  if (!owned) return;
  CMetadataTag* target = CMetadataTag::From(tag);
  if (!target) return;
  try {
    if (target->Id3().AttachFrame(frame)) owned = false;
  } catch (...) {
    // Not attached: the wrapper still owns the frame.
  }
}

const char* CMetadataFrameCore::KindName() const {
  const FrameKind* kind = FindFrameKind(static_cast<UINT32>(frame->GetID()));
  return kind ? kind->displayName : "";
}

std::wstring CMetadataFrameCore::KindCaption() const { return WidenAnsi(KindName()); }

bool CMetadataFrameCore::FrameEquals(IMetadataFrame* other) const {
  CMetadataFrameCore* that = From(other);
  if (!that) return false;
  if (that->frame == frame) return true;
  if (that->frame->GetID() != frame->GetID()) return false;
  // Rendered into growing buffers: the library's size estimate is no upper bound of what it renders.
  return RenderFrame(*frame) == RenderFrame(*that->frame);
}

void CMetadataFrameCore::CopyFrameFrom(IMetadataFrame* other) {
  CMetadataFrameCore* that = From(other);
  if (!that || that->frame == frame) return;
  *frame = *that->frame;
}
