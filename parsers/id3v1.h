// ID3v1 tags: the 128 bytes at a file's end as the media library hands them
// out ("TAG", title 30 bytes, artist 30, album 30, year 4, comment 30, genre 1).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "parsers/track_info.h"

enum { kId3v1TagBytes = 128 };

// When the `size` bytes at `block` hold a whole tag that starts with "TAG",
// clears the record and fills title, artist, album and year from it; other
// bytes leave the record as it was. Each field ends at its first NUL, loses its trailing blanks and is
// read in the process's ANSI code page. A tag whose title is empty after that
// leaves the record all zero.
void ParseId3v1Tag(TrackInfoRecord *record, const uint8_t *block, size_t size);
