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

// `length` less an incomplete character at the end of `text`, so that a cut
// never leaves half a character (which would become U+FFFD).
size_t Utf8WholePrefix(const char *text, size_t length);
