// Ripping is one pass of 27-frame reads. A block the drive cannot read becomes silence of its length, so the
// audio after it keeps its place, and the log says which frames they were.
#include "AudioCDTrack.h"

#include <id3/globals.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "AudioCD.h"
#include "AudioCDDevices.h"
#include "ComPtr.h"
#include "PathText.h"
#include "RipChecksums.h"
#include "ScsiLayer.h"

namespace {

UINT32 LengthFrames(const cdrip::CDTrackInfo& info) { return info.lengthSectors; }

void AddTextFrame(IMetadataTag* tag, UINT32 number, const std::wstring& text) {
  if (text.empty()) return;
  IMetadataFrameText* frame = nullptr;
  if (FAILED(MetadataCreateFrame(number, IID_IMetadataFrameText, reinterpret_cast<void**>(&frame))) || !frame)
    return;
  frame->SetText(text.c_str());
  frame->AttachTo(tag);
  frame->Release();
}

std::wstring Text(bool (STDMETHODCALLTYPE cdrip::IAudioCD::*get)(wchar_t*, int), cdrip::IAudioCD* disc) {
  wchar_t buffer[1025] = {};
  (disc->*get)(buffer, 1025);
  return buffer;
}

}  // namespace

CAudioCDTrack::CAudioCDTrack() {
  CONVFORMAT row;
  if (SUCCEEDED(ConvGetFormatByName(&row, L"CD Track"))) formatIndex = static_cast<int>(ConvGetFormatPos(&row));
}

CAudioCDTrack::CAudioCDTrack(CAudioCD* disc, UINT32 index, const cdrip::CDTrackInfo& info, const std::wstring& title,
                             const std::wstring& extended)
    : CAudioCDTrack() {
  this->title = title;
  this->extended = extended;
  AttachTo(disc, index, info);
}

CAudioCDTrack::~CAudioCDTrack() { Detach(); }

HRESULT CAudioCDTrack::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IConvertSource)) {
    *out = static_cast<IConvertSource*>(this);
  } else if (IsEqualGUID(iid, IID_IMetadata)) {
    *out = static_cast<IMetadata*>(this);
  } else if (IsEqualGUID(iid, cdrip::IID_IAudioCDTrack)) {
    *out = static_cast<cdrip::IAudioCDTrack*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

void CAudioCDTrack::AttachTo(CAudioCD* newDisc, UINT32 newIndex, const cdrip::CDTrackInfo& newInfo) {
  disc = newDisc;
  index = newIndex;
  info = newInfo;
  disc->Attach(this);
}

HRESULT CAudioCDTrack::Detach() {
  if (CAudioCD* leaving = disc) {
    disc = nullptr;
    leaving->Detach(this);
  }
  return S_OK;
}

bool CAudioCDTrack::SetFileName(const wchar_t* path) {
  Detach();
  if (!path || !CDefConvertSource::SetFileName(path)) return false;
  const wchar_t letter = static_cast<wchar_t>(towupper(path[0]));
  if (letter < L'A' || letter > L'Z' || path[1] != L':') return false;
  ComPtr<cdrip::IAudioCDDevices> devices;
  ComPtr<cdrip::IAudioCD> cd;
  ComPtr<cdrip::IAudioCDTrack> found;
  if (FAILED(CreateAudioCDDevices(&devices)) || FAILED(devices->GetCDByDrive(letter - L'A', &cd)) ||
      FAILED(cd->ReadTOC()) || FAILED(cd->GetTrackFromCDAFile(path, &found)))
    return false;
  auto* track = static_cast<CAudioCDTrack*>(found.Get());
  AttachTo(static_cast<CAudioCD*>(cd.Get()), track->index, track->info);
  title = PathFileName(path);
  extended.clear();
  return true;
}

bool CAudioCDTrack::GetFileName(wchar_t* buf, int cch) {
  if (!disc || !buf || cch <= 0) return false;
  wchar_t name[32];
  std::swprintf(name, 32, L"%c:\\Track%02d.cda", L'A' + disc->GetDriveNumber(), info.track);
  return CopyTruncated(buf, cch, name);
}

bool CAudioCDTrack::GetFileTitle(wchar_t* buf, int cch) { return CopyTruncated(buf, cch, title); }

bool CAudioCDTrack::GetFolder(wchar_t* buf, int cch) { return disc && disc->GetDisplayName(buf, cch); }

bool CAudioCDTrack::GetClassId(GUID* out) {
  if (out) *out = CLSID_CAudioCDTrack;
  return false;
}

bool CAudioCDTrack::Open() {
  if (!disc || !CDefConvertSource::Open()) return false;
  int value = 2;
  if (!ReadPInt(L"AudioCD", L"JitterCorrection", &value) || value < 0 || value > 2) value = 2;
  jitterCorrection = value;
  value = -1;
  readingSpeed = ReadPInt(L"AudioCD", L"CDDAReadingSpeed", &value) ? value : -1;
  firstSector = info.startSector;
  endSector = info.startSector + info.lengthSectors;
  if (startTimeMs > 0) {
    firstSector += static_cast<UINT32>(static_cast<unsigned long long>(startTimeMs) * 75 / 1000);
    if (firstSector > endSector) firstSector = endSector;
  }
  dataSize = info.lengthSectors * scsi::kFrameBytes;
  format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  return true;
}

bool CAudioCDTrack::ReadAll(IPlayCallback* sink) {
  if (!CDefConvertSource::ReadAll(sink)) return false;
  if (!disc) {
    LogError(L"Track object invalid");
    return false;
  }
  std::unique_ptr<scsi::CDReadRequest> request(new (std::nothrow) scsi::CDReadRequest);
  if (!request) {
    LogError(L"Out of memory");
    return false;
  }
  const int handle = disc->OpenDrive();
  if (!handle) {
    LogError(L"Device cannot be opened");
    return false;
  }
  ScsiSetOption(handle, scsi::kOptionReadSpeed, readingSpeed);

  const bool wholeTrack = firstSector == info.startSector;
  RipChecksums checksums(static_cast<unsigned long long>(info.lengthSectors) * 588, index == 0,
                         index + 1 == disc->AudioTrackCount());
  UINT32 remaining = endSector - firstSector;
  *request = {};
  request->startSector = firstSector;
  request->frameCount = scsi::kFramesPerRequest;
  request->bufferBytes = sizeof(request->data);
  int failedBlocks = 0;
  bool stopped = false;
  while (remaining > 0) {
    if (remaining < request->frameCount) request->frameCount = remaining;
    if (ScsiReadAudio(handle, request.get()) != scsi::kDone) {
      const int error = ScsiLastError();
      LogError(L"Error reading frame %d to %d [Code %d, ASPI 0x%02lX]", request->startSector,
               request->startSector + request->frameCount, error, static_cast<unsigned long>(ScsiLastStatus()));
      request->bytesRead = request->frameCount * scsi::kFrameBytes;
      std::memset(request->data, 0, request->bytesRead);
      ++failedBlocks;
    }
    request->startSector += request->frameCount;
    remaining -= request->frameCount;
    checksums.Add(request->data, request->bytesRead);
    if (!sink->OnData(request->data, request->bytesRead)) {
      stopped = true;
      break;
    }
  }
  ScsiClose(handle);

  if (failedBlocks > 0) {
    LogError(L"Track %d: %d blocks could not be read and were replaced by silence; the rip is not exact", info.track,
             failedBlocks);
  } else if (wholeTrack && !stopped) {
    LogInfo(L"Track %d: CRC32 %08X, AccurateRip v1 %08X, AccurateRip v2 %08X", info.track, checksums.Crc32(),
            checksums.AccurateRipV1(), checksums.AccurateRipV2());
  }
  return true;
}

bool CAudioCDTrack::GetMetadata(IMetadata** out) {
  return out && SUCCEEDED(QueryInterface(IID_IMetadata, reinterpret_cast<void**>(out)));
}

HRESULT CAudioCDTrack::GetLength(BYTE* minutes, BYTE* seconds, BYTE* frames) {
  if (!disc) return E_FAIL;
  const UINT32 length = LengthFrames(info);
  if (minutes) *minutes = static_cast<BYTE>(length / 4500);
  if (seconds) *seconds = static_cast<BYTE>(length / 75 % 60);
  if (frames) *frames = static_cast<BYTE>(length % 75);
  return S_OK;
}

HRESULT CAudioCDTrack::GetCD(cdrip::IAudioCD** out) {
  if (!disc) return E_FAIL;
  if (!out) return E_INVALIDARG;
  *out = disc;
  disc->AddRef();
  return S_OK;
}

HRESULT CAudioCDTrack::GetInfo(cdrip::CDTrackInfo* out) {
  if (!out) return E_INVALIDARG;
  *out = info;
  return S_OK;
}

HRESULT CAudioCDTrack::GetTag(IMetadataTag** out) {
  if (!out) return E_INVALIDARG;
  IMetadataTag* tag = nullptr;
  const HRESULT made = MetadataCreateTag(&tag);
  if (FAILED(made)) return made;
  wchar_t text[32];
  std::swprintf(text, 32, L"%d/%d", info.track, disc ? static_cast<int>(disc->AudioTrackCount()) : 99);
  AddTextFrame(tag, ID3FID_TRACKNUM, text);
  if (disc) {
    // The track's own record: on a disc with a data track first, track numbers and record indices differ.
    wchar_t buffer[1025] = {};
    disc->GetTrackTitle(index, buffer, 1025);
    AddTextFrame(tag, ID3FID_TITLE, buffer);
    buffer[0] = 0;
    disc->GetTrackExtended(index, buffer, 1025);
    AddTextFrame(tag, ID3FID_SUBTITLE, buffer);
    std::wstring album = Text(&cdrip::IAudioCD::GetTitle, disc);
    if (album.empty() && disc->GetSerial() != 0) {
      std::swprintf(text, 32, L"%08X", disc->GetSerial());
      album = text;
    }
    AddTextFrame(tag, ID3FID_ALBUM, album);
    AddTextFrame(tag, ID3FID_LEADARTIST, Text(&cdrip::IAudioCD::GetArtist, disc));
    AddTextFrame(tag, ID3FID_CONTENTTYPE, Text(&cdrip::IAudioCD::GetGenre, disc));
    int year = -1;
    disc->GetYear(&year);
    if (year != -1) AddTextFrame(tag, ID3FID_YEAR, std::to_wstring(year));
  } else {
    AddTextFrame(tag, ID3FID_TITLE, title);
    AddTextFrame(tag, ID3FID_SUBTITLE, extended);
  }
  const unsigned long long lengthMs = static_cast<unsigned long long>(LengthFrames(info)) * 1000 / 75;
  if (lengthMs) AddTextFrame(tag, ID3FID_SONGLEN, std::to_wstring(lengthMs));
  AddTextFrame(tag, ID3FID_MEDIATYPE, L"CD");
  *out = tag;
  return S_OK;
}
