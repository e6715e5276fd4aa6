// The CUE commands a raw image needs: FILE ... BINARY, TRACK nn AUDIO|MODE1/2352|MODE2/2352, INDEX 00/01, PREGAP;
// the descriptive ones (TITLE, PERFORMER, REM, ...) are skipped.
#include "CueSheet.h"

#include <cctype>
#include <sstream>

namespace {

bool Fail(std::wstring* error, int line, const std::wstring& text) {
  if (error) *error = L"Line " + std::to_wstring(line) + L": " + text;
  return false;
}

std::string Upper(std::string word) {
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

// "mm:ss:ff" in sectors; -1 when it is not a time.
long ParseTime(const std::string& text) {
  int minutes = 0, seconds = 0, frames = 0;
  char colon1 = 0, colon2 = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c%d%c", &minutes, &colon1, &seconds, &colon2, &frames, &rest) != 5 ||
      colon1 != ':' || colon2 != ':' || minutes < 0 || minutes > 99 || seconds < 0 || seconds > 59 || frames < 0 ||
      frames > 74)
    return -1;
  return (minutes * 60L + seconds) * 75 + frames;
}

std::wstring Widen(const std::string& text) {
  int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), count);
  return result;
}

}  // namespace

bool ParseCueSheet(const std::string& text, CueSheet* out, std::wstring* error) {
  CueSheet sheet;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) continue;
    command = Upper(command);
    if (command == "FILE") {
      const size_t open = line.find('"'), close = line.rfind('"');
      std::string name, type;
      if (open != std::string::npos && close > open) {
        name = line.substr(open + 1, close - open - 1);
        std::istringstream(line.substr(close + 1)) >> type;
      } else {
        words >> name >> type;
      }
      if (name.empty()) return Fail(error, number, L"FILE names no file");
      if (Upper(type) != "BINARY") return Fail(error, number, L"only BINARY files of raw sectors are served");
      sheet.files.push_back(Widen(name));
    } else if (command == "TRACK") {
      int track = 0;
      std::string mode;
      if (!(words >> track >> mode) || track < 1 || track > 99)
        return Fail(error, number, L"TRACK needs a number from 1 to 99 and a mode");
      if (sheet.files.empty()) return Fail(error, number, L"TRACK before any FILE");
      if (!sheet.tracks.empty() && track != sheet.tracks.back().number + 1)
        return Fail(error, number, L"tracks must be numbered one after another");
      mode = Upper(mode);
      if (mode != "AUDIO" && mode != "MODE1/2352" && mode != "MODE2/2352")
        return Fail(error, number, L"only AUDIO, MODE1/2352 and MODE2/2352 tracks are served");
      CueTrack entry;
      entry.number = track;
      entry.audio = mode == "AUDIO";
      entry.file = sheet.files.size() - 1;
      sheet.tracks.push_back(entry);
    } else if (command == "INDEX" || command == "PREGAP") {
      if (sheet.tracks.empty()) return Fail(error, number, Widen(command) + L" before any TRACK");
      CueTrack& track = sheet.tracks.back();
      int index = 1;
      std::string time;
      if (command == "INDEX" && !(words >> index)) return Fail(error, number, L"INDEX needs a number and a time");
      if (!(words >> time) || ParseTime(time) < 0) return Fail(error, number, L"a time must be mm:ss:ff");
      const long sectors = ParseTime(time);
      if (command == "PREGAP") {
        track.pregap = sectors;
      } else if (index == 0) {
        track.index0 = sectors;
      } else if (index == 1) {
        track.index1 = sectors;
      }  // further indexes mark places inside the track and change nothing here
      if (track.file != sheet.files.size() - 1) return Fail(error, number, L"an INDEX of a track in another FILE");
    }
  }
  if (sheet.tracks.empty()) return Fail(error, 0, L"the sheet has no TRACK");
  for (const CueTrack& track : sheet.tracks)
    if (track.index1 < 0) return Fail(error, 0, L"track " + std::to_wstring(track.number) + L" has no INDEX 01");
  *out = sheet;
  return true;
}

bool LayOutDisc(const CueSheet& sheet, const std::vector<unsigned long long>& fileSectors, DiscLayout* out,
                std::wstring* error) {
  if (fileSectors.size() != sheet.files.size()) return Fail(error, 0, L"a FILE of the sheet is missing");
  if (sheet.tracks.size() > 99) return Fail(error, 0, L"more than 99 tracks");
  DiscLayout layout;
  unsigned long long disc = 0;  // the next sector of the disc
  for (size_t i = 0; i < sheet.tracks.size(); ++i) {
    const CueTrack& track = sheet.tracks[i];
    const unsigned long long sectors = fileSectors[track.file];
    const bool lastInFile = i + 1 == sheet.tracks.size() || sheet.tracks[i + 1].file != track.file;
    // The track's part of its file: from its INDEX 00 (or 01) to the next track's first index, or the file's end.
    const unsigned long long from = static_cast<unsigned long long>(track.index0 >= 0 ? track.index0 : track.index1);
    const unsigned long long to =
        lastInFile ? sectors
                   : static_cast<unsigned long long>(sheet.tracks[i + 1].index0 >= 0 ? sheet.tracks[i + 1].index0
                                                                                     : sheet.tracks[i + 1].index1);
    if (track.index0 > track.index1 || from > to || static_cast<unsigned long long>(track.index1) >= to)
      return Fail(error, 0, L"the times of track " + std::to_wstring(track.number) + L" do not fit its file");
    if (track.pregap > 0) {
      layout.spans.push_back({static_cast<DWORD>(disc), static_cast<DWORD>(track.pregap), -1, 0});
      disc += static_cast<unsigned long long>(track.pregap);
    }
    const unsigned long long start = disc + (static_cast<unsigned long long>(track.index1) - from);
    layout.spans.push_back(
        {static_cast<DWORD>(disc), static_cast<DWORD>(to - from), static_cast<long>(track.file), from * 2352});
    disc += to - from;
    // A disc holds at most 100 minutes here; block addresses must stay far from overflowing.
    if (disc > 100ull * 60 * 75) return Fail(error, 0, L"the image is longer than any disc");
    layout.tracks.push_back({track.number, track.audio, static_cast<DWORD>(start)});
  }
  layout.leadOut = static_cast<DWORD>(disc);
  *out = layout;
  return true;
}
