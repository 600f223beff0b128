// DSD files: DSF (little-endian chunks, ID3v2 at the metadata offset) and
// DSDIFF (big-endian chunks). One-bit audio: origres 1, the rate is the DSD
// sample rate.
#include <string.h>

#include "standin/formats.h"
#include "standin/iff_chunks.h"
#include "standin/tag_blocks.h"

// Frames that bytes of one-bit audio hold for chans channels: a cap for
// counts the header claims.
static uint64_t OneBitFrames(uint64_t bytes, uint32_t chans) { return bytes / chans * 8; }

bool OpenDsf(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t head[28 + 52];
  if (!ReadExact(src, 0, head, 28)) return false;
  if (memcmp(head, "DSD ", 4) != 0 || Le64(head + 4) != 28) return false;
  uint64_t metadata = Le64(head + 20);
  if (!ReadExact(src, 28, head + 28, 52)) return FailOpen(out);
  const uint8_t *fmt = head + 28;
  uint64_t fmt_size = Le64(fmt + 4);
  if (memcmp(fmt, "fmt ", 4) != 0 || fmt_size < 52 || fmt_size > 4096) return FailOpen(out);
  uint32_t format_id = Le32(fmt + 16);
  uint32_t chans = Le32(fmt + 24);
  uint32_t rate = Le32(fmt + 28);
  uint32_t bits = Le32(fmt + 32);
  uint64_t samples = Le64(fmt + 36);
  if (format_id != 0 || (bits != 1 && bits != 8)) return FailOpen(out);
  out->format = kFormatDsf;
  out->freq = rate;
  out->chans = chans;
  out->origres = 1;
  if (!StreamShapeValid(out)) return FailOpen(out);

  uint8_t data_head[12];
  uint64_t data_pos = 28 + fmt_size;
  if (!ReadExact(src, data_pos, data_head, sizeof(data_head)) || memcmp(data_head, "data", 4) != 0) return FailOpen(out);
  uint64_t data_bytes = Le64(data_head + 4);
  if (data_bytes < 12) return FailOpen(out);
  data_bytes -= 12;
  data_bytes = BytesPresent(src, data_pos + 12, data_bytes);
  // A sample count past the audio present is cut to what the bytes hold.
  uint64_t cap = OneBitFrames(data_bytes, chans);
  out->frames = samples < cap ? samples : cap;
  out->length_known = true;

  if (metadata != 0 && (src->size == kSourceSizeUnknown || metadata < src->size)) {
    LoadId3v2Tag(src, metadata, &out->tags[kTagId3v2]);
  }
  return true;
}

// The sound properties (a PROP chunk of kind "SND "): rate, channel count
// and compression, from sub-chunks laid out as the file's chunks and walked
// within the chunk. False when the chunk is not sound properties or the audio
// is compressed.
static bool ReadSoundProperties(const ByteSource *src, const Chunk *prop, StreamFacts *out, bool *have_rate,
                                bool *have_chans) {
  uint8_t kind[4];
  if (prop->size < 4 || !ReadExact(src, prop->body, kind, 4) || memcmp(kind, "SND ", 4) != 0) return false;
  uint64_t sub = prop->body + 4;
  uint64_t prop_end = prop->body + prop->size;
  for (uint32_t m = 0; m < kMaxChunks && sub < prop_end; ++m) {
    uint8_t sh[12];
    if (12 > prop_end - sub || !ReadExact(src, sub, sh, sizeof(sh))) break;
    uint64_t sub_size = Be64(sh + 4);
    uint8_t value[4];
    if (memcmp(sh, "FS  ", 4) == 0 && sub_size >= 4 && ReadExact(src, sub + 12, value, 4)) {
      out->freq = Be32(value);
      *have_rate = true;
    } else if (memcmp(sh, "CHNL", 4) == 0 && sub_size >= 2 && ReadExact(src, sub + 12, value, 2)) {
      out->chans = Be16(value);
      *have_chans = true;
    } else if (memcmp(sh, "CMPR", 4) == 0) {
      if (sub_size < 4 || !ReadExact(src, sub + 12, value, 4) || memcmp(value, "DSD ", 4) != 0) {
        return false;  // DST-compressed audio is not measured
      }
    }
    if (sub_size > prop_end - sub - 12) break;
    sub += 12 + sub_size + (sub_size & 1);
  }
  return true;
}

bool OpenDff(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t form[16];
  if (!ReadExact(src, 0, form, sizeof(form))) return false;
  if (memcmp(form, "FRM8", 4) != 0 || memcmp(form + 12, "DSD ", 4) != 0) return false;

  bool have_rate = false, have_chans = false, have_data = false;
  uint64_t data_bytes = 0;
  ChunkWalk walk = StartChunkWalk(src, kDsdiffChunks, &out->tags[kTagId3v2]);
  Chunk chunk;
  while (NextChunk(&walk, have_rate && have_chans && have_data, &chunk)) {
    if (memcmp(chunk.id, "PROP", 4) == 0) {
      if (!ReadSoundProperties(src, &chunk, out, &have_rate, &have_chans)) return FailOpen(out);
    } else if (memcmp(chunk.id, "DSD ", 4) == 0 && !have_data) {
      data_bytes = BytesPresent(src, chunk.body, chunk.size);
      have_data = true;
    }
  }
  if (!have_rate || !have_chans || !have_data) return FailOpen(out);
  out->format = kFormatDff;
  out->origres = 1;
  if (!StreamShapeValid(out)) return FailOpen(out);
  out->frames = OneBitFrames(data_bytes, out->chans);
  out->length_known = true;
  return true;
}
