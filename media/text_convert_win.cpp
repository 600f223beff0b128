// The text conversion seam on Windows: the platform's code-page conversions.
#include <windows.h>
#include <stdint.h>

#include "media/text_convert.h"

// Longer inputs are never needed; keeping counts well inside int keeps the
// platform calls' int arguments exact.
static const size_t kMaxInput = 0x3FFFFFFF;

// Bytes of a well-formed UTF-8 character starting at text[0] (0 when it is not
// one), with the UTF-16 units it needs in *units.
static size_t WellFormedUtf8(const unsigned char *text, size_t bytes, size_t *units) {
  unsigned char lead = text[0];
  *units = 1;
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no encoded surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    *units = 2;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (length > bytes) return 0;
  if (text[1] < low || text[1] > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Bytes of the longest run of whole UTF-8 characters whose UTF-16 form needs
// at most `limit` units. A malformed byte is counted as one unit of its own,
// never fewer than the platform makes of it, so the run always fits.
static size_t Utf8PrefixFor(const unsigned char *text, size_t bytes, size_t limit) {
  size_t pos = 0;
  size_t units = 0;
  while (pos < bytes) {
    size_t needs;
    size_t length = WellFormedUtf8(text + pos, bytes - pos, &needs);
    if (length == 0) length = 1;
    if (needs > limit - units) break;
    units += needs;
    pos += length;
  }
  return pos;
}

// The same for the ANSI code page: a lead byte of a double-byte code page
// takes the next byte with it.
static size_t AnsiPrefixFor(const unsigned char *text, size_t bytes, size_t limit) {
  size_t pos = 0;
  size_t units = 0;
  while (pos < bytes && units < limit) {
    pos += (IsDBCSLeadByte(text[pos]) && 1 < bytes - pos) ? 2 : 1;
    ++units;
  }
  return pos;
}

static size_t BoundedToUtf16(UINT code_page, Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  if (out_units == 0) return 0;
  if (bytes > kMaxInput) bytes = kMaxInput;
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  size_t capacity = out_units - 1;
  size_t limit = capacity;
  size_t prefix = 0;
  int needed = 0;
  // The estimate is exact for well-formed text; should the platform ever make
  // more units of a run than estimated, shrink the estimate and retry.
  for (;;) {
    prefix = code_page == CP_UTF8 ? Utf8PrefixFor(raw, bytes, limit) : AnsiPrefixFor(raw, bytes, limit);
    if (prefix == 0) break;
    needed = MultiByteToWideChar(code_page, 0, text, (int)prefix, NULL, 0);
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
    needed = MultiByteToWideChar(code_page, 0, text, (int)prefix, out, needed);
    if (needed < 0) needed = 0;
  }
  out[needed] = 0;
  return (size_t)needed;
}

size_t ConvertUtf8ToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  return BoundedToUtf16(CP_UTF8, out, out_units, text, bytes);
}

size_t ConvertAnsiToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  return BoundedToUtf16(CP_ACP, out, out_units, text, bytes);
}

size_t ConvertUtf16ToUtf8(char *out, size_t out_size, const Utf16Unit *text, size_t units) {
  if (units == 0) return 0;
  if (units > kMaxInput) return SIZE_MAX;
  int needed = WideCharToMultiByte(CP_UTF8, 0, text, (int)units, NULL, 0, NULL, NULL);
  if (needed <= 0) return SIZE_MAX;
  if ((size_t)needed <= out_size) WideCharToMultiByte(CP_UTF8, 0, text, (int)units, out, needed, NULL, NULL);
  return (size_t)needed;
}
