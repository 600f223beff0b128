// Ogg Vorbis: identification header, comment packet, and the length from the
// granule position of the stream's last page.
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kMaxPagesForComments = 4096;
// The last page is most often a few kilobytes long: a small window finds it,
// and a larger one is read only when the small one holds no whole page.
// (Each window ends at the file's end and the search runs backwards, so the
// page found is the same whichever window first holds it.)
static const uint32_t kTailWindows[3] = {8 * 1024, 64 * 1024, 1024 * 1024};

struct OggPage {
  uint8_t header_type;
  uint64_t granule;
  uint32_t serial;
  uint32_t segment_count;
  uint8_t lacing[255];
  uint64_t body_pos;
  uint32_t body_size;
};

static bool ReadPage(const ByteSource *src, uint64_t pos, OggPage *page) {
  uint8_t head[27];
  if (!ReadExact(src, pos, head, sizeof(head))) return false;
  if (memcmp(head, "OggS", 4) != 0 || head[4] != 0) return false;
  page->header_type = head[5];
  page->granule = Le64(head + 6);
  page->serial = Le32(head + 14);
  page->segment_count = head[26];
  if (!ReadExact(src, pos + 27, page->lacing, page->segment_count)) return false;
  page->body_size = 0;
  for (uint32_t i = 0; i < page->segment_count; ++i) page->body_size += page->lacing[i];
  page->body_pos = pos + 27 + page->segment_count;
  return true;
}

// Gathers the second packet of the logical stream (the comment header),
// whose pages may be shared with other streams' pages and span many pages.
static bool ReadCommentPacket(const ByteSource *src, uint64_t pos, uint32_t serial, uint8_t **packet,
                              uint32_t *packet_size) {
  uint8_t *buf = NULL;
  uint32_t used = 0, cap = 0;
  uint32_t packet_index = 0;
  bool done = false, broken = false;
  for (uint32_t n = 0; n < kMaxPagesForComments && !done && !broken; ++n) {
    OggPage page;
    if (!ReadPage(src, pos, &page)) break;
    uint64_t seg_pos = page.body_pos;
    pos = page.body_pos + page.body_size;
    if (page.serial != serial) continue;
    for (uint32_t i = 0; i < page.segment_count && !done && !broken; ++i) {
      uint32_t len = page.lacing[i];
      if (packet_index == 1 && len > 0) {
        if (len > kMaxTagBlock - used) {
          broken = true;
          break;
        }
        if (len > cap - used) {  // grow by doubling, within the tag limit
          uint32_t want = cap < 4096 ? 4096 : cap * 2;
          if (want > kMaxTagBlock) want = kMaxTagBlock;
          uint8_t *grown = (uint8_t *)realloc(buf, want);
          if (grown == NULL) {
            broken = true;
            break;
          }
          buf = grown;
          cap = want;
        }
        if (!ReadExact(src, seg_pos, buf + used, len)) {
          broken = true;
          break;
        }
        used += len;
      }
      seg_pos += len;
      if (len < 255) {  // a lacing value below 255 ends a packet
        if (packet_index == 1) done = true;
        ++packet_index;
      }
    }
  }
  if (!done || broken) {
    free(buf);
    return false;
  }
  *packet = buf;
  *packet_size = used;
  return true;
}

// The granule position of the last complete page of the stream, searched in
// growing windows from the end.
static bool LastGranule(const ByteSource *src, uint32_t serial, uint64_t *granule) {
  if (src->size == kSourceSizeUnknown) return false;
  for (uint32_t window : kTailWindows) {
    uint64_t span = src->size < window ? src->size : window;
    uint64_t base = src->size - span;
    uint8_t *buf = (uint8_t *)malloc((size_t)span);
    if (buf == NULL) return false;
    if (!ReadExact(src, base, buf, (uint32_t)span)) {
      free(buf);
      return false;
    }
    bool found = false;
    for (uint64_t i = span >= 27 ? span - 27 + 1 : 0; i-- > 0 && !found;) {
      if (buf[i] != 'O' || memcmp(buf + i, "OggS", 4) != 0 || buf[i + 4] != 0) continue;
      uint64_t g = Le64(buf + i + 6);
      if (Le32(buf + i + 14) != serial || g == ~(uint64_t)0) continue;  // no packet ends on that page
      // The page must lie wholly in the file, so a cut-off last page is passed over.
      uint32_t segments = buf[i + 26];
      if (27 + (uint64_t)segments > span - i) continue;
      uint64_t body = 0;
      for (uint32_t s = 0; s < segments; ++s) body += buf[i + 27 + s];
      if (body > span - i - 27 - segments) continue;
      *granule = g;
      found = true;
    }
    free(buf);
    if (found) return true;
    if (span == src->size) return false;
  }
  return false;
}

bool OpenOggVorbis(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  OggPage first;
  if (!ReadPage(src, 0, &first) || !(first.header_type & 0x02)) return false;
  // The identification header is the first page's only packet.
  uint8_t ident[30];
  if (first.body_size < sizeof(ident) || !ReadExact(src, first.body_pos, ident, sizeof(ident))) return false;
  if (ident[0] != 1 || memcmp(ident + 1, "vorbis", 6) != 0) return false;
  if (Le32(ident + 7) != 0) return FailOpen(out);  // Vorbis I only
  out->format = kFormatOggVorbis;
  out->chans = ident[11];
  out->freq = Le32(ident + 12);
  out->origres = 0;
  if (!StreamShapeValid(out)) return FailOpen(out);

  uint8_t *packet = NULL;
  uint32_t packet_size = 0;
  if (ReadCommentPacket(src, 0, first.serial, &packet, &packet_size)) {
    if (packet_size >= 7 && packet[0] == 3 && memcmp(packet + 1, "vorbis", 6) == 0) {
      BuildVorbisCommentList(packet + 7, packet_size - 7, &out->tags[kTagVorbis]);
    }
    free(packet);
  }

  uint64_t granule = 0;
  if (LastGranule(src, first.serial, &granule)) {
    out->frames = granule;
    out->length_known = true;
  }
  return true;
}
