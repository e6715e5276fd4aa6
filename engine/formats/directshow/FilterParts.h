// Small pieces every filter of the engine needs: media-type copies, enumerators, a scoped lock.
#pragma once

#include <windows.h>
#include <dshow.h>

// Releases what a media type owns (its format block and its object), leaving the record itself.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);
// A deep copy: the format block in task memory and a reference to the object.
HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE& from);
// An enumerator of one pin (one reference), or null without memory.
IEnumPins* NewPinEnum(IPin* pin);
// An enumerator of one media type (copied), or of none when type is null.
IEnumMediaTypes* NewMediaTypeEnum(const AM_MEDIA_TYPE* type);

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION& cs) : cs(cs) { EnterCriticalSection(&cs); }
  ~CriticalSectionLock() { LeaveCriticalSection(&cs); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION& cs;
};
