// An audio CD image behind the Red Book staging interface: tracks of whole 2352-byte blocks go to a stash
// file; WriteImage turns them into a BIN of raw sectors and its CUE sheet, with the fixed two-second gaps of
// track-at-once recording between tracks.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Imapi.h"
#include "RefCounted.h"

class CAudioImageWriter : public CRefCounted<IRedbookDiscMaster, IID_IRedbookDiscMaster, CAudioImageWriter> {
 public:
  static constexpr long kBlockBytes = 2352;
  static constexpr long kGapBlocks = 150;  // two seconds before every track after the first
  static constexpr long kMaxTracks = 99;
  static constexpr long kBlocks74Minutes = 74L * 60 * 75;
  static constexpr long kBlocks80Minutes = 80L * 60 * 75;

  // binPath/cuePath: where WriteImage puts the image; the sheet names the BIN by its file name alone.
  // capacityBlocks: the disc's blocks, gaps included.
  CAudioImageWriter(std::wstring binPath, std::wstring cuePath, long capacityBlocks = kBlocks74Minutes);
  virtual ~CAudioImageWriter();
  CAudioImageWriter(const CAudioImageWriter&) = delete;
  CAudioImageWriter& operator=(const CAudioImageWriter&) = delete;


  HRESULT STDMETHODCALLTYPE GetTotalAudioTracks(long* tracks) override;
  HRESULT STDMETHODCALLTYPE GetTotalAudioBlocks(long* blocks) override;
  // Blocks of all tracks, the open one included, and their gaps.
  HRESULT STDMETHODCALLTYPE GetUsedAudioBlocks(long* blocks) override;
  // What the open track can still take (or the next track, when none is open).
  HRESULT STDMETHODCALLTYPE GetAvailableAudioTrackBlocks(long* blocks) override;
  HRESULT STDMETHODCALLTYPE GetAudioBlockSize(long* blockBytes) override;
  // IMAPI_E_TRACKOPEN while a track is open; IMAPI_E_DISCFULL at 99 tracks or when not even the gap and one
  // block fit.
  HRESULT STDMETHODCALLTYPE CreateAudioTrack(long blocks) override;
  // E_INVALIDARG for a size that is not whole blocks; IMAPI_E_TRACKNOTOPEN without an open track;
  // IMAPI_E_DISCFULL after keeping the blocks that fit.
  HRESULT STDMETHODCALLTYPE AddAudioTrackBlocks(byte* data, long size) override;
  // IMAPI_E_TRACKNOTOPEN without an open track. A track that received no block is dropped (S_FALSE): an
  // empty track cannot be laid out on a disc.
  HRESULT STDMETHODCALLTYPE CloseAudioTrack() override;

  // Drops every track (the disc master's ClearFormatContent).
  void Clear();
  // Writes the BIN and the CUE sheet of the closed tracks. Both are written under temporary names and
  // put in place only when complete, so a failure leaves no half-written image (and an older image at
  // those paths untouched unless both replacements succeed). IMAPI_E_TRACKOPEN while a track is open,
  // IMAPI_E_GENERIC with no track, else S_OK or the file system's error.
  HRESULT WriteImage();
  // The sheet WriteImage writes for the current tracks.
  std::string CueText() const;

 private:
  HRESULT OpenStash();
  long UsedBlocks() const;
  HRESULT WriteBin(const std::wstring& path) const;

  friend class CRefCounted<IRedbookDiscMaster, IID_IRedbookDiscMaster, CAudioImageWriter>;  // deletes it at the last Release
  std::wstring binPath, cuePath;
  long capacity;
  std::vector<long> trackBlocks;  // blocks of each track, the open one last
  bool trackOpen = false;
  std::wstring stashPath;
  FILE* stash = nullptr;  // every track's blocks, one after another
};
