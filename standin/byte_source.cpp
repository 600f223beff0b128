#include "standin/byte_source.h"

#include <string.h>

bool ReadExact(const ByteSource *src, uint64_t offset, void *buf, uint32_t len) {
  if (src->size != kSourceSizeUnknown) {
    if (offset > src->size) return false;
    if (len > src->size - offset) return false;
  }
  uint8_t *out = (uint8_t *)buf;
  uint32_t done = 0;
  while (done < len) {
    uint32_t got = src->read_at(src->ctx, offset + done, out + done, len - done);
    if (got == 0 || got > len - done) return false;
    done += got;
  }
  return true;
}

uint32_t ReadUpTo(const ByteSource *src, uint64_t offset, void *buf, uint32_t len) {
  if (src->size != kSourceSizeUnknown) {
    if (offset >= src->size) return 0;
    if (len > src->size - offset) len = (uint32_t)(src->size - offset);
  }
  uint8_t *out = (uint8_t *)buf;
  uint32_t done = 0;
  while (done < len) {
    uint32_t got = src->read_at(src->ctx, offset + done, out + done, len - done);
    if (got == 0 || got > len - done) break;
    done += got;
  }
  return done;
}

uint64_t BytesPresent(const ByteSource *src, uint64_t offset, uint64_t claimed) {
  if (src->size == kSourceSizeUnknown) return claimed;
  const uint64_t present = offset <= src->size ? src->size - offset : 0;
  return claimed < present ? claimed : present;
}

bool WindowHolds(const ByteSource *src, uint64_t offset, uint8_t *window, uint32_t capacity, uint32_t *filled,
                 uint32_t need) {
  const uint32_t kFirstStep = 4096;
  while (*filled < need) {
    if (*filled >= capacity) return false;
    uint32_t step = *filled < kFirstStep ? kFirstStep - *filled : capacity - *filled;
    if (step > capacity - *filled) step = capacity - *filled;
    const uint32_t added = ReadUpTo(src, offset + *filled, window + *filled, step);
    if (added == 0) return false;
    *filled += added;
  }
  return true;
}

static uint32_t MemoryReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  const MemorySource *mem = (const MemorySource *)ctx;
  if (offset >= mem->size) return 0;
  if (len > mem->size - offset) len = (uint32_t)(mem->size - offset);
  memcpy(buf, mem->data + offset, len);
  return len;
}

ByteSource MakeMemorySource(MemorySource *mem) {
  ByteSource src;
  src.ctx = mem;
  src.read_at = MemoryReadAt;
  src.size = mem->size;
  return src;
}
