// UTF-8 character rules shared by the text conversions (both platforms), the
// tag readers and the fuzz checks: one definition of a well-formed character.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct Utf8Character {
  size_t length;        // bytes taken: the whole character, or the maximal ill-formed subpart (at least 1)
  uint32_t code_point;  // U+FFFD for an ill-formed subpart, as converters make of it
  bool well_formed;
};

// The character that starts at text[0]; `bytes` (at least 1) are readable.
// Overlong forms, encoded surrogates and values past U+10FFFF are ill-formed.
Utf8Character ScanUtf8Character(const uint8_t *text, size_t bytes);

// Whether all `bytes` bytes are well-formed UTF-8.
bool IsWellFormedUtf8(const uint8_t *text, size_t bytes);

// A high surrogate followed by a low one: one character of UTF-16.
inline bool IsUtf16Pair(uint32_t high, uint32_t low) {
  return high >= 0xD800 && high < 0xDC00 && low >= 0xDC00 && low < 0xE000;
}
inline uint32_t Utf16PairCodePoint(uint32_t high, uint32_t low) { return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00); }

// The UTF-8 form of a code point (U+10FFFF at most) in `out`; returns its
// length, 1 to 4 bytes.
inline size_t EncodeUtf8(uint32_t c, uint8_t out[4]) {
  if (c < 0x80) {
    out[0] = (uint8_t)c;
    return 1;
  }
  if (c < 0x800) {
    out[0] = (uint8_t)(0xC0 | (c >> 6));
    out[1] = (uint8_t)(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = (uint8_t)(0xE0 | (c >> 12));
    out[1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
    out[2] = (uint8_t)(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = (uint8_t)(0xF0 | (c >> 18));
  out[1] = (uint8_t)(0x80 | ((c >> 12) & 0x3F));
  out[2] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
  out[3] = (uint8_t)(0x80 | (c & 0x3F));
  return 4;
}

// `length` less an incomplete character at the end of `text`, so that a cut
// never leaves half a character (which would become U+FFFD).
size_t Utf8WholePrefix(const char *text, size_t length);
