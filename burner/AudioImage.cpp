// The audio CD image recorder: a stash of track blocks, then a BIN of raw sectors and its CUE sheet.
#include "AudioImage.h"

#include <algorithm>
#include <cstring>

#include "tavcore.h"

namespace {

std::string Msf(long sectors) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02ld:%02ld:%02ld", sectors / (60 * 75), (sectors / 75) % 60, sectors % 75);
  return text;
}

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  if (!WriteFile(file, data, size, &written, nullptr)) return LastError();
  return written == size ? S_OK : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

}  // namespace

CAudioImageWriter::CAudioImageWriter(std::wstring bin, std::wstring cue, long capacityBlocks)
    : binPath(std::move(bin)), cuePath(std::move(cue)), capacity(capacityBlocks) {}

CAudioImageWriter::~CAudioImageWriter() { Clear(); }

long CAudioImageWriter::UsedBlocks() const {
  long used = 0;
  for (long blocks : trackBlocks) used += blocks;
  if (trackBlocks.size() > 1) used += static_cast<long>(trackBlocks.size() - 1) * kGapBlocks;
  return used;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::GetTotalAudioTracks(long* tracks) {
  if (!tracks) return E_POINTER;
  *tracks = static_cast<long>(trackBlocks.size());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::GetTotalAudioBlocks(long* blocks) {
  if (!blocks) return E_POINTER;
  *blocks = capacity;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::GetUsedAudioBlocks(long* blocks) {
  if (!blocks) return E_POINTER;
  *blocks = UsedBlocks();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::GetAvailableAudioTrackBlocks(long* blocks) {
  if (!blocks) return E_POINTER;
  const long gap = !trackOpen && !trackBlocks.empty() ? kGapBlocks : 0;
  *blocks = std::max(0L, capacity - UsedBlocks() - gap);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::GetAudioBlockSize(long* blockBytes) {
  if (!blockBytes) return E_POINTER;
  *blockBytes = kBlockBytes;
  return S_OK;
}

HRESULT CAudioImageWriter::OpenStash() {
  if (stash) return S_OK;
  wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
  ACTempPath(folder);
  if (!GetTempFileNameW(folder, L"stg", 0, path)) return LastError();
  stash = _wfopen(path, L"w+b");
  if (!stash) {
    DeleteFileW(path);
    return IMAPI_E_FILEACCESS;
  }
  stashPath = path;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::CreateAudioTrack(long) {
  if (trackOpen) return IMAPI_E_TRACKOPEN;
  const long gap = trackBlocks.empty() ? 0 : kGapBlocks;
  if (static_cast<long>(trackBlocks.size()) >= kMaxTracks || UsedBlocks() + gap + 1 > capacity) return IMAPI_E_DISCFULL;
  if (HRESULT hr = OpenStash(); FAILED(hr)) return hr;
  trackBlocks.push_back(0);
  trackOpen = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::AddAudioTrackBlocks(byte* data, long size) {
  if (!trackOpen) return IMAPI_E_TRACKNOTOPEN;
  if (size < 0 || size % kBlockBytes != 0 || (size > 0 && !data)) return E_INVALIDARG;
  const long blocks = size / kBlockBytes;
  const long taken = std::min(blocks, std::max(0L, capacity - UsedBlocks()));
  if (taken > 0) {
    long long stored = 0;
    for (long count : trackBlocks) stored += count;
    const size_t bytes = static_cast<size_t>(taken) * kBlockBytes;
    // Blocks count only once they are in the stash, so a failed write leaves the track as it was.
    if (_fseeki64(stash, stored * kBlockBytes, SEEK_SET) != 0 || fwrite(data, 1, bytes, stash) != bytes ||
        fflush(stash) != 0)
      return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    trackBlocks.back() += taken;
  }
  return taken < blocks ? IMAPI_E_DISCFULL : S_OK;
}

HRESULT STDMETHODCALLTYPE CAudioImageWriter::CloseAudioTrack() {
  if (!trackOpen) return IMAPI_E_TRACKNOTOPEN;
  trackOpen = false;
  if (trackBlocks.back() == 0) {
    trackBlocks.pop_back();
    return S_FALSE;
  }
  return S_OK;
}

void CAudioImageWriter::Clear() {
  if (stash) fclose(stash);
  stash = nullptr;
  if (!stashPath.empty()) DeleteFileW(stashPath.c_str());
  stashPath.clear();
  trackBlocks.clear();
  trackOpen = false;
}

std::string CAudioImageWriter::CueText() const {
  std::string name;
  const size_t slash = binPath.find_last_of(L"\\/");
  const std::wstring wide = slash == std::wstring::npos ? binPath : binPath.substr(slash + 1);
  const int count =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  name.resize(static_cast<size_t>(count));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), name.data(), count, nullptr, nullptr);

  std::string text = "FILE \"" + name + "\" BINARY\r\n";
  long position = 0;  // sectors from the BIN's start
  for (size_t i = 0; i < trackBlocks.size(); ++i) {
    char line[32];
    std::snprintf(line, sizeof(line), "  TRACK %02zu AUDIO\r\n", i + 1);
    text += line;
    // The first track's two seconds precede the disc's first block and are not in the image.
    if (i > 0) {
      text += "    INDEX 00 " + Msf(position) + "\r\n";
      position += kGapBlocks;
    }
    text += "    INDEX 01 " + Msf(position) + "\r\n";
    position += trackBlocks[i];
  }
  return text;
}

HRESULT CAudioImageWriter::WriteBin(const std::wstring& path) const {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  HRESULT hr = S_OK;
  constexpr long kPieceBlocks = 32;
  std::vector<BYTE> buffer(static_cast<size_t>(kPieceBlocks) * kBlockBytes);
  if (_fseeki64(stash, 0, SEEK_SET) != 0) hr = IMAPI_E_FILEACCESS;
  for (size_t i = 0; SUCCEEDED(hr) && i < trackBlocks.size(); ++i) {
    if (i > 0) {
      std::fill(buffer.begin(), buffer.end(), BYTE{0});
      for (long left = kGapBlocks; SUCCEEDED(hr) && left > 0; left -= std::min(left, kPieceBlocks))
        hr = WriteAll(file, buffer.data(), static_cast<DWORD>(std::min(left, kPieceBlocks) * kBlockBytes));
    }
    for (long left = trackBlocks[i]; SUCCEEDED(hr) && left > 0;) {
      const long piece = std::min(left, kPieceBlocks);
      const size_t bytes = static_cast<size_t>(piece) * kBlockBytes;
      if (fread(buffer.data(), 1, bytes, stash) != bytes)
        hr = IMAPI_E_FILEACCESS;
      else
        hr = WriteAll(file, buffer.data(), static_cast<DWORD>(bytes));
      left -= piece;
    }
  }
  if (SUCCEEDED(hr) && !FlushFileBuffers(file)) hr = LastError();
  CloseHandle(file);
  if (FAILED(hr)) DeleteFileW(path.c_str());
  return hr;
}

HRESULT CAudioImageWriter::WriteImage() {
  if (trackOpen) return IMAPI_E_TRACKOPEN;
  if (trackBlocks.empty() || !stash) return IMAPI_E_GENERIC;
  const std::wstring binPart = binPath + L".part", cuePart = cuePath + L".part";
  HRESULT hr = WriteBin(binPart);
  if (FAILED(hr)) return hr;

  const std::string sheet = CueText();
  HANDLE file = CreateFileW(cuePart.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    hr = LastError();
  } else {
    hr = WriteAll(file, sheet.data(), static_cast<DWORD>(sheet.size()));
    CloseHandle(file);
  }
  if (SUCCEEDED(hr) && !MoveFileExW(binPart.c_str(), binPath.c_str(), MOVEFILE_REPLACE_EXISTING)) hr = LastError();
  if (SUCCEEDED(hr) && !MoveFileExW(cuePart.c_str(), cuePath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    hr = LastError();
    DeleteFileW(binPath.c_str());  // a BIN without its sheet is no image
  }
  if (FAILED(hr)) {
    DeleteFileW(binPart.c_str());
    DeleteFileW(cuePart.c_str());
  }
  return hr;
}
