// The host's GetFileInfo: length, display title and the artist/album/year
// block it reads through In_Module.is_seekable.
#pragma once
#include <stdint.h>

enum { kExtraInfoUnits = 1024 };  // artist, album, year back to back: at most 530 units used

// Artist, album and year of the last query that found a tag title, each
// NUL-terminated, back to back. Its address is what is_seekable carries.
extern wchar_t ExtraInfoBlock[kExtraInfoUnits];

void __cdecl GetFileInfo(const wchar_t *file, wchar_t *title, int *length_in_ms);
