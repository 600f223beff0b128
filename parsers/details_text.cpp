#include "parsers/details_text.h"

// Longest tail: "\" (" + 3 numbers of up to 11 units + "ch, kHz, bit float)".
enum { kTailUnits = 96 };

static size_t FormatDecimal(int32_t value, Utf16Unit *out) {
  Utf16Unit digits[10];
  size_t count = 0;
  // Magnitude in unsigned arithmetic so that INT32_MIN prints too.
  uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
  do {
    digits[count++] = (Utf16Unit)(u'0' + magnitude % 10u);
    magnitude /= 10u;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) out[length++] = u'-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

// Appends `piece` (ASCII) to `out` at *length; `out` has room (kTailUnits).
static void AppendAscii(Utf16Unit *out, size_t *length, const char *piece) {
  while (*piece != 0) out[(*length)++] = (Utf16Unit)(unsigned char)*piece++;
}

static void AppendNumber(Utf16Unit *out, size_t *length, int32_t value) {
  *length += FormatDecimal(value, out + *length);
}

void ComposeDetailsText(const Utf16Unit *file, const DetailsFacts *facts, Utf16Unit *text, size_t capacity) {
  if (capacity == 0) return;
  Utf16Unit tail[kTailUnits];
  size_t tail_length = 0;
  AppendAscii(tail, &tail_length, "\" (");
  AppendNumber(tail, &tail_length, facts->channels);
  AppendAscii(tail, &tail_length, "ch, ");
  AppendNumber(tail, &tail_length, facts->rate_khz);
  AppendAscii(tail, &tail_length, "kHz");
  if (facts->has_resolution) {
    AppendAscii(tail, &tail_length, ", ");
    AppendNumber(tail, &tail_length, facts->resolution);
    AppendAscii(tail, &tail_length, "bit");
  }
  if (facts->is_float) AppendAscii(tail, &tail_length, " float");
  AppendAscii(tail, &tail_length, ")");

  static const char kPrefix[] = "File: \"";
  const size_t room = capacity - 1;  // units before the terminator
  size_t length = 0;
  for (const char *p = kPrefix; *p != 0 && length < room; ++p) text[length++] = (Utf16Unit)*p;

  // The path gets what the prefix and the tail leave.
  size_t path_room = room - length > tail_length ? room - length - tail_length : 0;
  size_t path_length = 0;
  while (path_length < path_room && file[path_length] != 0) ++path_length;
  // Cut before a high surrogate whose partner did not fit.
  if (path_length > 0 && file[path_length] != 0 && file[path_length - 1] >= 0xD800 && file[path_length - 1] <= 0xDBFF) {
    --path_length;
  }
  for (size_t i = 0; i < path_length; ++i) text[length++] = file[i];

  for (size_t i = 0; i < tail_length && length < room; ++i) text[length++] = tail[i];
  text[length] = 0;
}
