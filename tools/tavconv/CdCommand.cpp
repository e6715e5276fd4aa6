#include "CdCommand.h"

#include <cwchar>

#include "CdLookup.h"
#include "ConsoleCommands.h"
#include "ConsoleText.h"
#include "tavcore.h"

namespace {

std::wstring Msf(UINT32 frames) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

// The disc's audio tracks, with their CDDB titles when asked to look them up; false when the drive has no
// readable disc.
bool PrintDisc(cdrip::IAudioCD* cd, int driveNumber, bool lookup) {
  if (FAILED(cd->ReadTOC())) {
    WriteText(stdout, L"    No disc, or the disc's table of contents cannot be read\n");
    return false;
  }
  const bool titled = lookup && LookUpDisc(cd, L"    ");
  UINT32 count = 0;
  cd->GetTrackCount(&count);
  const cdrip::CDTOC* toc = cd->GetTOC();
  wchar_t line[256];
  std::swprintf(line, 256, L"    Disc serial %08X, %u audio track%ls of %u on the disc\n", cd->GetSerial(), count,
                count == 1 ? L"" : L"s", toc ? toc->count : 0);
  WriteText(stdout, line);
  if (titled) {
    wchar_t artist[256] = {}, title[256] = {}, genre[64] = {};
    int year = -1;
    cd->GetArtist(artist, 256);
    cd->GetTitle(title, 256);
    cd->GetGenre(genre, 64);
    cd->GetYear(&year);
    WriteText(stdout, std::wstring(L"    ") + artist + L" / " + title +
                          (year > 0 ? L", " + std::to_wstring(year) : std::wstring()) +
                          (genre[0] ? std::wstring(L", ") + genre : std::wstring()) + L"\n");
  }
  WriteText(stdout, L"    Track  Start     Length    File\n");
  for (UINT32 i = 0; i < count; ++i) {
    cdrip::IAudioCDTrack* track = nullptr;
    if (FAILED(cd->GetTrack(i, &track))) continue;
    cdrip::CDTrackInfo info = {};
    track->GetInfo(&info);
    track->Release();
    std::swprintf(line, 256, L"    %5u  %ls  %ls  %c:\\Track%02u.cda", info.track, Msf(info.startSector).c_str(),
                  Msf(info.lengthSectors).c_str(), L'A' + driveNumber, info.track);
    wchar_t title[256] = {};
    if (titled) cd->GetTrackTitle(i, title, 256);
    WriteText(stdout, std::wstring(line) + (titled ? std::wstring(L"  ") + title : std::wstring()) + L"\n");
  }
  return true;
}

}  // namespace

int ListCdDrives(const std::vector<std::wstring>& arguments) {
  const bool lookup = arguments.size() == 1 && arguments[0] == L"--lookup";
  if (!arguments.empty() && !lookup) return UsageError(L"cd takes no arguments but --lookup");
  cdrip::IAudioCDDevices* devices = nullptr;
  if (FAILED(CreateAudioCDDevices(&devices)) || !devices) {
    WriteText(stderr, L"tavconv: the CD drives cannot be listed\n");
    return 1;
  }
  const int count = devices->GetCount();
  if (count == 0) WriteText(stdout, L"No CD drive found\n");
  for (int i = 0; i < count; ++i) {
    wchar_t name[128] = {};
    devices->GetDisplayName(i, name, 128);
    const int driveNumber = devices->GetDriveNumber(i);
    WriteText(stdout, std::wstring(name) + L"\n");
    cdrip::IAudioCD* cd = nullptr;
    if (SUCCEEDED(devices->GetCD(i, &cd))) {
      PrintDisc(cd, driveNumber, lookup);
      cd->Release();
    }
  }
  devices->Release();
  return count == 0 ? 1 : 0;
}
