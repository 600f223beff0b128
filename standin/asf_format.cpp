// ASF (Windows Media Audio): the header object's children give the shape
// (the audio stream's properties), the length (the file properties' play
// duration less the preroll) and the tags (the content description and the
// extended content description), handed out as "Name=value" in UTF-8.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint8_t kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
static const uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
static const uint8_t kStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
static const uint8_t kAudioMedia[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                        0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
static const uint8_t kContentDescription[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
static const uint8_t kExtendedContentDescription[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                        0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

static const uint32_t kMaxHeaderBytes = 4 * 1024 * 1024;  // covers cover art in the descriptions
static const uint32_t kMaxObjects = 1024;
static const uint32_t kKeyBytes = 256;  // an attribute name as UTF-8 with its NUL

// Counted UTF-16LE text (to its first zero unit) as UTF-8 into out, which
// holds cap bytes; returns the bytes written (no NUL). An unpaired surrogate
// becomes U+FFFD; a character that does not fit ends the text.
static uint32_t Utf16LeToUtf8(const uint8_t *text, uint32_t units, uint8_t *out, uint32_t cap) {
  uint32_t used = 0;
  for (uint32_t i = 0; i < units; ++i) {
    uint32_t c = Le16(text + 2 * i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && Le16(text + 2 * i + 2) >= 0xDC00 &&
        Le16(text + 2 * i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (Le16(text + 2 * i + 2) - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    uint8_t bytes[4];
    uint32_t n;
    if (c < 0x80) {
      bytes[0] = (uint8_t)c;
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = (uint8_t)(0xC0 | (c >> 6));
      bytes[1] = (uint8_t)(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      bytes[0] = (uint8_t)(0xE0 | (c >> 12));
      bytes[1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = (uint8_t)(0x80 | (c & 0x3F));
      n = 3;
    } else {
      bytes[0] = (uint8_t)(0xF0 | (c >> 18));
      bytes[1] = (uint8_t)(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = (uint8_t)(0x80 | (c & 0x3F));
      n = 4;
    }
    if (n > cap - used) break;
    memcpy(out + used, bytes, n);
    used += n;
  }
  return used;
}

// A name and a UTF-16LE value of `bytes` bytes as one entry; the value is
// converted into scratch (three bytes of UTF-8 per unit at most).
static void AddUtf16Entry(TagListBuilder *list, const char *key, const uint8_t *value, uint32_t bytes, uint8_t *scratch) {
  const uint32_t units = bytes / 2;
  const uint32_t len = Utf16LeToUtf8(value, units, scratch, units * 3);
  if (len > 0) AddTagEntry(list, key, scratch, len);
}

// Content Description: five lengths (title, author, copyright, description,
// rating), then the five UTF-16LE strings.
static void AddContentDescription(const uint8_t *body, uint32_t size, TagListBuilder *list, uint8_t *scratch) {
  static const char *const kNames[5] = {"Title", "Author", "Copyright", "Description", "Rating"};
  if (10 > size) return;
  uint32_t pos = 10;
  for (int i = 0; i < 5; ++i) {
    const uint32_t len = Le16(body + 2 * i);
    if (len > size - pos) return;
    AddUtf16Entry(list, kNames[i], body + pos, len, scratch);
    pos += len;
  }
}

// Extended Content Description: a count, then per attribute its name length,
// UTF-16LE name, value type, value length and value. Text values (type 0) go
// in as text, 32-bit numbers (type 3) in decimal; others are left out.
static void AddExtendedDescription(const uint8_t *body, uint32_t size, TagListBuilder *list, uint8_t *scratch) {
  if (2 > size) return;
  const uint32_t count = Le16(body);
  uint32_t pos = 2;
  for (uint32_t i = 0; i < count; ++i) {
    if (2 > size - pos) return;
    const uint32_t name_len = Le16(body + pos);
    pos += 2;
    if (name_len > size - pos) return;
    const uint8_t *name = body + pos;
    pos += name_len;
    if (4 > size - pos) return;
    const uint32_t type = Le16(body + pos);
    const uint32_t value_len = Le16(body + pos + 2);
    pos += 4;
    if (value_len > size - pos) return;
    const uint8_t *value = body + pos;
    pos += value_len;
    char key[kKeyBytes];
    const uint32_t key_len = Utf16LeToUtf8(name, name_len / 2, (uint8_t *)key, kKeyBytes - 1);
    key[key_len] = 0;
    if (key_len == 0) continue;
    if (type == 0) {
      AddUtf16Entry(list, key, value, value_len, scratch);
    } else if (type == 3 && value_len == 4) {
      char number[12];
      const int n = snprintf(number, sizeof number, "%u", (unsigned)Le32(value));
      if (n > 0) AddTagEntry(list, key, (const uint8_t *)number, (uint32_t)n);
    }
  }
}

bool OpenAsf(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t head[30];
  if (!ReadExact(src, 0, head, sizeof(head)) || memcmp(head, kHeaderObject, 16) != 0) return false;
  const uint64_t header_size = Le64(head + 16);
  const uint32_t objects = Le32(head + 24);
  if (header_size < 30 || header_size > kMaxHeaderBytes) return FailOpen(out);
  const uint32_t size = (uint32_t)header_size;
  uint8_t *header = (uint8_t *)malloc(size);
  // Converted text: at most three bytes per UTF-16 unit of the header.
  uint8_t *scratch = (uint8_t *)malloc((size_t)size * 2);
  TagListBuilder list;
  list.data = NULL;
  if (header == NULL || scratch == NULL || !ReadExact(src, 0, header, size) || !StartTagList(&list, size * 2)) {
    free(header);
    free(scratch);
    return FailOpen(out);
  }
  bool have_file = false, have_audio = false;
  uint64_t play_duration = 0, preroll_ms = 0;
  uint32_t pos = 30;
  for (uint32_t n = 0; n < objects && n < kMaxObjects && 24 <= size - pos; ++n) {
    const uint8_t *object = header + pos;
    const uint64_t object_size = Le64(object + 16);
    if (object_size < 24 || object_size > size - pos) break;
    const uint8_t *body = object + 24;
    const uint32_t body_size = (uint32_t)object_size - 24;
    if (memcmp(object, kFileProperties, 16) == 0 && body_size >= 80) {
      play_duration = Le64(body + 40);  // 100-nanosecond units
      preroll_ms = Le64(body + 56);
      have_file = true;
    } else if (memcmp(object, kStreamProperties, 16) == 0 && body_size >= 54 + 16 && !have_audio &&
               memcmp(body, kAudioMedia, 16) == 0 && Le32(body + 40) >= 16) {
      const uint8_t *wave = body + 54;  // WAVEFORMATEX
      out->chans = Le16(wave + 2);
      out->freq = Le32(wave + 4);
      out->origres = 0;
      have_audio = true;
    } else if (memcmp(object, kContentDescription, 16) == 0) {
      AddContentDescription(body, body_size, &list, scratch);
    } else if (memcmp(object, kExtendedContentDescription, 16) == 0) {
      AddExtendedDescription(body, body_size, &list, scratch);
    }
    pos += (uint32_t)object_size;
  }
  free(header);
  free(scratch);
  if (!have_audio || !StreamShapeValid(out)) {
    free(list.data);
    return FailOpen(out);
  }
  out->format = kFormatWma;
  if (have_file) {
    const uint64_t preroll = preroll_ms * 10000;
    const uint64_t duration = play_duration > preroll ? play_duration - preroll : 0;
    // 100-ns units to frames, without overflow for any rate in range.
    out->frames = duration / 10000000 * out->freq + duration % 10000000 * out->freq / 10000000;
    out->length_known = true;
  }
  if (list.used > 0) {
    FinishTagList(&list, &out->tags[kTagWma]);
  } else {
    free(list.data);
  }
  return true;
}
