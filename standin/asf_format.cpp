// ASF (Windows Media Audio): the header object's children give the shape
// (the audio stream's properties), the length (the file properties' play
// duration less the preroll) and the tags (the content description and the
// extended content description), handed out as "Name=value" in UTF-8.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "parsers/utf8.h"
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

static const uint32_t kMaxDescriptionBytes = 4 * 1024 * 1024;  // a description object: its cover art included
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
    if (i + 1 < units && IsUtf16Pair(c, Le16(text + 2 * i + 2))) {
      c = Utf16PairCodePoint(c, Le16(text + 2 * i + 2));
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    uint8_t bytes[4];
    const uint32_t n = (uint32_t)EncodeUtf8(c, bytes);
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

// Where the header object's children of interest lie (body offset, size).
struct AsfObjects {
  uint64_t file_body, stream_body, content_body, extended_body;
  uint64_t content_size, extended_size;
  bool file, stream, content, extended;
};

// Walks the header object's children by their 24-byte headers alone; the
// first object of each kind counts (for the stream: the first audio stream).
static bool FindAsfObjects(const ByteSource *src, uint64_t header_end, uint32_t objects, AsfObjects *found) {
  memset(found, 0, sizeof *found);
  uint64_t pos = 30;
  for (uint32_t n = 0; n < objects && n < kMaxObjects && pos < header_end && 24 <= header_end - pos; ++n) {
    uint8_t head[24 + 16];
    if (!ReadExact(src, pos, head, 24)) return false;
    const uint64_t size = Le64(head + 16);
    if (size < 24 || size > header_end - pos) break;
    const uint64_t body = pos + 24, body_size = size - 24;
    if (memcmp(head, kFileProperties, 16) == 0 && !found->file && body_size >= 80) {
      found->file = true;
      found->file_body = body;
    } else if (memcmp(head, kStreamProperties, 16) == 0 && !found->stream && body_size >= 54 + 16 &&
               ReadExact(src, body, head + 24, 16) && memcmp(head + 24, kAudioMedia, 16) == 0) {
      found->stream = true;
      found->stream_body = body;
    } else if (memcmp(head, kContentDescription, 16) == 0 && !found->content && body_size <= kMaxDescriptionBytes) {
      found->content = true;
      found->content_body = body;
      found->content_size = body_size;
    } else if (memcmp(head, kExtendedContentDescription, 16) == 0 && !found->extended &&
               body_size <= kMaxDescriptionBytes) {
      found->extended = true;
      found->extended_body = body;
      found->extended_size = body_size;
    }
    pos += size;
  }
  return true;
}

// Reads a description object's body and adds its entries to the list.
static void AddAsfDescription(const ByteSource *src, uint64_t body, uint64_t size, TagListBuilder *list,
                              void (*add)(const uint8_t *, uint32_t, TagListBuilder *, uint8_t *)) {
  uint8_t *bytes = (uint8_t *)malloc(size ? (size_t)size : 1);
  // Converted text: at most three bytes of UTF-8 per two bytes of UTF-16.
  uint8_t *scratch = (uint8_t *)malloc((size_t)size * 2 + 1);
  if (bytes != NULL && scratch != NULL && ReadExact(src, body, bytes, (uint32_t)size)) {
    add(bytes, (uint32_t)size, list, scratch);
  }
  free(bytes);
  free(scratch);
}

bool OpenAsf(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t head[30];
  if (!ReadExact(src, 0, head, sizeof(head)) || memcmp(head, kHeaderObject, 16) != 0) return false;
  const uint64_t header_size = Le64(head + 16);
  if (header_size < 30) return FailOpen(out);
  AsfObjects found;
  if (!FindAsfObjects(src, header_size, Le32(head + 24), &found) || !found.stream) return FailOpen(out);
  uint8_t wave[16];  // the audio stream's WAVEFORMATEX, after its type-specific data
  if (!ReadExact(src, found.stream_body + 54, wave, sizeof wave)) return FailOpen(out);
  out->format = kFormatWma;
  out->chans = Le16(wave + 2);
  out->freq = Le32(wave + 4);
  out->origres = 0;
  if (!StreamShapeValid(out)) return FailOpen(out);
  uint8_t file[80];
  if (found.file && ReadExact(src, found.file_body, file, sizeof file)) {
    const uint64_t play_duration = Le64(file + 40);  // 100-nanosecond units
    const uint64_t preroll = Le64(file + 56) * 10000;  // milliseconds
    const uint64_t duration = play_duration > preroll ? play_duration - preroll : 0;
    // 100-ns units to frames, without overflow for any rate in range.
    out->frames = duration / 10000000 * out->freq + duration % 10000000 * out->freq / 10000000;
    out->length_known = true;
  }
  // An entry takes no more than twice its bytes in the object (UTF-16 to
  // UTF-8 grows a text by half at most; keys and numbers fit their headers).
  uint64_t cap = (found.content_size + found.extended_size) * 2;
  if (cap > kMaxTagBlock) cap = kMaxTagBlock;  // what does not fit is left out
  TagListBuilder list;
  if (StartTagList(&list, (uint32_t)cap)) {
    if (found.content) AddAsfDescription(src, found.content_body, found.content_size, &list, AddContentDescription);
    if (found.extended) AddAsfDescription(src, found.extended_body, found.extended_size, &list, AddExtendedDescription);
    if (list.used > 0) {
      FinishTagList(&list, &out->tags[kTagWma]);
    } else {
      free(list.data);
    }
  }
  return true;
}
