#include "standin/tag_blocks.h"

#include <stdlib.h>
#include <string.h>

#include "standin/iff_chunks.h"

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
  uint8_t header[10];
  if (!ReadExact(src, offset, header, sizeof(header))) return 0;
  const uint32_t span = Id3v2TagSpan(header);
  if (span == 0 || out->data != NULL) return span;
  // A file's tag is handed out whatever its size, once the file proves to
  // hold all of it; a download's size is unknown, so its claim is capped.
  if (src->size == kSourceSizeUnknown ? span > kMaxTagBlock : offset > src->size || span > src->size - offset) {
    return span;
  }
  // The library hands out a version 4 tag without its footer.
  const uint32_t handed_out = header[3] >= 4 && (header[5] & 0x10) ? span - 10 : span;
  // Zero bytes after the tag keep a reader that peeks a little past its end
  // inside the block.
  const uint32_t kSlack = 16;
  uint8_t *data = (uint8_t *)calloc(1, (size_t)span + kSlack);
  if (data == NULL) return span;
  if (!ReadExact(src, offset, data, span)) {  // cut short (footer included): no tag
    free(data);
    return span;
  }
  out->data = data;
  out->size = handed_out;
  return span;
}

bool StartTagList(TagListBuilder *b, uint32_t cap) {
  b->used = 0;
  b->cap = cap;
  b->data = (uint8_t *)malloc((size_t)cap + 1);  // and the empty string that ends the list
  return b->data != NULL;
}

// Appends bytes when they fit beside the entry's NUL and the final one.
static bool AppendBytes(TagListBuilder *b, const void *bytes, uint32_t len) {
  if (len > b->cap - b->used) return false;
  memcpy(b->data + b->used, bytes, len);
  b->used += len;
  return true;
}

bool AddTagEntry(TagListBuilder *b, const char *key, const uint8_t *value, uint32_t len) {
  const uint8_t *nul = (const uint8_t *)memchr(value, 0, len);
  if (nul != NULL) len = (uint32_t)(nul - value);
  const uint32_t at = b->used;
  if (key[0] == 0 && len == 0) return false;  // an empty entry would end the list
  if (!AppendBytes(b, key, (uint32_t)strlen(key)) || (key[0] != 0 && !AppendBytes(b, "=", 1)) ||
      !AppendBytes(b, value, len) || !AppendBytes(b, "", 1)) {
    b->used = at;  // what does not fit is left out whole
    return false;
  }
  return true;
}

void FinishTagList(TagListBuilder *b, TagBlock *out) {
  b->data[b->used++] = 0;
  out->data = b->data;
  out->size = b->used;
  b->data = NULL;
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
  if (count == 0) return false;  // no comments: the library hands out none
  // Every entry costs at least its four length bytes, so the list is never
  // longer than the body plus the final NUL.
  TagListBuilder list;
  if (!StartTagList(&list, (uint32_t)size)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    if (4 > size - pos) break;  // fewer entries than counted: keep the whole ones
    uint32_t len = Le32(body + pos);
    pos += 4;
    if (len > size - pos) break;
    // An empty comment (or one that starts with a NUL) ends the list there.
    if (!AddTagEntry(&list, "", body + pos, len)) break;
    pos += len;
  }
  FinishTagList(&list, out);
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
  place->version = version;
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
    // Multiple values are NUL-separated; the library joins them with "/"
    // (NULs that end the value separate nothing).
    uint32_t value_len = value_size;
    while (value_len > 0 && value[value_len - 1] == 0) --value_len;
    if (key_len + 1 + value_len + 1 > cap - 1 - used) break;
    memcpy(list + used, key, key_len);
    used += key_len;
    list[used++] = '=';
    for (uint32_t k = 0; k < value_len; ++k) list[used + k] = value[k] != 0 ? value[k] : '/';
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

bool LoadId3v1Tag(const ByteSource *src, TagBlock *out) {
  if (src->size == kSourceSizeUnknown || src->size < 128 || out->data != NULL) return false;
  uint8_t *tag = (uint8_t *)malloc(128);
  if (tag == NULL) return false;
  if (!ReadExact(src, src->size - 128, tag, 128) || memcmp(tag, "TAG", 3) != 0) {
    free(tag);
    return false;
  }
  out->data = tag;
  out->size = 128;
  return true;
}

bool LoadRiffInfoList(const ByteSource *src, uint64_t body, uint64_t size, TagBlock *out) {
  if (size < 4 || size > kMaxTagBlock || out->data != NULL) return false;
  uint8_t *chunk = (uint8_t *)malloc((size_t)size);
  if (chunk == NULL) return false;
  const uint32_t bytes = (uint32_t)size;
  bool is_info = ReadExact(src, body, chunk, bytes) && memcmp(chunk, "INFO", 4) == 0;
  // "XXXX=" and the NUL take no more than a sub-chunk's 8 header bytes.
  TagListBuilder list;
  if (!is_info || !StartTagList(&list, bytes)) {
    free(chunk);
    return false;
  }
  uint32_t pos = 4;
  for (uint32_t n = 0; n < kMaxChunks && 8 <= bytes - pos; ++n) {
    char key[5];
    memcpy(key, chunk + pos, 4);
    key[4] = 0;
    const uint32_t len = Le32(chunk + pos + 4);
    pos += 8;
    if (len > bytes - pos) break;
    // The value's pad and NUL bytes are dropped; a key with a NUL is no key.
    if (strlen(key) == 4) AddTagEntry(&list, key, chunk + pos, len);
    pos += len;
    if ((len & 1) != 0 && pos < bytes) ++pos;
  }
  free(chunk);
  FinishTagList(&list, out);
  return true;
}
