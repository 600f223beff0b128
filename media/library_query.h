// Library mode: length, tag title and artist/album/year of one path or URL,
// through the media library and its add-ons.
#pragma once
#include <stdint.h>

#include "media/query_result.h"

enum { kUrlBufferBytes = 2048 };  // a URL as UTF-8 with its terminator

// Queries `item` (a local path, or a URL when it starts with a lower-case
// "ht"). The length is always set (0 when unknown); a local file gets a tag
// title when `read_tags` is set and a tag has one, else its file name; a URL
// gets no title. When the library cannot be bound the length is 0 and nothing
// else is set.
void QueryMediaLibrary(const wchar_t *item, bool read_tags, QueryResult *result);

// Track length for the host: seconds * 1000 rounded to nearest (halves to
// even), low 32 bits of the 64-bit result. A negative, NaN or out-of-range
// value (the library's failure value is negative) gives 0.
int LengthInMilliseconds(double seconds);
