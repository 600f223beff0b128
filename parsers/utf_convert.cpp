// UTF-8 <-> UTF-16 without platform calls: the one implementation the Windows
// targets, the native build and the fuzzers share (contracts in text_convert.h).
// Malformed UTF-8 becomes one U+FFFD per maximal subpart and an unpaired
// surrogate becomes U+FFFD, as the platform's conversion without flags does.
#include <stdint.h>

#include "parsers/text_convert.h"
#include "parsers/utf8.h"

// Longer inputs are never converted; counts stay well inside int, as the
// platform's calls need for the ANSI conversion.
static const size_t kMaxInput = kTextConvertMaxInput;

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
