// The golden description of one fuzz input: what the parsers made of it, as
// one line of text. The targets write it as they go; golden_main.cpp prints
// it for each committed input, and scripts/fuzz.sh compares those lines with
// tests/fuzz/golden/TARGET.txt, so a parser whose results change fails the
// replay even when every check still holds. Only values the parsers produced
// go in (no addresses, no bytes left unwritten), so a line is the same on
// every run and machine. While fuzzing it is off and costs one branch a call.
//
// Text is quoted with printable ASCII kept, \" and \\ escaped, other
// characters as \u{hex} (a lone surrogate too) and bytes that are no UTF-8 as
// \xHH. Longer than kGoldenExcerpt characters, only those are shown, followed
// by +LENGTH#HASH (bytes, or UTF-16 units; FNV-1a of the whole value).
#pragma once
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "parsers/track_info.h"

enum { kGoldenBytes = 65536, kGoldenExcerpt = 40 };

inline bool g_golden_on = false;
inline char g_golden[kGoldenBytes];
inline size_t g_golden_used = 0;
inline bool g_golden_cut = false;  // the description did not fit: kept cut, marked

inline void GoldenReset() {
  g_golden_used = 0;
  g_golden[0] = 0;
  g_golden_cut = false;
}

__attribute__((format(printf, 1, 2))) inline void GoldenText(const char *format, ...) {
  if (!g_golden_on || g_golden_cut) return;
  const size_t room = kGoldenBytes - g_golden_used;
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(g_golden + g_golden_used, room, format, args);
  va_end(args);
  if (n < 0 || (size_t)n >= room) {
    g_golden_cut = true;
    g_golden_used = kGoldenBytes - 1;
    g_golden[g_golden_used] = 0;
    return;
  }
  g_golden_used += (size_t)n;
}

// FNV-1a, 32 bits.
inline uint32_t GoldenHash(const uint8_t *data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

inline void GoldenCodePoint(uint32_t c) {
  if (c == '"' || c == '\\') {
    GoldenText("\\%c", (char)c);
  } else if (c >= 0x20 && c < 0x7F) {
    GoldenText("%c", (char)c);
  } else {
    GoldenText("\\u{%x}", (unsigned)c);
  }
}

// The length of the well-formed UTF-8 character at s with its code point, or
// 0 when the byte there starts none.
inline size_t GoldenUtf8Char(const uint8_t *s, size_t n, uint32_t *c) {
  const uint8_t b = s[0];
  size_t len;
  uint8_t low = 0x80, high = 0xBF;
  if (b < 0x80) {
    *c = b;
    return 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (len > n) return 0;
  if (s[1] < low || s[1] > high) return 0;
  for (size_t k = 2; k < len; ++k) {
    if ((s[k] & 0xC0) != 0x80) return 0;
  }
  uint32_t value = b & (0xFF >> (len + 1));
  for (size_t k = 1; k < len; ++k) value = (value << 6) | (s[k] & 0x3F);
  *c = value;
  return len;
}

// Counted UTF-8 (or any bytes) as a quoted string.
inline void GoldenUtf8(const char *text, size_t bytes) {
  if (!g_golden_on) return;
  const uint8_t *s = reinterpret_cast<const uint8_t *>(text);
  GoldenText("\"");
  size_t pos = 0;
  for (int shown = 0; pos < bytes && shown < kGoldenExcerpt; ++shown) {
    uint32_t c;
    const size_t len = GoldenUtf8Char(s + pos, bytes - pos, &c);
    if (len == 0) {
      GoldenText("\\x%02x", s[pos]);
      ++pos;
    } else {
      GoldenCodePoint(c);
      pos += len;
    }
  }
  GoldenText("\"");
  if (pos < bytes) GoldenText("+%zu#%08x", bytes, GoldenHash(s, bytes));
}

// FNV-1a continued over UTF-16 units as little-endian bytes.
inline uint32_t GoldenHash16(uint32_t h, const Utf16Unit *s, size_t units) {
  for (size_t i = 0; i < units; ++i) {
    h = (h ^ (s[i] & 0xFF)) * 16777619u;
    h = (h ^ (s[i] >> 8)) * 16777619u;
  }
  return h;
}

// Counted UTF-16 as a quoted string.
inline void GoldenUtf16(const Utf16Unit *s, size_t units) {
  if (!g_golden_on) return;
  GoldenText("\"");
  size_t pos = 0;
  for (int shown = 0; pos < units && shown < kGoldenExcerpt; ++shown) {
    const uint32_t u = s[pos];
    if (u >= 0xD800 && u < 0xDC00 && 1 < units - pos && s[pos + 1] >= 0xDC00 && s[pos + 1] < 0xE000) {
      GoldenCodePoint(0x10000 + ((u - 0xD800) << 10) + (s[pos + 1] - 0xDC00u));
      pos += 2;
    } else {
      GoldenCodePoint(u);
      ++pos;
    }
  }
  GoldenText("\"");
  if (pos < units) GoldenText("+%zu#%08x", units, GoldenHash16(2166136261u, s, units));
}

inline size_t GoldenUnits(const Utf16Unit *field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != 0) ++n;
  return n;
}

// The record's non-empty fields. When anything but zeros lies after a
// field's terminator (a shorter value written over a longer one), the hash of
// the whole record follows: the host is handed all of it.
inline void GoldenRecord(const TrackInfoRecord &r) {
  if (!g_golden_on) return;
  struct Field {
    const char *name;
    const Utf16Unit *units;
    size_t capacity;
  };
  const Field fields[] = {{"title", r.title, kTitleUnits},
                          {"artist", r.artist, kArtistUnits},
                          {"album", r.album, kAlbumUnits},
                          {"year", r.year, kYearUnits}};
  bool empty = true, rest = false;
  for (const Field &f : fields) {
    const size_t n = GoldenUnits(f.units, f.capacity);
    for (size_t i = n; i < f.capacity; ++i) rest = rest || f.units[i] != 0;
    if (n == 0) continue;
    empty = false;
    GoldenText(" %s=", f.name);
    GoldenUtf16(f.units, n);
  }
  if (empty) GoldenText(" no-fields");
  if (rest) {
    uint32_t h = 2166136261u;
    for (const Field &f : fields) h = GoldenHash16(h, f.units, f.capacity);
    GoldenText(" rest#%08x", h);
  }
}
