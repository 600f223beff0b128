// The file information query (GetFileInfo, declared in plugin/slots.h) and the
// artist/album/year block it publishes through In_Module.is_seekable.
#pragma once
#include <stdint.h>

enum {
  kExtraInfoUnits = 1024,  // artist, album, year back to back: at most 530 units used
  kUrlBufferBytes = 2048,  // a URL as UTF-8 with its terminator
};

// Artist, album and year of the last query that found a tag title, each
// NUL-terminated, back to back. Its address is what is_seekable carries.
extern wchar_t ExtraInfoBlock[kExtraInfoUnits];

// Track length for the host: seconds * 1000 rounded to nearest (halves to
// even), low 32 bits of the 64-bit result. A negative, NaN or out-of-range
// value (the library's failure value is negative) gives 0.
int LengthInMilliseconds(double seconds);
