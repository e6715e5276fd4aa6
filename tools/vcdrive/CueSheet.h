// CUE sheets of raw disc images (BIN files of 2352-byte sectors): what the virtual CD drive serves. Parsing gives
// the tracks as the sheet writes them; the layout places them on the disc, sector by sector.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CueTrack {
  int number = 0;
  bool audio = true;  // AUDIO, else a MODE1/2352 or MODE2/2352 data track
  size_t file = 0;    // index into CueSheet::files
  long index0 = -1;   // INDEX 00 in sectors from the file's start, -1 when absent
  long index1 = -1;   // INDEX 01, the track's start
  long pregap = 0;    // PREGAP sectors of silence that are not in the file
};

struct CueSheet {
  std::vector<std::wstring> files;  // as written in the sheet (relative to its folder)
  std::vector<CueTrack> tracks;
};

// Parses the sheet's text; false with the line number and what is wrong.
bool ParseCueSheet(const std::string& text, CueSheet* out, std::wstring* error);

// Where each sector of the disc comes from.
struct DiscLayout {
  struct Track {
    int number;
    bool audio;
    DWORD start;  // logical block address of INDEX 01
  };
  std::vector<Track> tracks;
  DWORD leadOut = 0;  // logical block address
  struct Span {
    DWORD first, count;         // sectors of the disc
    long file;                  // -1: silence (a PREGAP)
    unsigned long long offset;  // byte offset of the first sector in the file
  };
  std::vector<Span> spans;
};

// Lays the sheet out on a disc whose files hold fileSectors[i] whole sectors; false with the reason when the
// sheet's times do not fit the files, tracks are out of order or there are more than 99.
bool LayOutDisc(const CueSheet& sheet, const std::vector<unsigned long long>& fileSectors, DiscLayout* out,
                std::wstring* error);
