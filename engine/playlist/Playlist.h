// CPlaylist<T>: the list handling both playlist formats share; T supplies Parse (and Save where it writes).
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "AbiGuard.h"
#include "EngineResources.h"
#include "PathText.h"
#include "PlaylistText.h"
#include "tavcore.h"

template <class T>
class CPlaylist : public IPlaylist {
 public:
  HRESULT STDMETHODCALLTYPE Add(const wchar_t* item) override {
    return GuardedHResult([&]() -> HRESULT {
      if (!item) return E_INVALIDARG;
      if (IS_INTRESOURCE(item)) {
        std::wstring text = LoadEngineString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(item)));
        if (text.empty()) return E_INVALIDARG;
        items.push_back(std::move(text));
      } else {
        items.emplace_back(item);
      }
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Load(const wchar_t* path) override {
    return GuardedHResult([&]() -> HRESULT {
      if (!path) return E_INVALIDARG;
      std::string text;
      if (!ReadWholeFile(path, &text)) return E_FAIL;
      UINT codePage = TakePlaylistEncoding(&text, IsUtf8PlaylistPath(path));
      static_cast<T*>(this)->Parse(text, PathFolder(path), codePage);
      Rewind();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE GetCount(UINT32* out) override {
    if (!out) return E_INVALIDARG;
    *out = static_cast<UINT32>(items.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Rewind() override {
    cursor = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetNext(wchar_t* dst) override {
    if (!dst) return E_INVALIDARG;
    if (cursor >= items.size()) return E_FAIL;
    CopyTruncated(dst, MAX_PATH, items[cursor++]);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Destroy() override {
    delete static_cast<T*>(this);
    return S_OK;
  }

  const std::vector<std::wstring>& Items() const { return items; }

 protected:
  CPlaylist() = default;
  ~CPlaylist() = default;

  // Resolves one entry of the file (bytes in codePage) against the playlist's folder; dropped entries vanish.
  // A path ends at a NUL character (UTF-16 text has many when read the wrong way), so an item never holds one.
  void AddEntry(const char* bytes, size_t length, UINT codePage, const std::wstring& folder) {
    if (const void* nul = memchr(bytes, '\0', length))
      length = static_cast<size_t>(static_cast<const char*>(nul) - bytes);
    std::wstring path = ResolvePlaylistEntry(DecodeText(bytes, length, codePage), folder);
    if (!path.empty()) items.push_back(std::move(path));
  }

  std::vector<std::wstring> items;
  // Index of the item GetNext hands out next; an index, not an iterator, so Add never invalidates it.
  size_t cursor = 0;
};
