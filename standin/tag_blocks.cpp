#include "standin/tag_blocks.h"

#include <stdlib.h>
#include <string.h>

uint32_t Id3v2TagSpan(const uint8_t header[10]) {
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
  if (header[3] < 2 || header[3] > 4 || header[4] == 0xFF) return 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return 0;  // not a syncsafe size
  }
  uint32_t span = 10 + Syncsafe32(header + 6);  // at most 10 + 2^28 - 1
  if (header[3] >= 4 && (header[5] & 0x10)) span += 10;  // footer
  return span;
}

uint32_t Id3v2SpanAt(const ByteSource *src, uint64_t offset) {
  uint8_t header[10];
  if (!ReadExact(src, offset, header, sizeof(header))) return 0;
  return Id3v2TagSpan(header);
}

uint32_t LoadId3v2Tag(const ByteSource *src, uint64_t offset, TagBlock *out) {
  uint32_t span = Id3v2SpanAt(src, offset);
  if (span == 0 || span > kMaxTagBlock || out->data != NULL) return span;
  if (src->size != kSourceSizeUnknown && (offset > src->size || span > src->size - offset)) return span;
  // Zero bytes after the tag keep a reader that peeks a little past its end
  // inside the block.
  const uint32_t kSlack = 16;
  uint8_t *data = (uint8_t *)calloc(1, (size_t)span + kSlack);
  if (data == NULL) return span;
  if (!ReadExact(src, offset, data, span)) {  // cut short: no tag
    free(data);
    return span;
  }
  out->data = data;
  out->size = span;
  return span;
}

// Appends text (cut at its first NUL) and a NUL; cap is the block's capacity.
static void AppendEntry(uint8_t *list, uint32_t *used, uint32_t cap, const uint8_t *text, uint32_t len) {
  const uint8_t *nul = (const uint8_t *)memchr(text, 0, len);
  if (nul != NULL) len = (uint32_t)(nul - text);
  if (len == 0) return;  // an empty entry would end the list early
  if (len > cap - *used || 1 > cap - *used - len) return;
  memcpy(list + *used, text, len);
  *used += len;
  list[(*used)++] = 0;
}

bool BuildVorbisCommentList(const uint8_t *body, size_t size, TagBlock *out) {
  if (size > kMaxTagBlock || out->data != NULL) return false;
  size_t pos = 0;
  if (4 > size - pos) return false;
  uint32_t vendor_len = Le32(body + pos);
  pos += 4;
  if (vendor_len > size - pos) return false;
  pos += vendor_len;
  if (4 > size - pos) return false;
  uint32_t count = Le32(body + pos);
  pos += 4;
  // Every entry costs at least its four length bytes, so the list is never
  // longer than the body plus the final NUL.
  uint32_t cap = (uint32_t)size + 1;
  uint8_t *list = (uint8_t *)malloc(cap);
  if (list == NULL) return false;
  uint32_t used = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (4 > size - pos) break;  // fewer entries than counted: keep the whole ones
    uint32_t len = Le32(body + pos);
    pos += 4;
    if (len > size - pos) break;
    AppendEntry(list, &used, cap - 1, body + pos, len);
    pos += len;
  }
  list[used++] = 0;
  out->data = list;
  out->size = used;
  return true;
}

bool FindApeTag(const ByteSource *src, uint64_t end_offset, ApeTagPlace *place) {
  if (end_offset < 32) return false;
  uint8_t footer[32];
  if (!ReadExact(src, end_offset - 32, footer, sizeof(footer))) return false;
  if (memcmp(footer, "APETAGEX", 8) != 0) return false;
  uint32_t version = Le32(footer + 8);
  uint32_t size = Le32(footer + 12);  // items and footer, header excluded
  uint32_t count = Le32(footer + 16);
  uint32_t flags = Le32(footer + 20);
  if (version != 1000 && version != 2000) return false;
  if (flags & 0x20000000u) return false;  // a header where the footer belongs
  if (size < 32) return false;
  uint32_t items_size = size - 32;
  if (items_size > end_offset - 32) return false;
  place->items_start = end_offset - 32 - items_size;
  place->items_size = items_size;
  place->item_count = count;
  place->start = place->items_start;
  if (version == 2000 && (flags & 0x80000000u) && place->items_start >= 32) place->start -= 32;
  return true;
}

bool LoadApeItems(const ByteSource *src, const ApeTagPlace *place, TagBlock *out) {
  uint32_t size = place->items_size;
  if (size > kMaxTagBlock || out->data != NULL) return false;
  uint8_t *items = (uint8_t *)malloc(size + 1);
  if (items == NULL) return false;
  if (!ReadExact(src, place->items_start, items, size)) {
    free(items);
    return false;
  }
  // "key=value" plus NUL is never longer than the item's 8 header bytes,
  // key, NUL and value, so the items' size bounds the list.
  uint32_t cap = size + 1;
  uint8_t *list = (uint8_t *)malloc(cap);
  if (list == NULL) {
    free(items);
    return false;
  }
  uint32_t used = 0;
  uint32_t pos = 0;
  for (uint32_t i = 0; i < place->item_count; ++i) {
    if (8 > size - pos) break;  // fewer items than counted
    uint32_t value_size = Le32(items + pos);
    uint32_t flags = Le32(items + pos + 4);
    pos += 8;
    const uint8_t *key = items + pos;
    const uint8_t *key_end = (const uint8_t *)memchr(key, 0, size - pos);
    if (key_end == NULL) break;
    uint32_t key_len = (uint32_t)(key_end - key);
    pos += key_len + 1;
    if (value_size > size - pos) break;
    const uint8_t *value = items + pos;
    pos += value_size;
    if (((flags >> 1) & 3) != 0 || key_len == 0) continue;  // binary or locator items are no text
    // Multiple values are NUL-separated; the first one stands for the item.
    const uint8_t *value_nul = (const uint8_t *)memchr(value, 0, value_size);
    uint32_t value_len = value_nul != NULL ? (uint32_t)(value_nul - value) : value_size;
    if (key_len + 1 + value_len + 1 > cap - 1 - used) break;
    memcpy(list + used, key, key_len);
    used += key_len;
    list[used++] = '=';
    memcpy(list + used, value, value_len);
    used += value_len;
    list[used++] = 0;
  }
  list[used++] = 0;
  free(items);
  out->data = list;
  out->size = used;
  return true;
}

uint64_t TrimTrailingTags(const ByteSource *src, uint64_t start, uint64_t end, ApeTagPlace *ape, bool *has_ape) {
  if (has_ape != NULL) *has_ape = false;
  if (end < start) return end;
  uint8_t tag[3];
  if (end - start >= 128 && ReadExact(src, end - 128, tag, 3) && memcmp(tag, "TAG", 3) == 0) end -= 128;
  ApeTagPlace place;
  if (FindApeTag(src, end, &place) && place.start >= start) {
    end = place.start;
    if (ape != NULL) *ape = place;
    if (has_ape != NULL) *has_ape = true;
  }
  return end;
}
