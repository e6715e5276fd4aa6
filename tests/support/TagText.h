// Reading back what a test saved into a file's tag, through the engine's exports.
#pragma once

#include <string>

#include "TestSupport.h"
#include "tavcore.h"

// The text of the file's first text frame of that number; "<none>" when it has none.
inline std::wstring FrameTextOf(const std::wstring& path, UINT32 number) {
  Ref<IMetadata> file;
  Ref<IMetadataTag> tag;
  Ref<IMetadataFrameText> frame;
  wchar_t text[256] = L"<none>";
  if (SUCCEEDED(MetadataCreateFromFile(path.c_str(), reinterpret_cast<IMetadata**>(file.out()))) &&
      SUCCEEDED(file->GetTag(reinterpret_cast<IMetadataTag**>(tag.out()))) &&
      SUCCEEDED(tag->FindFrame(number, IID_IMetadataFrameText, frame.out())))
    frame->GetText(text, 256);
  return text;
}

inline std::wstring TitleOf(const std::wstring& path) { return FrameTextOf(path, kFrameTitle); }
