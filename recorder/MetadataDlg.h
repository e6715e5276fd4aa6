// The tags of the next recordings ("Edit ID3") and their writing into a finished file.
#pragma once

#include <windows.h>

#include <string>

#include "Dialog.h"
#include "tavcore.h"

// Kept in memory for the program's lifetime. Empty texts and zero numbers are not written.
struct RecordingTags {
  static constexpr size_t kTextLength = 200, kCommentLength = 1000;
  std::wstring title, artist, album;
  int genre = -1;  // -1: none
  int year = 0;
  int track = 0;
  std::wstring comment;
};

// Writes the tags into the closed destination's file: nothing when the destination has no metadata object.
HRESULT WriteRecordingTags(IConvertDestination* destination, const RecordingTags& tags);

class CMetadataDlg : public CDialog {
 public:
  explicit CMetadataDlg(const RecordingTags& tags) : tags(tags) {}

  // IDOK (Tags() holds the edited copy) or IDCANCEL.
  INT_PTR Run(HWND parent);
  const RecordingTags& Tags() const { return tags; }

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnInit();
  void Show(const RecordingTags& shown);
  void OnReset();
  void OnOK();

  RecordingTags tags;
};
