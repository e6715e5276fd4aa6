// Reading back what a test saved into a file's tag, through the engine's exports.
#pragma once

#include <string>

#include "TestSupport.h"
#include "tavcore.h"

// The text of the file's first frame of that number, asked for as Frame (iid); "<none>" when it has none.
template <class Frame>
std::wstring SavedFrameText(const std::wstring& path, UINT32 number, REFIID iid) {
  Ref<IMetadata> file;
  Ref<IMetadataTag> tag;
  Ref<Frame> frame;
  wchar_t text[256] = L"<none>";
  if (SUCCEEDED(MetadataCreateFromFile(path.c_str(), reinterpret_cast<IMetadata**>(file.out()))) &&
      SUCCEEDED(file->GetTag(reinterpret_cast<IMetadataTag**>(tag.out()))) &&
      SUCCEEDED(tag->FindFrame(number, iid, frame.out())))
    frame->GetText(text, 256);
  return text;
}

inline std::wstring FrameTextOf(const std::wstring& path, UINT32 number) {
  return SavedFrameText<IMetadataFrameText>(path, number, IID_IMetadataFrameText);
}
inline std::wstring CommentOf(const std::wstring& path) {
  return SavedFrameText<IMetadataFrameComment>(path, kFrameComment, IID_IMetadataFrameComment);
}

inline std::wstring TitleOf(const std::wstring& path) { return FrameTextOf(path, kFrameTitle); }
