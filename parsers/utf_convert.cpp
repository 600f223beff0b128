// UTF-8 <-> UTF-16 without platform calls: the one implementation the Windows
// targets, the native build and the fuzzers share (contracts in text_convert.h).
// Malformed UTF-8 becomes one U+FFFD per maximal subpart and an unpaired
// surrogate becomes U+FFFD, as the platform's conversion without flags does.
#include <stdint.h>
#include <string.h>

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

// The character at text[*i], passing over the low half of a pair; an unpaired
// surrogate becomes U+FFFD.
static uint32_t CodePointAt(const Utf16Unit *text, size_t units, size_t *i) {
  const uint32_t c = text[*i];
  if (1 < units - *i && IsUtf16Pair(c, text[*i + 1])) {
    ++*i;
    return Utf16PairCodePoint(c, text[*i]);
  }
  return c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;
}

size_t ConvertUtf16ToUtf8(char *out, size_t out_size, const Utf16Unit *text, size_t units) {
  if (units == 0) return 0;
  if (units > kMaxInput) return SIZE_MAX;
  uint8_t bytes[4];
  size_t needed = 0;
  for (size_t i = 0; i < units; ++i) needed += EncodeUtf8(CodePointAt(text, units, &i), bytes);
  if (needed > out_size) return needed;
  size_t at = 0;
  for (size_t i = 0; i < units; ++i) {
    const size_t n = EncodeUtf8(CodePointAt(text, units, &i), bytes);
    memcpy(out + at, bytes, n);
    at += n;
  }
  return needed;
}
