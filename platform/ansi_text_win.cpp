// The ANSI code page on Windows: the platform's conversion of the process's
// code page (the UTF-8 conversions are the parsers' own, parsers/utf_convert.cpp).
#include <windows.h>
#include <stdint.h>

#include "parsers/text_convert.h"

static const size_t kMaxInput = kTextConvertMaxInput;

// Bytes of the longest run of whole characters whose UTF-16 form needs at most
// `limit` units: a lead byte of a double-byte code page takes the next byte
// with it.
static size_t AnsiPrefixFor(const unsigned char *text, size_t bytes, size_t limit) {
  size_t pos = 0;
  size_t units = 0;
  while (pos < bytes && units < limit) {
    pos += (IsDBCSLeadByte(text[pos]) && 1 < bytes - pos) ? 2 : 1;
    ++units;
  }
  return pos;
}

size_t ConvertAnsiToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  if (out_units == 0) return 0;
  if (bytes > kMaxInput) bytes = kMaxInput;
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  size_t capacity = out_units - 1;
  size_t limit = capacity;
  size_t prefix = 0;
  int needed = 0;
  // Should the platform ever make more units of a run than estimated, shrink
  // the estimate and retry.
  for (;;) {
    prefix = AnsiPrefixFor(raw, bytes, limit);
    if (prefix == 0) break;
    needed = MultiByteToWideChar(CP_ACP, 0, text, (int)prefix, NULL, 0);
    if (needed <= 0) {
      needed = 0;
      break;
    }
    if ((size_t)needed <= capacity) break;
    size_t excess = (size_t)needed - capacity;
    limit = excess < limit ? limit - excess : 0;
    needed = 0;
  }
  if (needed > 0) {
    needed = MultiByteToWideChar(CP_ACP, 0, text, (int)prefix, out, needed);
    if (needed < 0) needed = 0;
  }
  out[needed] = 0;
  return (size_t)needed;
}
