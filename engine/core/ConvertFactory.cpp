// The factory: one explicit table from class id to constructor, in the order the ids are compared.
#include <new>

#include "AbiGuard.h"
#include "cd/AudioCDTrack.h"
#include "formats/aiff/AiffConvDest.h"
#include "formats/aiff/AiffConvSource.h"
#include "formats/midi/MIDIConvSource.h"
#include "formats/directshow/DirectShowConvDest.h"
#include "formats/directshow/DirectShowConvSource.h"
#include "formats/mp3/MP3ConvDest.h"
#include "formats/ogg/OggConvDest.h"
#include "formats/qcp/QCPConvSource.h"
#include "formats/wav/WavConvDest.h"
#include "formats/wav/WavConvSource.h"
#include "formats/wma/WMAConvDest.h"
#include "formats/wma/WMAConvSource.h"
#include "tavcore.h"

namespace {
template <class Interface>
struct ClassEntry {
  const GUID* classId;
  Interface* (*create)();  // null: the class is not part of this build yet
};

const ClassEntry<IConvertSource> kSourceClasses[] = {
    {&CLSID_CWMAConvSource, &CWMAConvSource::Create},
    {&CLSID_CAudioCDTrack, &CAudioCDTrack::Create},
    {&CLSID_CWavConvSource, &CWavConvSource::Create},
    {&CLSID_CAIFFConvSource, &CAIFFConvSource::Create},
    {&CLSID_CMIDIConvSource, &CMIDIConvSource::Create},
    {&CLSID_CQCPConvSource, &CQCPConvSource::Create},
    {&CLSID_CDirectShowConvSource, &CDirectShowConvSource::Create},
};

const ClassEntry<IConvertDestination> kDestinationClasses[] = {
    {&CLSID_CAIFFConvDest, &CAIFFConvDest::Create}, {&CLSID_CDirectShowConvDest, &CDirectShowConvDest::Create},
    {&CLSID_COggConvDest, &COggConvDest::Create},   {&CLSID_CWavConvDest, &CWavConvDest::Create},
    {&CLSID_CMP3ConvDest, &CMP3ConvDest::Create},   {&CLSID_CWMAConvDest, &CWMAConvDest::Create},
};

template <class Interface, size_t N>
HRESULT Create(const ClassEntry<Interface> (&classes)[N], const CONVFORMAT* format, const GUID* classId,
               Interface** out) {
  if (!classId) return E_NOTIMPL;  // *out stays as the caller left it
  *out = nullptr;
  for (const ClassEntry<Interface>& entry : classes) {
    if (!IsEqualGUID(*entry.classId, *classId)) continue;
    if (!entry.create) return E_NOTIMPL;
    Interface* object = entry.create();  // bad_alloc becomes E_OUTOFMEMORY at the boundary
    object->SetFormatIndex(static_cast<int>(ConvGetFormatPos(format)));
    *out = object;
    return S_OK;
  }
  return E_NOTIMPL;
}
}  // namespace

TAVCORE_API HRESULT WINAPI ConvCreateSource(const CONVFORMAT* format, IConvertSource** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!format || !out) return E_INVALIDARG;
    return Create(kSourceClasses, format, format->sourceClass, out);
  });
}

TAVCORE_API HRESULT WINAPI ConvCreateDest(const CONVFORMAT* format, IConvertDestination** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!format || !out) return E_INVALIDARG;
    return Create(kDestinationClasses, format, format->destinationClass, out);
  });
}
