// Native FLAC: STREAMINFO for the shape and length, VORBIS_COMMENT for tags,
// a leading ID3v2 tag skipped and kept, and trailing ID3v1 and APE tags.
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kMaxMetadataBlocks = 1024;

bool OpenFlac(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint64_t pos = Id3v2SpanAt(src, 0);
  uint8_t magic[4];
  if (!ReadExact(src, pos, magic, 4) || memcmp(magic, "fLaC", 4) != 0) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);
  pos += 4;

  bool have_info = false;
  for (uint32_t n = 0; n < kMaxMetadataBlocks; ++n) {
    uint8_t head[4];
    if (!ReadExact(src, pos, head, 4)) break;
    bool last = (head[0] & 0x80) != 0;
    uint32_t type = head[0] & 0x7F;
    uint32_t size = Be24(head + 1);
    uint64_t body = pos + 4;
    if (n == 0 && type != 0) return FailOpen(out);  // STREAMINFO comes first
    if (type == 0 && !have_info) {
      uint8_t info[34];
      if (size < sizeof(info) || !ReadExact(src, body, info, sizeof(info))) return FailOpen(out);
      // 20 bits rate, 3 bits channels - 1, 5 bits bits - 1, 36 bits samples.
      out->freq = Be24(info + 10) >> 4;
      out->chans = ((info[12] >> 1) & 7) + 1;
      out->origres = (((info[12] & 1) << 4) | (info[13] >> 4)) + 1;
      uint64_t samples = ((uint64_t)(info[13] & 0x0F) << 32) | Be32(info + 14);
      out->frames = samples;
      out->length_known = samples != 0;  // 0: the encoder did not know
      have_info = true;
    } else if (type == 4 && out->tags[kTagVorbis].data == NULL && size <= kMaxTagBlock) {
      uint8_t *comment = (uint8_t *)malloc(size ? size : 1);
      if (comment != NULL) {
        if (ReadExact(src, body, comment, size)) BuildVorbisCommentList(comment, size, &out->tags[kTagVorbis]);
        free(comment);
      }
    } else if (type == 127) {
      break;  // invalid block type; the audio cannot be found past it
    }
    pos = body + size;
    if (last) break;
  }
  if (!have_info) return FailOpen(out);
  out->format = kFormatFlac;
  if (!StreamShapeValid(out)) return FailOpen(out);
  LoadTrailingTags(src, pos, out);  // the library reads an APE tag on FLAC too
  return true;
}
