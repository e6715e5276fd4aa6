// CM3UPlaylist: M3U playlists, read and written.
#pragma once

#include "Playlist.h"

class CM3UPlaylist final : public CPlaylist<CM3UPlaylist> {
 public:
  HRESULT STDMETHODCALLTYPE Save(const wchar_t* path) override;
  // Every line that is not blank and does not begin with "#" is an entry; text is in codePage.
  void Parse(const std::string& text, const std::wstring& folder, UINT codePage);
};
