// AIFF and uncompressed AIFF-C (big-endian chunks, 80-bit float sample rate).
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kMaxChunks = 4096;

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
  uint64_t pos = 12;
  for (uint32_t n = 0; n < kMaxChunks; ++n) {
    uint8_t head[8];
    if (!ReadExact(src, pos, head, sizeof(head))) break;
    uint32_t size = Be32(head + 4);
    uint64_t body = pos + 8;
    if (memcmp(head, "COMM", 4) == 0 && !have_comm) {
      uint8_t comm[22];
      if (size < 18 || (aifc && size < 22)) return FailOpen(out);
      if (!ReadExact(src, body, comm, aifc ? 22 : 18)) return FailOpen(out);
      channels = Be16(comm);
      frames = Be32(comm + 2);
      bits = Be16(comm + 6);
      rate = ExtendedToRate(comm + 8);
      if (bits == 0 || bits > 64) return FailOpen(out);
      bytes_per_sample = (bits + 7) / 8;
      if (aifc && !AcceptedCompression(comm + 18, &bytes_per_sample)) return FailOpen(out);
      have_comm = true;
    } else if (memcmp(head, "SSND", 4) == 0 && !have_ssnd) {
      uint8_t ssnd[8];
      if (size < 8 || !ReadExact(src, body, ssnd, sizeof(ssnd))) return FailOpen(out);
      uint32_t offset = Be32(ssnd);
      if (offset > size - 8) return FailOpen(out);
      sound_pos = body + 8 + offset;
      sound_size = size - 8 - offset;
      have_ssnd = true;
    } else if (memcmp(head, "ID3 ", 4) == 0 && out->tags[kTagId3v2].data == NULL) {
      uint8_t tag_head[10];
      if (size >= 10 && ReadExact(src, body, tag_head, 10)) {
        uint32_t span = Id3v2TagSpan(tag_head);
        if (span != 0 && span <= size) LoadId3v2Tag(src, body, &out->tags[kTagId3v2]);
      }
    }
    if (have_comm && have_ssnd && src->size == kSourceSizeUnknown) break;
    pos = body + size + (size & 1);
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
