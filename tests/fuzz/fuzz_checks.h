// Checks the fuzz targets make beyond what the sanitizers catch: each stops
// the run with a message naming what broke.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "media/track_info.h"
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
inline bool WellFormedUtf8(const uint8_t *s, size_t n) {
  size_t i = 0;
  while (i < n) {
    uint8_t b = s[i];
    size_t len;
    uint8_t low = 0x80, high = 0xBF;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (len > n - i) return false;
    if (s[i + 1] < low || s[i + 1] > high) return false;
    for (size_t k = 2; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}
