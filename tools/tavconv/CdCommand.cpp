#include "CdCommand.h"

#include <cwchar>

#include "ConsoleCommands.h"
#include "ConsoleText.h"
#include "tavcore.h"

namespace {

std::wstring Msf(UINT32 frames) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

// The disc's audio tracks; false when the drive has no readable disc.
bool PrintDisc(cdrip::IAudioCD* cd, int driveNumber) {
  if (FAILED(cd->ReadTOC())) {
    WriteText(stdout, L"    No disc, or the disc's table of contents cannot be read\n");
    return false;
  }
  UINT32 count = 0;
  cd->GetTrackCount(&count);
  const cdrip::CDTOC* toc = cd->GetTOC();
  wchar_t line[256];
  std::swprintf(line, 256, L"    Disc serial %08X, %u audio track%ls of %u on the disc\n", cd->GetSerial(), count,
                count == 1 ? L"" : L"s", toc ? toc->count : 0);
  WriteText(stdout, line);
  WriteText(stdout, L"    Track  Start     Length    File\n");
  for (UINT32 i = 0; i < count; ++i) {
    cdrip::IAudioCDTrack* track = nullptr;
    if (FAILED(cd->GetTrack(i, &track))) continue;
    cdrip::CDTrackInfo info = {};
    track->GetInfo(&info);
    track->Release();
    std::swprintf(line, 256, L"    %5u  %ls  %ls  %c:\\Track%02u.cda\n", info.track, Msf(info.startSector).c_str(),
                  Msf(info.lengthSectors).c_str(), L'A' + driveNumber, info.track);
    WriteText(stdout, line);
  }
  return true;
}

}  // namespace

int ListCdDrives(const std::vector<std::wstring>& arguments) {
  if (!arguments.empty()) return UsageError(L"cd takes no arguments");
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
      PrintDisc(cd, driveNumber);
      cd->Release();
    }
  }
  devices->Release();
  return count == 0 ? 1 : 0;
}
