// Monkey's Audio: the header gives frames of a fixed block count and the
// final frame's count; an APEv2 tag at the end gives the tags.
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kMaxDescriptor = 64 * 1024;

bool OpenMonkeysAudio(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint64_t start = Id3v2SpanAt(src, 0);
  uint8_t d[52];
  if (!ReadExact(src, start, d, 8) || memcmp(d, "MAC ", 4) != 0) return FailOpen(out);
  uint32_t version = Le16(d + 4);
  if (version < 3800 || version > 9999) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);

  uint32_t blocks_per_frame, final_blocks, total_frames, bits, chans, rate;
  if (version >= 3980) {
    // Descriptor, then a header at the descriptor's declared size.
    if (!ReadExact(src, start, d, sizeof(d))) return FailOpen(out);
    uint32_t descriptor_bytes = Le32(d + 8);
    if (descriptor_bytes < 52 || descriptor_bytes > kMaxDescriptor) return FailOpen(out);
    uint8_t h[24];
    if (!ReadExact(src, start + descriptor_bytes, h, sizeof(h))) return FailOpen(out);
    blocks_per_frame = Le32(h + 4);
    final_blocks = Le32(h + 8);
    total_frames = Le32(h + 12);
    bits = Le16(h + 16);
    chans = Le16(h + 18);
    rate = Le32(h + 20);
  } else {
    uint8_t h[32];
    if (!ReadExact(src, start, h, sizeof(h))) return FailOpen(out);
    uint32_t compression = Le16(h + 6);
    uint32_t flags = Le16(h + 8);
    chans = Le16(h + 10);
    rate = Le32(h + 12);
    total_frames = Le32(h + 24);
    final_blocks = Le32(h + 28);
    bits = (flags & 1) ? 8 : (flags & 8) ? 24 : 16;
    if (version >= 3950) {
      blocks_per_frame = 73728 * 4;
    } else if (version >= 3900 || (version >= 3800 && compression == 4000)) {
      blocks_per_frame = 73728;
    } else {
      blocks_per_frame = 9216;
    }
  }
  if (bits == 0 || bits > 32 || (total_frames != 0 && final_blocks > blocks_per_frame)) return FailOpen(out);
  out->format = kFormatMonkeysAudio;
  out->freq = rate;
  out->chans = chans;
  out->origres = bits;
  if (!StreamShapeValid(out)) return FailOpen(out);
  out->frames = total_frames == 0 ? 0 : (uint64_t)(total_frames - 1) * blocks_per_frame + final_blocks;
  out->length_known = true;

  LoadTrailingTags(src, start, out);
  return true;
}
