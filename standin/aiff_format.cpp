// AIFF and uncompressed AIFF-C (big-endian chunks, 80-bit float sample rate).
#include <string.h>

#include "standin/formats.h"
#include "standin/iff_chunks.h"

// The integer part of an 80-bit IEEE extended value, rounded; 0 when it is
// negative, below one or too large for a sample rate.
uint32_t ExtendedToRate(const uint8_t p[10]) {
  if (p[0] & 0x80) return 0;
  int exponent = ((p[0] & 0x7F) << 8) | p[1];
  uint64_t mantissa = Be64(p + 2);
  int shift = 16383 + 63 - exponent;
  if (mantissa == 0 || shift > 63) return 0;
  if (shift < 32) return 0;  // 2^32 or more
  uint64_t value = mantissa >> shift;
  if (shift > 0 && ((mantissa >> (shift - 1)) & 1)) ++value;
  if (value > kMaxSampleRate) return 0;
  return (uint32_t)value;
}

static bool AcceptedCompression(const uint8_t id[4], uint32_t *bytes_per_sample) {
  static const char *const kPlain[] = {"NONE", "twos", "sowt", "raw ", "in24", "in32", "42ni", "23ni"};
  for (const char *name : kPlain) {
    if (memcmp(id, name, 4) == 0) return true;
  }
  if (memcmp(id, "fl32", 4) == 0 || memcmp(id, "FL32", 4) == 0) {
    *bytes_per_sample = 4;
    return true;
  }
  if (memcmp(id, "fl64", 4) == 0 || memcmp(id, "FL64", 4) == 0) {
    *bytes_per_sample = 8;
    return true;
  }
  return false;
}

bool OpenAiff(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint8_t form[12];
  if (!ReadExact(src, 0, form, sizeof(form))) return false;
  if (memcmp(form, "FORM", 4) != 0) return false;
  bool aifc = memcmp(form + 8, "AIFC", 4) == 0;
  if (!aifc && memcmp(form + 8, "AIFF", 4) != 0) return false;

  bool have_comm = false, have_ssnd = false;
  uint32_t channels = 0, frames = 0, bits = 0, rate = 0, bytes_per_sample = 0;
  uint64_t sound_pos = 0, sound_size = 0;
  ChunkWalk walk = StartChunkWalk(src, kAiffChunks, &out->tags[kTagId3v2]);
  Chunk chunk;
  while (NextChunk(&walk, have_comm && have_ssnd, &chunk)) {
    if (memcmp(chunk.id, "COMM", 4) == 0 && !have_comm) {
      uint8_t comm[22];
      if (chunk.size < 18 || (aifc && chunk.size < 22)) return FailOpen(out);
      if (!ReadExact(src, chunk.body, comm, aifc ? 22 : 18)) return FailOpen(out);
      channels = Be16(comm);
      frames = Be32(comm + 2);
      bits = Be16(comm + 6);
      rate = ExtendedToRate(comm + 8);
      if (bits == 0 || bits > 64) return FailOpen(out);
      bytes_per_sample = (bits + 7) / 8;
      if (aifc && !AcceptedCompression(comm + 18, &bytes_per_sample)) return FailOpen(out);
      have_comm = true;
    } else if (memcmp(chunk.id, "SSND", 4) == 0 && !have_ssnd) {
      uint8_t ssnd[8];
      if (chunk.size < 8 || !ReadExact(src, chunk.body, ssnd, sizeof(ssnd))) return FailOpen(out);
      uint32_t offset = Be32(ssnd);
      if (offset > chunk.size - 8) return FailOpen(out);
      sound_pos = chunk.body + 8 + offset;
      sound_size = chunk.size - 8 - offset;
      have_ssnd = true;
    }
  }
  if (!have_comm || !have_ssnd || channels == 0) return FailOpen(out);

  sound_size = BytesPresent(src, sound_pos, sound_size);
  uint64_t frame_bytes = (uint64_t)channels * bytes_per_sample;
  uint64_t stored = sound_size / frame_bytes;
  out->format = kFormatAiff;
  out->freq = rate;
  out->chans = channels;
  out->origres = bits;
  out->frames = frames < stored ? frames : stored;
  out->length_known = true;
  if (!StreamShapeValid(out)) return FailOpen(out);
  return true;
}
