// Checks the fuzz targets make beyond what the sanitizers catch: each stops
// the run with a message naming what broke.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "parsers/track_info.h"
#include "parsers/utf8.h"
#include "tests/fuzz/golden.h"

#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      abort();                                                                      \
    }                                                                               \
  } while (0)

// A field ends in a zero unit inside its own capacity.
inline bool TerminatedWithin(const Utf16Unit *field, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    if (field[i] == 0) return true;
  }
  return false;
}

inline void CheckRecord(const TrackInfoRecord &r) {
  FUZZ_CHECK(TerminatedWithin(r.artist, kArtistUnits));
  FUZZ_CHECK(TerminatedWithin(r.album, kAlbumUnits));
  FUZZ_CHECK(TerminatedWithin(r.title, kTitleUnits));
  FUZZ_CHECK(TerminatedWithin(r.year, kYearUnits));
}

// Well-formed UTF-8: what the conversions make is never cut inside a character.
inline bool WellFormedUtf8(const uint8_t *s, size_t n) { return IsWellFormedUtf8(s, n); }
