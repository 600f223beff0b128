// Read-at-offset seam between the format parsers and whatever holds the
// bytes (a local file, an HTTP download, a memory block). The parsers see
// nothing else of the platform, so they build on any compiler.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "parsers/byte_order.h"

static const uint64_t kSourceSizeUnknown = ~(uint64_t)0;

struct ByteSource {
  void *ctx;
  // Copies up to len bytes at offset into buf; returns how many were copied
  // (fewer at the end of the data or on a read failure).
  uint32_t (*read_at)(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len);
  uint64_t size;  // total bytes, or kSourceSizeUnknown (a download without a length)
};

// True when all len bytes at offset were read. A known size is checked first,
// so no read is ever asked for past the end.
bool ReadExact(const ByteSource *src, uint64_t offset, void *buf, uint32_t len);

// Reads up to len bytes; returns the count (stops at the end or a short read).
uint32_t ReadUpTo(const ByteSource *src, uint64_t offset, void *buf, uint32_t len);

// A size the bytes claim for what lies at offset, cut to the bytes the
// source holds there (a cut or still-growing file); a download's claim stands.
uint64_t BytesPresent(const ByteSource *src, uint64_t offset, uint64_t claimed);

// A search over a window of up to `capacity` bytes at `offset` reads it in
// two steps (the first 4 KiB, then the rest): most searches succeed in the
// first and need not read the whole window. Grows window[0, *filled) until it
// holds `need` bytes; false when the window is full or the source ends first.
// The bytes are those one ReadUpTo of the whole window would give.
bool WindowHolds(const ByteSource *src, uint64_t offset, uint8_t *window, uint32_t capacity, uint32_t *filled,
                 uint32_t need);

// A source over a memory block (tests, in-memory streams).
struct MemorySource {
  const uint8_t *data;
  size_t size;
};
ByteSource MakeMemorySource(MemorySource *mem);

// Byte-order helpers over bytes already read (parsers/byte_order.h), and
// the stand-in's syncsafe reading, which ignores each byte's top bit.
static inline uint32_t Syncsafe32(const uint8_t *p) {
  const uint8_t low7[4] = {(uint8_t)(p[0] & 0x7F), (uint8_t)(p[1] & 0x7F), (uint8_t)(p[2] & 0x7F),
                           (uint8_t)(p[3] & 0x7F)};
  return ReadSyncsafe(low7);
}
