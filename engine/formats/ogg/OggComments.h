// Vorbis comments from the tag of the source that an Ogg destination converts.
#pragma once

#include <vorbis/codec.h>

#include "tavcore.h"

// Adds TITLE, ARTIST, ALBUM, TRACKNUMBER, DATE, GENRE, COMMENT, COPYRIGHT and the like (UTF-8) for the frames
// of the source's tag; nothing when there is no source or it has no tag.
void AddSourceComments(IConvertSource* source, vorbis_comment* comment);
