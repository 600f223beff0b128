// Key/value tag lists as the media library hands them out: NUL-terminated
// strings "key=value" one after the other, an empty string ending the list.
// Vorbis comments, APE, MP4 and WMA tags are UTF-8; RIFF INFO values are the
// file's own bytes (UTF-8 from newer tools, the ANSI code page from older).
#pragma once
#include <stddef.h>

#include "parsers/track_info.h"

enum TagListKind {
  kVorbisCommentList,  // year from DATE, first non-empty ALBUM wins
  kApeTagList,         // year from YEAR, last ALBUM wins
  kMp4TagList,         // Title, Artist, Album, Date
  kWmaTagList,         // Title, Author, WM/AlbumTitle, WM/Year
  kRiffInfoList,       // INAM, IART, IPRD, ICRD; a value that is no UTF-8 is ANSI
  kTagListKinds,
};

// Bytes of the list up to and including the empty string that ends it.
size_t TagListSize(const char *list);

// Clears the whole record, then fills it from the `size` bytes at `list`.
// The walk ends at the list's empty string or at the end of the range (an
// entry cut by the end of the range runs to it). Keys are compared without
// regard to ASCII case and must be exactly one of the kind's four keys
// followed by "="; year, title and artist take the last entry's value.
void ParseTagList(TrackInfoRecord *record, const char *list, size_t size, TagListKind kind);
