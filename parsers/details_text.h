// The one-line text of the file details box, composed without platform calls.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "parsers/text_convert.h"

enum { kDetailsTextUnits = 2048 };

// The numbers the line shows, each printed as a signed decimal.
struct DetailsFacts {
  int32_t channels;
  int32_t rate_khz;        // sample rate / 1000, truncated
  bool has_resolution;     // adds ", <resolution>bit"
  int32_t resolution;
  bool is_float;           // adds " float" (WAV-only mode)
};

// Writes File: "<file>" (<ch>ch, <kHz>kHz[, <bits>bit][ float]) into `text`,
// NUL-terminated within `capacity` units. A path too long for the whole line
// is cut (never inside a surrogate pair) so that everything after it fits.
void ComposeDetailsText(const Utf16Unit *file, const DetailsFacts *facts, Utf16Unit *text, size_t capacity);
