// The conversion job's PCM sink.
#include "JobSink.h"

bool CPlayCallback::OnData(const void* data, UINT32 size) {
  if (callback && callback->IsCancelled()) return false;
  if (size == 0) return true;
  if (byteLimit != kNoLimit) {
    if (bytesDone >= byteLimit) {
      limitReached = true;
      return false;
    }
    if (size > byteLimit - bytesDone) size = byteLimit - bytesDone;
  }
  if (silence) silence->Feed(data, size);
  if (tempo) tempo->Feed(data, size);
  if (normalizer) normalizer->Analyze(size, data);
  if (tempFile) {
    // A short write (a full disk) would silently lose audio in the second pass: it stops the job.
    if (!tempFile->IsOpen() || !tempFile->Write(data, size)) {
      if (callback) callback->Log(L"Temporary file cannot be written\n");
      return false;
    }
  }
  if (destination && !destination->Write(size, data)) return false;
  if (callback && stepProgress) callback->StepProgress(static_cast<int>(size));
  bytesDone += size;
  return true;
}
