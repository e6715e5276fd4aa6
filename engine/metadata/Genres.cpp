// The ID3v1 genre table and the genre exports.
#include "Genres.h"

#include "AbiGuard.h"
#include "tavcore.h"

namespace {

// 15 characters each; four names are shortened to fit.
const wchar_t* const kGenres[kGenreCount] = {
    L"Blues          ", L"Classic Rock   ", L"Country        ", L"Dance          ", L"Disco          ",
    L"Funk           ", L"Grunge         ", L"Hip-Hop        ", L"Jazz           ", L"Metal          ",
    L"New Age        ", L"Oldies         ", L"Other          ", L"Pop            ", L"R&B            ",
    L"Rap            ", L"Reggae         ", L"Rock           ", L"Techno         ", L"Industrial     ",
    L"Alternative    ", L"Ska            ", L"Death Metal    ", L"Pranks         ", L"Soundtrack     ",
    L"Euro-Techno    ", L"Ambient        ", L"Trip-Hop       ", L"Vocal          ", L"Jazz+Funk      ",
    L"Fusion         ", L"Trance         ", L"Classical      ", L"Instrumental   ", L"Acid           ",
    L"House          ", L"Game           ", L"Sound Clip     ", L"Gospel         ", L"Noise          ",
    L"Altern Rock    ", L"Bass           ", L"Soul           ", L"Punk           ", L"Space          ",
    L"Meditative     ", L"Inst. Pop      ", L"Instrum. Rock  ", L"Ethnic         ", L"Gothic         ",
    L"Darkwave       ", L"Techno-Indus   ", L"Electronic     ", L"Pop-Folk       ", L"Eurodance      ",
    L"Dream          ", L"Southern Rock  ", L"Comedy         ", L"Cult           ", L"Gangsta        ",
    L"Top 40         ", L"Christian Rap  ", L"Pop/Funk       ", L"Jungle         ", L"Native American",
    L"Cabaret        ", L"New Wave       ", L"Psychadelic    ", L"Rave           ", L"Showtunes      ",
    L"Trailer        ", L"Lo-Fi          ", L"Tribal         ", L"Acid Punk      ", L"Acid Jazz      ",
    L"Polka          ", L"Retro          ", L"Musical        ", L"Rock & Roll    ", L"Hard Rock      ",
};

std::wstring Trim(const wchar_t* text) {
  std::wstring value = text;
  size_t first = value.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return value.substr(first, value.find_last_not_of(L' ') - first + 1);
}

}  // namespace

const wchar_t* GenreName(UINT32 index) { return index < kGenreCount ? kGenres[index] : nullptr; }

std::wstring GenreTrimmedName(UINT32 index) { return index < kGenreCount ? Trim(kGenres[index]) : std::wstring(); }

int GenreIndexOf(const wchar_t* name) {
  if (!name) return -1;
  for (UINT32 i = 0; i < kGenreCount; ++i)
    if (Trim(kGenres[i]) == name) return static_cast<int>(i);
  return -1;
}

TAVCORE_API UINT32 WINAPI GenreGetCount() { return kGenreCount; }

TAVCORE_API const wchar_t* WINAPI GenreGet(UINT32 index) { return GenreName(index); }

TAVCORE_API int WINAPI GenreToNum(const wchar_t* name) {
  return GuardedCall<int>(-1, -1, [&] { return GenreIndexOf(name); });
}
