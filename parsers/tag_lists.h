// Key/value tag lists (Vorbis comments, APE tags) as the media library hands
// them out: NUL-terminated UTF-8 strings "key=value" one after the other, an
// empty string ending the list.
#pragma once
#include <stddef.h>

#include "parsers/track_info.h"

enum TagListKind {
  kVorbisCommentList,  // year from DATE, first non-empty ALBUM wins
  kApeTagList,         // year from YEAR, last ALBUM wins
};

// Bytes of the list up to and including the empty string that ends it.
size_t TagListSize(const char *list);

// Clears the whole record, then fills it from the `size` bytes at `list`.
// The walk ends at the list's empty string or at the end of the range (an
// entry cut by the end of the range runs to it). Keys are compared without
// regard to ASCII case and must be exactly DATE/YEAR, TITLE, ALBUM or ARTIST
// followed by "="; year, title and artist take the last entry's value.
void ParseTagList(TrackInfoRecord *record, const char *list, size_t size, TagListKind kind);
