// PlaylistCreateFromFile: picks the playlist class by the file's extension and loads it.
#include <cwchar>
#include <memory>

#include "M3UPlaylist.h"
#include "PLSPlaylist.h"

namespace {
struct PlaylistDestroyer {
  void operator()(IPlaylist* playlist) const { playlist->Destroy(); }
};

// The loaded playlist; an unreadable file still gives one (empty).
template <class Playlist>
IPlaylist* CreateLoaded(const wchar_t* path) {
  std::unique_ptr<IPlaylist, PlaylistDestroyer> playlist(new Playlist());
  playlist->Load(path);
  return playlist.release();
}
}  // namespace

TAVCORE_API HRESULT WINAPI PlaylistCreateFromFile(const wchar_t* path, IPlaylist** out) {
  return GuardedHResult([&]() -> HRESULT {
    if (!path || !out) return E_INVALIDARG;
    *out = nullptr;
    // Case matters: "list.M3U" is refused. ".m3u8" is an M3U playlist in UTF-8.
    const wchar_t* extension = wcsrchr(path, L'.');
    if (!extension) return E_FAIL;
    if (wcscmp(extension, L".m3u") == 0 || wcscmp(extension, L".m3u8") == 0) {
      *out = CreateLoaded<CM3UPlaylist>(path);
      return S_OK;
    }
    if (wcscmp(extension, L".pls") == 0) {
      *out = CreateLoaded<CPLSPlaylist>(path);
      return S_OK;
    }
    return wcscmp(extension, L".wax") == 0 ? E_NOTIMPL : E_FAIL;
  });
}
