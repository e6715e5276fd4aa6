// CPLSPlaylist: PLS playlists, read only.
#pragma once

#include "Playlist.h"

class CPLSPlaylist final : public CPlaylist<CPLSPlaylist> {
 public:
  HRESULT STDMETHODCALLTYPE Save(const wchar_t* path) override;
  // The values of keys beginning with "File", in the order of their lines; everything else is ignored.
  void Parse(const std::string& text, const std::wstring& folder, UINT codePage);
};
