// The record the tag readers fill for one query: artist, album, title, year.
#pragma once
#include "parsers/text_convert.h"

enum {
  kArtistUnits = 256,
  kAlbumUnits = 256,
  kTitleUnits = 256,
  kYearUnits = 18,
  kTrackInfoUnits = 786,
};

struct TrackInfoRecord {
  Utf16Unit artist[kArtistUnits];  // units 0-255
  Utf16Unit album[kAlbumUnits];    // units 256-511
  Utf16Unit title[kTitleUnits];    // units 512-767
  Utf16Unit year[kYearUnits];      // units 768-785
};
static_assert(sizeof(TrackInfoRecord) == kTrackInfoUnits * 2, "786 UTF-16 units, 1572 bytes");
