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

bool OpenWavPack(const ByteSource *src, StreamFacts *out) {
  static const uint32_t kRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                      32000, 44100, 48000, 64000, 88200, 96000, 192000};
  ClearStreamFacts(out);
  uint64_t start = Id3v2SpanAt(src, 0);

  uint8_t *window = (uint8_t *)malloc(kBlockSearch + 32);
  if (window == NULL) return FailOpen(out);
  uint32_t got = 0;
  WavPackBlock first;
  uint64_t block_pos = 0;
  bool found = false;
  // The window grows only while no block has been found in it.
  for (uint32_t i = 0; !found && WindowHolds(src, start, window, kBlockSearch + 32, &got, i + 32); ++i) {
    if (window[i] == 'w' && ParseBlockHeader(window + i, &first)) {
      block_pos = start + i;
      found = true;
    }
  }
  free(window);
  if (!found) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);
  if (first.flags & 0x80000000u) return FailOpen(out);  // DSD audio in WavPack is not measured here

  uint32_t bytes_per_sample = (first.flags & 3) + 1;
  uint32_t shift = (first.flags >> 13) & 0x1F;
  uint32_t rate_index = (first.flags >> 23) & 0xF;
  out->chans = (first.flags & 4) ? 1 : 2;
  out->freq = rate_index < 15 ? kRates[rate_index] : 0;
  out->origres = (first.flags & 0x80) ? 32 : bytes_per_sample * 8;
  if (!(first.flags & 0x80) && shift < out->origres) out->origres -= shift;

  // Metadata sub-blocks of the first block: channel count, odd sample rate.
  // A file's walk reads only sub-block headers and the two kinds used, not
  // the audio between them; a download (no known size) is read up front.
  uint32_t meta_size = first.size - 24;
  if (meta_size > kMetadataRead) meta_size = kMetadataRead;
  uint8_t *meta = NULL;
  MemorySource fetched = {NULL, 0};
  ByteSource in_memory = {NULL, NULL, 0};
  const ByteSource *walk = src;
  uint64_t walk_base = block_pos + 32;
  if (src->size == kSourceSizeUnknown) {
    meta = (uint8_t *)malloc(meta_size ? meta_size : 1);
    if (meta == NULL) return FailOpen(out);
    fetched.data = meta;
    fetched.size = ReadUpTo(src, walk_base, meta, meta_size);
    meta_size = (uint32_t)fetched.size;
    in_memory = MakeMemorySource(&fetched);
    walk = &in_memory;
    walk_base = 0;
  } else if (walk_base >= src->size) {
    meta_size = 0;
  } else if (meta_size > src->size - walk_base) {
    meta_size = (uint32_t)(src->size - walk_base);
  }
  uint32_t pos = 0;
  while (pos <= meta_size && 2 <= meta_size - pos) {
    uint8_t head_bytes[4];
    uint32_t head = 2;
    if (!ReadExact(walk, walk_base + pos, head_bytes, 2)) break;
    uint32_t id = head_bytes[0];
    uint32_t words = head_bytes[1];
    if (id & 0x80) {  // large: three size bytes
      if (4 > meta_size - pos || !ReadExact(walk, walk_base + pos + 2, head_bytes + 2, 2)) break;
      words |= ((uint32_t)head_bytes[2] << 8) | ((uint32_t)head_bytes[3] << 16);
      head = 4;
    }
    uint32_t stored = words * 2;
    uint32_t length = (id & 0x40) && stored > 0 ? stored - 1 : stored;  // odd-size flag
    pos += head;
    if (stored > meta_size - pos) break;
    uint32_t unique = id & 0x3F;
    uint8_t data[4];
    if (unique == 0x0D && length >= 1) {  // channel info: count first
      uint32_t want = length == 6 ? 3 : 1;
      if (!ReadExact(walk, walk_base + pos, data, want)) break;
      uint32_t chans = data[0];
      if (length == 6) chans = (data[0] | ((data[2] & 0xF) << 8)) + 1;
      out->chans = chans;
    } else if (unique == 0x27 && length >= 3) {  // sample rate
      uint32_t want = length >= 4 ? 4 : 3;
      if (!ReadExact(walk, walk_base + pos, data, want)) break;
      uint32_t rate = data[0] | ((uint32_t)data[1] << 8) | ((uint32_t)data[2] << 16);
      if (length >= 4) rate |= (uint32_t)(data[3] & 0x7F) << 24;
      out->freq = rate;
    }
    pos += stored;
  }
  free(meta);

  const uint64_t audio_end = LoadTrailingApe(src, block_pos, &out->tags[kTagApe]);
  if (first.total_samples != ~(uint64_t)0) {
    out->frames = first.total_samples;
    out->length_known = true;
  } else if (audio_end != kSourceSizeUnknown && TotalFromLastBlock(src, audio_end, &out->frames)) {
    out->length_known = true;
  }
  out->format = kFormatWavPack;
  if (!StreamShapeValid(out)) return FailOpen(out);
  return true;
}
