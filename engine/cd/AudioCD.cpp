// The disc object. Its TOC comes from two READ TOC answers (block addresses for sectors, MSF for the absolute
// frame addresses CDDB needs); a TOC that cannot be a disc's is refused rather than half-loaded.
#include "AudioCD.h"

#include <cstring>
#include <cwchar>

#include "AudioCDDevices.h"
#include "AudioCDTrack.h"
#include "CDAFile.h"
#include "PassThroughPort.h"
#include "PathText.h"
#include "ScsiLayer.h"
#include "TocParser.h"

namespace {

// Opens and closes the drive around one piece of work unless the caller already holds it open.
class DriveSession {
 public:
  explicit DriveSession(int handle) : handle(handle) {}
  ~DriveSession() {
    if (handle) ScsiClose(handle);
  }
  int Get() const { return handle; }

 private:
  int handle;
};

// Asks the drive behind a letter its INQUIRY texts by pass-through: -1 when it cannot be opened or asked.
int InquireByLetter(wchar_t letter, BYTE (&data)[192]) {
  DeviceIo& io = CurrentDeviceIo();
  wchar_t path[8];
  DevicePath(letter, path);
  const BYTE inquiry[6] = {0x12, 0, 0, 0, sizeof(data), 0};
  const DWORD attempts[2][2] = {{GENERIC_READ, FILE_SHARE_READ},
                                {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE}};
  for (const auto& attempt : attempts) {
    HANDLE device = io.Open(path, attempt[0], attempt[1]);
    if (device == INVALID_HANDLE_VALUE) continue;
    const bool answered = PassThroughCommand(device, inquiry, sizeof(inquiry), data, sizeof(data), true, 2);
    io.Close(device);
    if (answered) return 1;
  }
  return -1;
}

}  // namespace

CAudioCD::CAudioCD(CAudioCDDevices* devices, const cdrip::CDDeviceInfo& drive) : devices(devices), drive(drive) {
  devices->AddRef();
}

CAudioCD::~CAudioCD() {
  WriteCacheIfModified();
  for (CAudioCDTrack* track : attached)
    if (track) track->LoseDisc();
  devices->Release();
}

HRESULT CAudioCD::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, cdrip::IID_IAudioCD)) {
    *out = static_cast<cdrip::IAudioCD*>(this);
  } else if (IsEqualGUID(iid, cdrip::IID_ICDDBQuery)) {
    *out = static_cast<cdrip::ICDDBQuery*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CAudioCD::Release() {
  const ULONG remaining = --refCount;
  if (remaining == 0) delete this;
  return remaining;
}

int CAudioCD::GetDriveNumber() {
  if (driveNumber >= 0) return driveNumber;
  driveNumber = ScsiPassThroughDriveNumber(drive.hostAdapter, drive.target, drive.lun);
  if (driveNumber >= 0) return driveNumber;
  // Through an ASPI library the letter is found by asking each CD drive of the system for its INQUIRY texts; a
  // drive that cannot be asked at all is taken to be this one.
  driveNumber = 3;
  DeviceIo& io = CurrentDeviceIo();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (io.DriveType(letter) != DRIVE_CDROM) continue;
    driveNumber = letter - L'A';
    BYTE data[192] = {};
    if (InquireByLetter(letter, data) < 0) break;
    if (std::memcmp(data + 8, drive.vendor, 8) == 0 && std::memcmp(data + 16, drive.product, 16) == 0 &&
        std::memcmp(data + 32, drive.revision, 4) == 0)
      break;
  }
  return driveNumber;
}

int CAudioCD::OpenDrive() {
  scsi::OpenRequest request = {sizeof(request), 1, drive.hostAdapter, drive.target, drive.lun, 0, 2, {1, 3}};
  return ScsiOpen(&request);
}

HRESULT CAudioCD::ReadTOC() {
  if (!tracks.empty()) {
    WriteCacheIfModified();
    title.clear();
    artist.clear();
    genre.clear();
    category.clear();
    year = -1;
    tracks.clear();
    modified = false;
  }
  DriveSession session(OpenDrive());
  if (!session.Get()) return E_FAIL;
  BYTE blocks[scsi::kTocBytes], msf[scsi::kTocBytes];
  if (ScsiSetOption(session.Get(), scsi::kOptionTocAddressing, 0) != scsi::kDone ||
      ScsiReadTOC(session.Get(), blocks) != scsi::kDone ||
      ScsiSetOption(session.Get(), scsi::kOptionTocAddressing, 1) != scsi::kDone ||
      ScsiReadTOC(session.Get(), msf) != scsi::kDone)
    return E_FAIL;
  ParsedToc parsed;
  std::wstring reason;
  if (!ParseToc(blocks, sizeof(blocks), msf, sizeof(msf), &parsed, &reason)) {
    serial = 0;
    return E_FAIL;
  }
  toc = parsed.toc;
  for (const cdrip::CDTrackInfo& info : parsed.audioTracks) {
    wchar_t name[16];
    std::swprintf(name, 16, L"Track %d", info.track);
    tracks.push_back({name, L"", info});
  }
  for (CAudioCDTrack*& track : attached) {
    if (track && track->Index() >= tracks.size()) {
      CAudioCDTrack* leaving = track;
      track = nullptr;
      leaving->LoseDisc();
      Release();  // the reference the track held
    }
  }
  serial = parsed.serial;
  return S_OK;
}

HRESULT CAudioCD::GetTrack(UINT32 index, cdrip::IAudioCDTrack** out) {
  if (!out || index >= tracks.size()) return E_INVALIDARG;
  const TrackRecord& record = tracks[index];
  *out = new CAudioCDTrack(this, index, record.info, record.title, record.extended);
  return S_OK;
}

HRESULT CAudioCD::GetTrackFromCDAFile(const wchar_t* path, cdrip::IAudioCDTrack** out) {
  if (!out) return E_INVALIDARG;
  CCDAFile file;
  const HRESULT read = file.Read(path);
  if (FAILED(read)) return read;
  if (tracks.empty()) {
    const HRESULT loaded = ReadTOC();
    if (FAILED(loaded)) return loaded;
  }
  const cdrip::CDTrackInfo& wanted = file.Info();
  for (UINT32 i = 0; i < tracks.size(); ++i) {
    const cdrip::CDTrackInfo& info = tracks[i].info;
    if (info.track == wanted.track && info.startSector == wanted.startSector &&
        info.lengthSectors == wanted.lengthSectors)
      return GetTrack(i, out);
  }
  return E_INVALIDARG;
}

HRESULT CAudioCD::GetTrackCount(UINT32* out) {
  if (!out) return E_INVALIDARG;
  *out = AudioTrackCount();
  return S_OK;
}

bool CAudioCD::GetDisplayName(wchar_t* buf, int cch) {
  if (!buf || cch <= 0) return true;
  std::swprintf(buf, cch, L"%hs%hs%hs (%hc:)", drive.vendor, drive.product, drive.revision,
                static_cast<char>('A' + GetDriveNumber()));
  return true;
}

HRESULT CAudioCD::GetYear(int* out) {
  if (!out) return E_INVALIDARG;
  *out = year;
  return S_OK;
}

HRESULT CAudioCD::SetYear(int value) {
  year = value;
  modified = true;
  return S_OK;
}

bool CAudioCD::Copy(const std::wstring& text, wchar_t* buf, int cch) {
  CopyTruncated(buf, cch, text);
  return !text.empty();
}

HRESULT CAudioCD::Set(std::wstring& field, const wchar_t* text) {
  field = text ? text : L"";
  modified = true;
  return S_OK;
}

bool CAudioCD::GetTrackTitle(UINT32 index, wchar_t* buf, int cch) {
  return index < tracks.size() && (Copy(tracks[index].title, buf, cch), true);
}

bool CAudioCD::GetTrackExtended(UINT32 index, wchar_t* buf, int cch) {
  return index < tracks.size() && (Copy(tracks[index].extended, buf, cch), true);
}

bool CAudioCD::SetTrackTitle(UINT32 index, const wchar_t* text) {
  return index < tracks.size() && SUCCEEDED(Set(tracks[index].title, text));
}

bool CAudioCD::SetTrackExtended(UINT32 index, const wchar_t* text) {
  return index < tracks.size() && SUCCEEDED(Set(tracks[index].extended, text));
}

void CAudioCD::Attach(CAudioCDTrack* track) {
  AddRef();
  for (CAudioCDTrack*& slot : attached) {
    if (!slot) {
      slot = track;
      return;
    }
  }
  attached.push_back(track);
}

void CAudioCD::Detach(CAudioCDTrack* track) {
  for (CAudioCDTrack*& slot : attached) {
    if (slot == track) {
      slot = nullptr;
      Release();  // may destroy this disc
      return;
    }
  }
}
