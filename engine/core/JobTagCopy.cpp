// The job's last step: the source's tag goes into the finished file with the encoder settings and tempo.
#include <string>

#include "ComPtr.h"
#include "ConversionJob.h"
#include "EngineResources.h"

namespace {
constexpr int kSettingsTextCapacity = 1024;

// Replaces every frame of `number` with one text frame.
void PutText(IMetadataTag* tag, UINT32 number, const std::wstring& text) {
  tag->RemoveFrames(number);
  ComPtr<IMetadataFrameText> frame;
  if (FAILED(MetadataCreateFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame) return;
  frame->SetText(text.c_str());
  frame->AttachTo(tag);
}
}  // namespace

std::wstring TempoText(double tempo) {
  // The tempo in tenths, at least four digits, then a literal 0: 120.0 becomes "12000".
  return FormatText(100, L"%04.0f0", tempo * 10);
}

void CopyTagToOutput(IConvertSource* source, IConvertDestination* destination, bool rangeGiven, double tempo) {
  ComPtr<IMetadataTag> tag;
  ComPtr<IMetadata> sourceMetadata;
  if (source->GetMetadata(&sourceMetadata) && sourceMetadata) sourceMetadata->GetTag(&tag);
  sourceMetadata.Reset();
  if (!tag && (FAILED(MetadataCreateTag(&tag)) || !tag)) return;

  ComPtr<IMetadata> output;
  if (!destination->GetMetadata(&output) || !output) return;
  if (rangeGiven) tag->RemoveFrames(kFrameSongLength);
  tag->RemoveFrames(kFrameEncoderSettings);
  wchar_t settings[kSettingsTextCapacity] = {};
  if (destination->GetSettingsText(settings, kSettingsTextCapacity))
    PutText(tag.Get(), kFrameEncoderSettings, std::wstring(L"Tavrel, ") + settings);
  if (tempo != 0.0) PutText(tag.Get(), kFrameBpm, TempoText(tempo));
  output->SetTag(tag.Get());
}
