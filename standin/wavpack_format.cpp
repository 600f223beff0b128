// WavPack: the first block header gives the shape and total samples; an
// APEv2 tag at the end gives the tags.
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kBlockSearch = 64 * 1024;
static const uint32_t kMetadataRead = 64 * 1024;
static const uint32_t kTailSearch = 1024 * 1024;

struct WavPackBlock {
  uint32_t size;  // bytes after the first eight
  uint16_t version;
  uint64_t total_samples;  // ~0 when unknown
  uint64_t block_index;
  uint32_t block_samples;
  uint32_t flags;
};

static bool ParseBlockHeader(const uint8_t p[32], WavPackBlock *b) {
  if (memcmp(p, "wvpk", 4) != 0) return false;
  b->size = Le32(p + 4);
  b->version = Le16(p + 8);
  if (b->version < 0x402 || b->version > 0x410 || b->size < 24) return false;
  uint32_t total = Le32(p + 12);
  if (total == 0xFFFFFFFFu) {
    b->total_samples = ~(uint64_t)0;
  } else {
    b->total_samples = (uint64_t)total + ((uint64_t)p[11] << 32) - p[11];
  }
  b->block_index = (uint64_t)Le32(p + 16) + ((uint64_t)p[10] << 32);
  b->block_samples = Le32(p + 20);
  b->flags = Le32(p + 24);
  return true;
}

// Samples from the last block found in the file's tail (for files written
// without a total, e.g. from a pipe).
static bool TotalFromLastBlock(const ByteSource *src, uint64_t audio_end, uint64_t *total) {
  uint64_t span = audio_end < kTailSearch ? audio_end : kTailSearch;
  uint8_t *buf = (uint8_t *)malloc(span ? (size_t)span : 1);
  if (buf == NULL) return false;
  bool found = false;
  if (ReadExact(src, audio_end - span, buf, (uint32_t)span)) {
    for (uint64_t i = span >= 32 ? span - 32 + 1 : 0; i-- > 0 && !found;) {
      WavPackBlock b;
      if (buf[i] != 'w' || !ParseBlockHeader(buf + i, &b) || b.block_samples == 0) continue;
      *total = b.block_index + b.block_samples;
      found = true;
    }
  }
  free(buf);
  return found;
}

// The first block header at or after start; the search window grows only
// while no block has been found in it.
static bool FindFirstBlock(const ByteSource *src, uint64_t start, uint64_t *block_pos, WavPackBlock *first) {
  uint8_t *window = (uint8_t *)malloc(kBlockSearch + 32);
  if (window == NULL) return false;
  uint32_t got = 0;
  bool found = false;
  for (uint32_t i = 0; !found && WindowHolds(src, start, window, kBlockSearch + 32, &got, i + 32); ++i) {
    if (window[i] == 'w' && ParseBlockHeader(window + i, first)) {
      *block_pos = start + i;
      found = true;
    }
  }
  free(window);
  return found;
}

// The shape the first block's flags give: channels, rate (0 for a custom
// one) and bits.
static void ShapeFromFlags(uint32_t flags, StreamFacts *out) {
  static const uint32_t kRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                      32000, 44100, 48000, 64000, 88200, 96000, 192000};
  uint32_t bytes_per_sample = (flags & 3) + 1;
  uint32_t shift = (flags >> 13) & 0x1F;
  uint32_t rate_index = (flags >> 23) & 0xF;
  out->chans = (flags & 4) ? 1 : 2;
  out->freq = rate_index < 15 ? kRates[rate_index] : 0;
  out->origres = (flags & 0x80) ? 32 : bytes_per_sample * 8;
  if (!(flags & 0x80) && shift < out->origres) out->origres -= shift;
}

// Channel count and odd sample rate from the sub-blocks in [base, base +
// size) of walk: only sub-block headers and the two kinds used are read, not
// the audio between them.
static void WalkSubBlocks(const ByteSource *walk, uint64_t base, uint32_t size, StreamFacts *out) {
  uint32_t pos = 0;
  while (pos <= size && 2 <= size - pos) {
    uint8_t head_bytes[4];
    uint32_t head = 2;
    if (!ReadExact(walk, base + pos, head_bytes, 2)) break;
    uint32_t id = head_bytes[0];
    uint32_t words = head_bytes[1];
    if (id & 0x80) {  // large: three size bytes
      if (4 > size - pos || !ReadExact(walk, base + pos + 2, head_bytes + 2, 2)) break;
      words |= ((uint32_t)head_bytes[2] << 8) | ((uint32_t)head_bytes[3] << 16);
      head = 4;
    }
    uint32_t stored = words * 2;
    uint32_t length = (id & 0x40) && stored > 0 ? stored - 1 : stored;  // odd-size flag
    pos += head;
    if (stored > size - pos) break;
    uint32_t unique = id & 0x3F;
    uint8_t data[4];
    if (unique == 0x0D && length >= 1) {  // channel info: count first
      uint32_t want = length == 6 ? 3 : 1;
      if (!ReadExact(walk, base + pos, data, want)) break;
      uint32_t chans = data[0];
      if (length == 6) chans = (data[0] | ((data[2] & 0xF) << 8)) + 1;
      out->chans = chans;
    } else if (unique == 0x27 && length >= 3) {  // sample rate
      uint32_t want = length >= 4 ? 4 : 3;
      if (!ReadExact(walk, base + pos, data, want)) break;
      uint32_t rate = data[0] | ((uint32_t)data[1] << 8) | ((uint32_t)data[2] << 16);
      if (length >= 4) rate |= (uint32_t)(data[3] & 0x7F) << 24;
      out->freq = rate;
    }
    pos += stored;
  }
}

// The metadata sub-blocks of the first block, up to kMetadataRead bytes of
// them: read where they lie in a file, fetched up front from a download (no
// known size). False when the fetch cannot be held.
static bool ReadSubBlocks(const ByteSource *src, uint64_t block_pos, const WavPackBlock *first, StreamFacts *out) {
  uint32_t meta_size = first->size - 24;
  if (meta_size > kMetadataRead) meta_size = kMetadataRead;
  const uint64_t base = block_pos + 32;
  if (src->size != kSourceSizeUnknown) {
    if (base >= src->size) {
      meta_size = 0;
    } else if (meta_size > src->size - base) {
      meta_size = (uint32_t)(src->size - base);
    }
    WalkSubBlocks(src, base, meta_size, out);
    return true;
  }
  uint8_t *meta = (uint8_t *)malloc(meta_size ? meta_size : 1);
  if (meta == NULL) return false;
  MemorySource fetched = {meta, ReadUpTo(src, base, meta, meta_size)};
  ByteSource in_memory = MakeMemorySource(&fetched);
  WalkSubBlocks(&in_memory, 0, (uint32_t)fetched.size, out);
  free(meta);
  return true;
}

// The length: the first block's total, or for a file written without one
// (e.g. from a pipe) the end of the last block before the trailing tags,
// whose APE items are loaded on the way.
static void MeasureFromTail(const ByteSource *src, uint64_t block_pos, const WavPackBlock *first, StreamFacts *out) {
  const uint64_t audio_end = LoadTrailingTags(src, block_pos, out);
  if (first->total_samples != ~(uint64_t)0) {
    out->frames = first->total_samples;
    out->length_known = true;
  } else if (audio_end != kSourceSizeUnknown && TotalFromLastBlock(src, audio_end, &out->frames)) {
    out->length_known = true;
  }
}

bool OpenWavPack(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  const uint64_t start = Id3v2SpanAt(src, 0);
  uint64_t block_pos = 0;
  WavPackBlock first;
  if (!FindFirstBlock(src, start, &block_pos, &first)) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);
  if (first.flags & 0x80000000u) return FailOpen(out);  // DSD audio in WavPack is not measured here
  ShapeFromFlags(first.flags, out);
  if (!ReadSubBlocks(src, block_pos, &first, out)) return FailOpen(out);
  MeasureFromTail(src, block_pos, &first, out);
  out->format = kFormatWavPack;
  if (!StreamShapeValid(out)) return FailOpen(out);
  return true;
}
