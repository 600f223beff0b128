// RIFF/WAVE: PCM, IEEE float and extensible, chunks in any order; tags from
// an ID3 chunk and the LIST/INFO chunk.
#include <string.h>

#include "standin/formats.h"
#include "standin/iff_chunks.h"
#include "standin/tag_blocks.h"

bool OpenWav(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t riff[12];
  if (!ReadExact(src, 0, riff, sizeof(riff))) return false;
  if (memcmp(riff, "RIFF", 4) != 0 || memcmp(riff + 8, "WAVE", 4) != 0) return false;

  bool have_fmt = false, have_data = false;
  uint16_t tag = 0, channels = 0, block_align = 0, bits = 0, valid_bits = 0;
  uint32_t rate = 0;
  uint64_t data_pos = 0, data_size = 0;
  ChunkWalk walk = StartChunkWalk(src, kRiffChunks, &out->tags[kTagId3v2]);
  Chunk chunk;
  while (NextChunk(&walk, have_fmt && have_data, &chunk)) {
    if (memcmp(chunk.id, "fmt ", 4) == 0 && !have_fmt) {
      uint8_t fmt[40];
      memset(fmt, 0, sizeof(fmt));
      if (chunk.size < 16) return FailOpen(out);
      uint32_t want = chunk.size < sizeof(fmt) ? (uint32_t)chunk.size : (uint32_t)sizeof(fmt);
      if (!ReadExact(src, chunk.body, fmt, want)) return FailOpen(out);
      tag = Le16(fmt);
      channels = Le16(fmt + 2);
      rate = Le32(fmt + 4);
      block_align = Le16(fmt + 12);
      bits = Le16(fmt + 14);
      if (tag == 0xFFFE) {
        if (want < 40) return FailOpen(out);
        valid_bits = Le16(fmt + 18);
        tag = Le16(fmt + 24);  // the sub-format GUID starts with the format tag
      }
      have_fmt = true;
    } else if (memcmp(chunk.id, "LIST", 4) == 0) {
      LoadRiffInfoList(src, chunk.body, chunk.size, &out->tags[kTagRiffInfo]);  // the first INFO list
    } else if (memcmp(chunk.id, "data", 4) == 0 && !have_data) {
      data_pos = chunk.body;
      data_size = chunk.size;
      have_data = true;
    }
  }
  if (!have_fmt || !have_data) return FailOpen(out);

  bool pcm = tag == 1 && bits >= 8 && bits <= 32;
  bool flt = tag == 3 && (bits == 32 || bits == 64);
  if (!pcm && !flt) return FailOpen(out);
  if (block_align == 0 || channels == 0) return FailOpen(out);
  if (block_align < (uint32_t)channels * ((bits + 7u) / 8u)) return FailOpen(out);

  data_size = BytesPresent(src, data_pos, data_size);
  out->format = kFormatWav;
  out->freq = rate;
  out->chans = channels;
  out->origres = (valid_bits != 0 && valid_bits <= bits) ? valid_bits : bits;
  out->frames = data_size / block_align;
  out->length_known = true;
  if (!StreamShapeValid(out)) return FailOpen(out);
  return true;
}
