// MPEG audio layers I-III: ID3v2 at the start, Xing/Info or VBRI frame
// counts, otherwise a constant-bitrate estimate from the audio's size.
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/mpeg_header.h"
#include "standin/tag_blocks.h"

static const uint32_t kSyncSearch = 64 * 1024;  // how far past the tags a first frame may start

bool ParseMpegHeader(const uint8_t p[4], MpegHeader *h) {
  static const uint16_t kBitrates[2][3][16] = {
      {// MPEG-1: layer I, II, III
       {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {// MPEG-2 and 2.5
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  static const uint32_t kRates[3] = {44100, 48000, 32000};
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  uint32_t version_bits = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
  uint32_t layer_bits = (p[1] >> 1) & 3;    // 0: reserved, 1: III, 2: II, 3: I
  uint32_t bitrate_index = p[2] >> 4;
  uint32_t rate_index = (p[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3) {
    return false;  // free-format streams are not measured either
  }
  h->version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 3;  // 3 stands for 2.5
  h->layer = 4 - layer_bits;
  h->bitrate_kbps = kBitrates[h->version == 1 ? 0 : 1][h->layer - 1][bitrate_index];
  h->sample_rate = kRates[rate_index] >> (h->version - 1);
  h->channels = ((p[3] >> 6) & 3) == 3 ? 1 : 2;
  uint32_t padding = (p[2] >> 1) & 1;
  if (h->layer == 1) {
    h->samples_per_frame = 384;
    h->frame_bytes = (12 * h->bitrate_kbps * 1000 / h->sample_rate + padding) * 4;
  } else {
    h->samples_per_frame = (h->layer == 3 && h->version != 1) ? 576 : 1152;
    h->frame_bytes = h->samples_per_frame / 8 * h->bitrate_kbps * 1000 / h->sample_rate + padding;
  }
  // Where a Xing/Info header sits: after the side information of layer III.
  if (h->version == 1) {
    h->side_info_bytes = h->channels == 1 ? 17 : 32;
  } else {
    h->side_info_bytes = h->channels == 1 ? 9 : 17;
  }
  return h->frame_bytes >= 4;
}

static bool SameStream(const MpegHeader *a, const MpegHeader *b) {
  return a->version == b->version && a->layer == b->layer && a->sample_rate == b->sample_rate;
}

// First frame at or after start whose successor (or the audio's end) follows
// where its length says; that pair rules out stray sync bits.
static bool FindFirstFrame(const ByteSource *src, uint64_t start, uint64_t audio_end, uint64_t *frame_pos,
                           MpegHeader *frame) {
  uint8_t *window = (uint8_t *)malloc(kSyncSearch + 4);
  if (window == NULL) return false;
  uint32_t got = 0;
  bool found = false;
  // The window grows only while the search has not found a frame in it.
  for (uint32_t i = 0; !found && WindowHolds(src, start, window, kSyncSearch + 4, &got, i + 4); ++i) {
    MpegHeader h;
    if (window[i] != 0xFF || !ParseMpegHeader(window + i, &h)) continue;
    uint64_t next = start + i + h.frame_bytes;
    uint8_t next_head[4];
    MpegHeader h2;
    if (audio_end != kSourceSizeUnknown && next == audio_end) {
      found = true;
    } else if (ReadExact(src, next, next_head, 4) && ParseMpegHeader(next_head, &h2) && SameStream(&h, &h2)) {
      found = true;
    }
    if (found) {
      *frame_pos = start + i;
      *frame = h;
    }
  }
  free(window);
  return found;
}

struct VbrInfo {
  bool has_frames;
  uint32_t frames;      // audio frames after the information frame
  uint32_t delay;       // encoder delay and padding in samples (LAME tag)
  uint32_t padding;
};

// Reads a Xing/Info or VBRI header inside the first frame.
static bool ReadVbrInfo(const ByteSource *src, uint64_t frame_pos, const MpegHeader *h, VbrInfo *info) {
  memset(info, 0, sizeof(*info));
  uint8_t buf[4 + 32 + 120 + 36];  // header, side info, Xing fields, LAME tag
  uint32_t got = ReadUpTo(src, frame_pos, buf, sizeof(buf));
  if (got > h->frame_bytes) got = h->frame_bytes;
  uint32_t xing = 4 + h->side_info_bytes;
  if (h->layer == 3 && xing <= got && 8 <= got - xing &&
      (memcmp(buf + xing, "Xing", 4) == 0 || memcmp(buf + xing, "Info", 4) == 0)) {
    uint32_t flags = Be32(buf + xing + 4);
    uint32_t pos = xing + 8;
    if (flags & 1) {
      if (4 > got - pos) return false;
      info->frames = Be32(buf + pos);
      info->has_frames = true;
      pos += 4;
    }
    if (flags & 2) pos += 4;
    if (flags & 4) pos += 100;
    if (flags & 8) pos += 4;
    // LAME tag: 9 bytes of encoder name, then at byte 21 the 12-bit delay
    // and 12-bit padding.
    if (pos <= got && 24 <= got - pos &&
        (memcmp(buf + pos, "LAME", 4) == 0 || memcmp(buf + pos, "Lavc", 4) == 0 || memcmp(buf + pos, "Lavf", 4) == 0)) {
      uint32_t dp = Be24(buf + pos + 21);
      info->delay = dp >> 12;
      info->padding = dp & 0xFFF;
    }
    return true;
  }
  const uint32_t vbri = 4 + 32;
  if (vbri <= got && 18 <= got - vbri && memcmp(buf + vbri, "VBRI", 4) == 0) {
    info->frames = Be32(buf + vbri + 14);
    info->has_frames = true;
    return true;
  }
  return false;
}

bool OpenMp3(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint64_t start = Id3v2SpanAt(src, 0);
  if (src->size != kSourceSizeUnknown && start > src->size) return FailOpen(out);

  const uint64_t audio_end = LoadTrailingTags(src, start, out);

  uint64_t frame_pos = 0;
  MpegHeader h = MpegHeader();
  if (!FindFirstFrame(src, start, audio_end, &frame_pos, &h)) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);
  out->format = kFormatMp3;
  out->freq = h.sample_rate;
  out->chans = h.channels;
  out->origres = 0;

  VbrInfo vbr;
  bool has_vbr = ReadVbrInfo(src, frame_pos, &h, &vbr);
  if (has_vbr && vbr.has_frames) {
    uint64_t samples = (uint64_t)vbr.frames * h.samples_per_frame;
    uint64_t trim = (uint64_t)vbr.delay + vbr.padding;
    out->frames = trim < samples ? samples - trim : samples;
    out->length_known = true;
  } else if (audio_end != kSourceSizeUnknown) {
    uint64_t audio_start = frame_pos + (has_vbr ? h.frame_bytes : 0);
    uint64_t bytes = audio_end > audio_start ? audio_end - audio_start : 0;
    // Constant bitrate: bytes * 8 / bitrate seconds.
    out->frames = bytes * 8 * h.sample_rate / ((uint64_t)h.bitrate_kbps * 1000);
    out->length_known = true;
  }
  if (!StreamShapeValid(out)) return FailOpen(out);
  return true;
}
