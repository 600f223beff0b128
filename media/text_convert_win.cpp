// The text conversion seam on Windows: the platform's code-page conversions.
#include <windows.h>
#include <stdint.h>

#include "parsers/text_convert.h"
#include "parsers/utf8.h"

// Longer inputs are never needed; keeping counts well inside int keeps the
// platform calls' int arguments exact.
static const size_t kMaxInput = 0x3FFFFFFF;

// Bytes of the longest run of whole UTF-8 characters whose UTF-16 form needs
// at most `limit` units. A malformed byte is counted as one unit of its own,
// never fewer than the platform makes of it, so the run always fits.
static size_t Utf8PrefixFor(const unsigned char *text, size_t bytes, size_t limit) {
  size_t pos = 0;
  size_t units = 0;
  while (pos < bytes) {
    const Utf8Character c = ScanUtf8Character(text + pos, bytes - pos);
    const size_t length = c.well_formed ? c.length : 1;
    // A four-byte lead counts two units even when what follows is broken.
    const size_t needs = text[pos] >= 0xF0 && text[pos] <= 0xF4 ? 2 : 1;
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
