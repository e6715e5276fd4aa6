// The info tips of the metadata list: what a frame kind holds, after the ID3v2.3 frame descriptions.
#include <cstring>

#include "MetadataLV.h"

namespace {

struct Description {
  const char* id;
  const wchar_t* text;
};

const Description kDescriptions[] = {
    {"APIC", L"Contains a picture directly related to the audio file."},
    {"COMM", L"Intended for any kind of full text information that does not fit in any other frame."},
    {"IPLS", L"Contains the names of those involved in the recording, and how they were involved."},
    {"MCDI", L"Contains the table of contents of the audio CD the file was taken from."},
    {"OWNE", L"Contains information about the ownership of the file: the price paid, the date of purchase and the "
             L"seller."},
    {"PCNT", L"Counts the number of times the file has been played."},
    {"TALB", L"The title of the recording (or source of sound) from which the audio in the file is taken."},
    {"TBPM", L"Contains the number of beats per minute in the main part of the audio."},
    {"TCOM", L"The name of the composer(s)."},
    {"TCON", L"The content type (genre) of the audio, as references to the ID3v1 genres or as free text."},
    {"TCOP", L"The copyright message of the original sound, beginning with the year of the copyright."},
    {"TDAT", L"A numeric string in the DDMM format containing the date of the recording."},
    {"TDLY", L"The number of milliseconds of silence between every song in a playlist."},
    {"TENC", L"The name of the person or organisation that encoded the audio file."},
    {"TEXT", L"The writer(s) of the text or lyrics in the recording."},
    {"TFLT", L"Indicates which type of audio this tag defines."},
    {"TIME", L"A numeric string in the HHMM format containing the time of the recording."},
    {"TIT1", L"Used if the sound belongs to a larger category of sounds or music."},
    {"TIT2", L"The actual name of the piece (e.g. \"Adagio\", \"Hurricane Donna\")."},
    {"TIT3", L"Used for information directly related to the contents title (e.g. \"Op. 16\")."},
    {"TKEY", L"Contains the musical key in which the sound starts."},
    {"TLAN", L"The language(s) of the text or lyrics spoken or sung in the audio."},
    {"TLEN", L"Contains the length of the audiofile in milliseconds"},
    {"TMED", L"Describes from which media the sound originated."},
    {"TOAL", L"The title of the original recording, if the audio is a cover of a previously released song."},
    {"TOFN", L"The preferred file name for the file, where some media do not allow the desired length."},
    {"TOLY", L"The text writer(s) of the original recording, if the audio is a cover."},
    {"TOPE", L"The performer(s) of the original recording, if the audio is a cover."},
    {"TORY", L"The year when the original recording was released, if the audio is a cover."},
    {"TOWN", L"The owner or licensee of the file and its contents."},
    {"TPE1", L"Used for the main artist(s)."},
    {"TPE2", L"Used for additional information about the performers in the recording (band, orchestra)."},
    {"TPE3", L"The name of the conductor."},
    {"TPE4", L"Contains more information about the people behind a remix or another interpretation of a piece."},
    {"TPOS", L"The part of a set the audio came from, as a number or as a position in the set (e.g. \"1/2\")."},
    {"TPUB", L"The name of the label or publisher."},
    {"TRCK", L"The number of the track on its original recording, optionally with the number of tracks (e.g. "
             L"\"4/9\")."},
    {"TRDA", L"Complements the year, date and time when the recording took place on several dates."},
    {"TRSN", L"The name of the internet radio station from which the audio is streamed."},
    {"TRSO", L"The name of the owner of the internet radio station from which the audio is streamed."},
    {"TSIZ", L"Contains the size of the audiofile in bytes, excluding the ID3v2 tag."},
    {"TSRC", L"The International Standard Recording Code (ISRC) of the recording (12 characters)."},
    {"TSSE", L"The software, hardware and settings used for encoding."},
    {"TXXX", L"Intended for one-string text information concerning the audiofile."},
    {"TYER", L"A numeric string with the year of the recording, always four characters long."},
    {"USER", L"A short description of the terms of use and ownership of the file."},
    {"USLT", L"The lyrics of the song or a text transcription of other vocal activities."},
    {"WCOM", L"The address of a web page with commercial information, such as where the album can be bought."},
    {"WCOP", L"The address of a web page where the terms of use and ownership of the file are described."},
    {"WOAF", L"The address of a web page about this file."},
    {"WOAR", L"The address of the artist's official web page."},
    {"WOAS", L"The address of the official web page of the source of the audio file, e.g. a movie."},
    {"WORS", L"The address of the home page of the internet radio station."},
    {"WPAY", L"The address of a web page that handles paying for this file."},
    {"WPUB", L"The address of the official web page of the publisher."},
    {"WXXX", L"Intended for URL links concerning the audiofile, like the other \"W\" frames."},
};
static_assert(sizeof(kDescriptions) / sizeof(kDescriptions[0]) == 56);

}  // namespace

const wchar_t* CMetadataLV::KindDescription(const char* id) {
  if (!id) return nullptr;
  for (const Description& description : kDescriptions)
    if (std::strcmp(description.id, id) == 0) return description.text;
  return nullptr;
}
