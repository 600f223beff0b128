#include "parsers/utf8.h"

Utf8Character ScanUtf8Character(const uint8_t *text, size_t bytes) {
  Utf8Character c = {1, 0xFFFD, false};
  const uint8_t lead = text[0];
  if (lead < 0x80) {
    c.code_point = lead;
    c.well_formed = true;
    return c;
  }
  size_t length;
  uint8_t low = 0x80, high = 0xBF;  // range of the second byte
  uint32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no encoded surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return c;
  }
  for (size_t i = 1; i < length; ++i) {
    if (i >= bytes) {
      c.length = i;
      return c;
    }
    const uint8_t b = text[i];
    if (i == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80) {
      c.length = i;
      return c;
    }
    value = (value << 6) | (b & 0x3F);
  }
  c.length = length;
  c.code_point = value;
  c.well_formed = true;
  return c;
}

bool IsWellFormedUtf8(const uint8_t *text, size_t bytes) {
  size_t pos = 0;
  while (pos < bytes) {
    const Utf8Character c = ScanUtf8Character(text + pos, bytes - pos);
    if (!c.well_formed) return false;
    pos += c.length;
  }
  return true;
}

size_t Utf8WholePrefix(const char *text, size_t length) {
  size_t lead = length;
  size_t continuation = 0;
  while (lead > 0 && continuation < 3 && ((uint8_t)text[lead - 1] & 0xC0) == 0x80) {
    --lead;
    ++continuation;
  }
  if (lead == 0) return length;
  const uint8_t first = (uint8_t)text[lead - 1];
  const size_t want = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  return want > continuation + 1 ? lead - 1 : length;
}
