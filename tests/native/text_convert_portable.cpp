// The text conversion seam for the native sanitizer build: no platform calls,
// the same contracts as the Windows implementation (see parsers/text_convert.h).
// The ANSI code page is Windows-1252, with its five unassigned bytes (81, 8D,
// 8F, 90, 9D) becoming the C1 controls of the same value, as Windows does.
// A fixed table, whatever the machine's locale: the fuzz corpora's golden
// lines (tests/fuzz/golden) hold one result per input.
#include <stdint.h>

#include "parsers/text_convert.h"
#include "parsers/utf8.h"

// Longer inputs are never converted, as on Windows.
static const size_t kMaxInput = 0x3FFFFFFF;

size_t ConvertUtf8ToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  if (out_units == 0) return 0;
  if (bytes > kMaxInput) bytes = kMaxInput;
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  const size_t capacity = out_units - 1;
  size_t used = 0;
  size_t pos = 0;
  // Every character takes at least one byte and gives at least one unit, so
  // the walk looks at no more input than the output can take.
  while (pos < bytes) {
    const Utf8Character c = ScanUtf8Character(raw + pos, bytes - pos);
    const uint32_t code_point = c.code_point;
    const size_t length = c.length;
    size_t units = code_point >= 0x10000 ? 2 : 1;
    if (units > capacity - used) break;
    if (units == 2) {
      out[used++] = (Utf16Unit)(0xD800 + ((code_point - 0x10000) >> 10));
      out[used++] = (Utf16Unit)(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      out[used++] = (Utf16Unit)code_point;
    }
    pos += length;
  }
  out[used] = 0;
  return used;
}

size_t ConvertAnsiToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  // Bytes 80-9F of Windows-1252; the rest are Latin-1.
  static const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (out_units == 0) return 0;
  if (bytes > kMaxInput) bytes = kMaxInput;
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  size_t used = 0;
  while (used < bytes && used < out_units - 1) {
    unsigned char b = raw[used];
    out[used] = (Utf16Unit)(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    ++used;
  }
  out[used] = 0;
  return used;
}

size_t ConvertUtf16ToUtf8(char *out, size_t out_size, const Utf16Unit *text, size_t units) {
  if (units == 0) return 0;
  if (units > kMaxInput) return SIZE_MAX;
  size_t needed = 0;
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = text[i];
    if (u < 0x80) {
      needed += 1;
    } else if (u < 0x800) {
      needed += 2;
    } else if (u >= 0xD800 && u < 0xDC00 && 1 < units - i && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      needed += 4;
      ++i;
    } else {
      needed += 3;  // an unpaired surrogate becomes U+FFFD, also three bytes
    }
  }
  if (needed > out_size) return needed;
  size_t at = 0;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && 1 < units - i && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out[at++] = (char)c;
    } else if (c < 0x800) {
      out[at++] = (char)(0xC0 | (c >> 6));
      out[at++] = (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out[at++] = (char)(0xE0 | (c >> 12));
      out[at++] = (char)(0x80 | ((c >> 6) & 0x3F));
      out[at++] = (char)(0x80 | (c & 0x3F));
    } else {
      out[at++] = (char)(0xF0 | (c >> 18));
      out[at++] = (char)(0x80 | ((c >> 12) & 0x3F));
      out[at++] = (char)(0x80 | ((c >> 6) & 0x3F));
      out[at++] = (char)(0x80 | (c & 0x3F));
    }
  }
  return needed;
}
