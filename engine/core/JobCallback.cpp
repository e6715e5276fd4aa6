// The job's view of the caller's callback.
#include "JobCallback.h"

#include <climits>
#include <cwchar>

void CJobCallback::LogStyled(const wchar_t* text, const wchar_t* style) {
  if (style && wcschr(style, L'e')) errorLogged = true;
  caller.LogStyled(text, style);
}

void CJobCallback::SetByteRange(UINT32 total) {
  shift = 0;
  while ((static_cast<unsigned long long>(total) >> shift) > INT_MAX) ++shift;
  caller.SetProgressRange(static_cast<int>(total >> shift));
}

void CJobCallback::SetBytePosition(UINT32 bytes) {
  position = bytes;
  done = 0;
  caller.SetProgressPos(static_cast<int>(position >> shift));
}

void CJobCallback::StepProgress(int step) {
  if (shift == 0) {
    caller.StepProgress(step);
    return;
  }
  // Steps are passed on in whole units; the remainder waits for the next step.
  unsigned long long before = (position + done) >> shift;
  done += static_cast<unsigned>(step);
  unsigned long long after = (position + done) >> shift;
  if (after > before) caller.StepProgress(static_cast<int>(after - before));
}
