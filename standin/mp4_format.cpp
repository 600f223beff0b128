// MPEG-4 audio files (AAC and ALAC in the ISO box structure) and raw ADTS
// AAC streams. The first sound track gives the shape; its media header and
// edit list give the length; the ilst atoms give the tags.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const uint32_t kMaxBoxes = 4096;        // children looked at per box
static const uint32_t kMaxAdtsFrames = 4000000;

struct Box {
  uint8_t type[4];
  uint64_t body;  // first byte after the header
  uint64_t end;   // first byte after the box
};

// Reads the box header at pos; the box must end within limit.
static bool ReadBox(const ByteSource *src, uint64_t pos, uint64_t limit, Box *box) {
  uint8_t head[16];
  if (pos >= limit || 8 > limit - pos || !ReadExact(src, pos, head, 8)) return false;
  memcpy(box->type, head + 4, 4);
  uint64_t size = Be32(head);
  uint64_t header = 8;
  if (size == 1) {
    if (16 > limit - pos || !ReadExact(src, pos + 8, head + 8, 8)) return false;
    size = Be64(head + 8);
    header = 16;
  } else if (size == 0) {
    if (limit == kSourceSizeUnknown) return false;
    size = limit - pos;  // to the end of the file
  }
  if (size < header || size > limit - pos) return false;
  box->body = pos + header;
  box->end = pos + size;
  return true;
}

// The first child of the given type between body and end.
static bool FindChild(const ByteSource *src, uint64_t body, uint64_t end, const char *type, Box *found) {
  uint64_t pos = body;
  for (uint32_t n = 0; n < kMaxBoxes && pos < end; ++n) {
    Box box;
    if (!ReadBox(src, pos, end, &box)) return false;
    if (memcmp(box.type, type, 4) == 0) {
      *found = box;
      return true;
    }
    pos = box.end;
  }
  return false;
}

static bool FindPath(const ByteSource *src, const Box &from, const char *const *path, int depth, Box *found) {
  Box at = from;
  for (int i = 0; i < depth; ++i) {
    if (!FindChild(src, at.body, at.end, path[i], &at)) return false;
  }
  *found = at;
  return true;
}

struct Mp4Audio {
  uint8_t codec[4];  // sample entry type: "mp4a", "alac"
  uint32_t rate;
  uint32_t chans;
  uint32_t bits;
  uint32_t timescale;
  uint64_t duration;
  uint64_t skip;     // leading media samples the edit list leaves out (encoder priming)
};

// Shape from the sample description; an ALAC entry's own configuration box
// wins over the generic fields (which cannot hold rates above 65535).
static bool ReadSampleEntry(const ByteSource *src, const Box &stsd, Mp4Audio *a) {
  uint8_t head[8];
  if (8 > stsd.end - stsd.body || !ReadExact(src, stsd.body, head, 8) || Be32(head + 4) == 0) return false;
  Box entry;
  if (!ReadBox(src, stsd.body + 8, stsd.end, &entry)) return false;
  uint8_t fields[28];  // from the entry's body: reserved, index, version ... sample rate
  if (sizeof(fields) > entry.end - entry.body || !ReadExact(src, entry.body, fields, sizeof(fields))) return false;
  memcpy(a->codec, entry.type, 4);
  uint32_t version = Be16(fields + 8);
  a->chans = Be16(fields + 16);
  a->bits = Be16(fields + 18);
  a->rate = Be32(fields + 24) >> 16;
  uint64_t children = entry.body + 28 + (version == 1 ? 16 : 0);
  Box cookie;
  if (memcmp(a->codec, "alac", 4) == 0 && children <= entry.end &&
      FindChild(src, children, entry.end, "alac", &cookie)) {
    uint8_t c[28];
    if (sizeof(c) <= cookie.end - cookie.body && ReadExact(src, cookie.body, c, sizeof(c))) {
      a->bits = c[9];
      a->chans = c[13];
      a->rate = Be32(c + 24);
    }
  }
  return true;
}

// The first sound track of the movie.
static bool ReadMp4Audio(const ByteSource *src, Mp4Audio *a) {
  memset(a, 0, sizeof(*a));
  Box first;
  if (!ReadBox(src, 0, src->size, &first) || memcmp(first.type, "ftyp", 4) != 0) return false;
  Box moov;
  if (!FindChild(src, 0, src->size, "moov", &moov)) return false;
  uint64_t pos = moov.body;
  for (uint32_t n = 0; n < kMaxBoxes && pos < moov.end; ++n) {
    Box trak;
    if (!ReadBox(src, pos, moov.end, &trak)) return false;
    pos = trak.end;
    if (memcmp(trak.type, "trak", 4) != 0) continue;
    static const char *const kHdlr[] = {"mdia", "hdlr"};
    static const char *const kMdhd[] = {"mdia", "mdhd"};
    static const char *const kStsd[] = {"mdia", "minf", "stbl", "stsd"};
    Box hdlr, mdhd, stsd;
    uint8_t handler[12];
    if (!FindPath(src, trak, kHdlr, 2, &hdlr) || 12 > hdlr.end - hdlr.body || !ReadExact(src, hdlr.body, handler, 12) ||
        memcmp(handler + 8, "soun", 4) != 0) {
      continue;
    }
    if (!FindPath(src, trak, kMdhd, 2, &mdhd) || !FindPath(src, trak, kStsd, 4, &stsd)) return false;
    uint8_t h[32];
    uint32_t h_len = 1;
    if (!ReadExact(src, mdhd.body, h, 1)) return false;
    h_len = h[0] == 1 ? 32 : 20;
    if (h_len > mdhd.end - mdhd.body || !ReadExact(src, mdhd.body, h, h_len)) return false;
    a->timescale = h[0] == 1 ? Be32(h + 20) : Be32(h + 12);
    a->duration = h[0] == 1 ? Be64(h + 24) : Be32(h + 16);
    if (!ReadSampleEntry(src, stsd, a)) return false;
    // Edit list: the first non-empty edit starts the presentation at media_time.
    static const char *const kElst[] = {"edts", "elst"};
    Box elst;
    uint8_t e[8 + 28];
    if (FindPath(src, trak, kElst, 2, &elst) && 8 <= elst.end - elst.body && ReadExact(src, elst.body, e, 8)) {
      uint32_t count = Be32(e + 4);
      uint32_t entry_size = e[0] == 1 ? 20 : 12;
      for (uint32_t i = 0; i < count && i < 16; ++i) {
        uint64_t at = elst.body + 8 + (uint64_t)i * entry_size;
        if (at > elst.end || entry_size > elst.end - at || !ReadExact(src, at, e + 8, entry_size)) break;
        int64_t media_time = e[0] == 1 ? (int64_t)Be64(e + 16) : (int64_t)(int32_t)Be32(e + 12);
        if (media_time == -1) continue;  // an empty edit: a pause, not priming
        if (media_time > 0) a->skip = (uint64_t)media_time;
        break;
      }
    }
    return true;
  }
  return false;
}

// The iTunes-style items the library hands out, by atom type, under its words.
struct Mp4Item {
  char type[5];
  const char *key;
};
static const Mp4Item kMp4Items[] = {
    {"\xA9nam", "Title"}, {"\xA9" "ART", "Artist"}, {"aART", "AlbumArtist"}, {"\xA9" "alb", "Album"},
    {"\xA9" "day", "Date"}, {"\xA9gen", "Genre"}, {"trkn", "Track"},  {"\xA9" "cmt", "Comment"},
    {"\xA9too", "Tool"},
};
static const uint32_t kMaxItemBytes = 64 * 1024;  // a text item; cover art and the like are passed over

// One item's value from its body: a UTF-8 text, or the track pair "3/9"
// ("3" without a total).
static void AddMp4Item(const uint8_t *body, uint32_t size, const Mp4Item &item, TagListBuilder *list) {
  // The item's first child is its 'data' atom: size, type, version and type code, locale, value.
  if (16 > size || memcmp(body + 4, "data", 4) != 0) return;
  const uint32_t data_size = Be32(body);
  if (data_size < 16 || data_size > size) return;
  const uint8_t *value = body + 16;
  const uint32_t len = data_size - 16;
  if (memcmp(item.type, "trkn", 4) == 0) {
    if (len < 6) return;
    char pair[16];
    const unsigned track = Be16(value + 2), total = Be16(value + 4);
    const int n = total != 0 ? snprintf(pair, sizeof pair, "%u/%u", track, total) : snprintf(pair, sizeof pair, "%u", track);
    if (n > 0) AddTagEntry(list, item.key, (const uint8_t *)pair, (uint32_t)n);
  } else if (Be24(body + 9) == 1) {
    AddTagEntry(list, item.key, value, len);
  }
}

// The next item of the ilst at *pos that the library hands out, and its words.
static bool NextMp4Item(const ByteSource *src, const Box &ilst, uint64_t *pos, uint32_t *count, Box *box,
                        const Mp4Item **item) {
  while (*count < kMaxBoxes && *pos < ilst.end) {
    ++*count;
    if (!ReadBox(src, *pos, ilst.end, box)) return false;
    *pos = box->end;
    if (box->end - box->body > kMaxItemBytes) continue;
    for (const Mp4Item &known : kMp4Items) {
      if (memcmp(box->type, known.type, 4) != 0) continue;
      *item = &known;
      return true;
    }
  }
  return false;
}

// moov/udta/meta/ilst as a list; meta is a full atom (version and flags
// before its children) as MP4 writers make it, or a plain one as older
// QuickTime writers do.
static void LoadMp4Tags(const ByteSource *src, TagBlock *out) {
  Box moov, udta, meta, ilst;
  if (!FindChild(src, 0, src->size, "moov", &moov) || !FindChild(src, moov.body, moov.end, "udta", &udta) ||
      !FindChild(src, udta.body, udta.end, "meta", &meta)) {
    return;
  }
  uint8_t head[8];
  if (8 > meta.end - meta.body || !ReadExact(src, meta.body, head, 8)) return;
  const uint64_t children = Be32(head) == 0 ? meta.body + 4 : meta.body;
  if (!FindChild(src, children, meta.end, "ilst", &ilst)) return;
  // First the items' sizes: an entry never outgrows its item's body (16
  // bytes of data atom header against a key of at most 11 bytes, "=" and
  // NUL, and a track pair of 11 bytes against 8 more).
  uint64_t pos = ilst.body;
  uint32_t count = 0, cap = 0;
  Box box;
  const Mp4Item *item = NULL;
  while (NextMp4Item(src, ilst, &pos, &count, &box, &item)) cap += (uint32_t)(box.end - box.body) + 8;
  if (cap > kMaxTagBlock) cap = kMaxTagBlock;  // what does not fit is left out
  uint8_t *body = (uint8_t *)malloc(kMaxItemBytes);
  TagListBuilder list;
  if (body == NULL || !StartTagList(&list, cap)) {
    free(body);
    return;
  }
  pos = ilst.body;
  count = 0;
  while (NextMp4Item(src, ilst, &pos, &count, &box, &item)) {
    const uint32_t size = (uint32_t)(box.end - box.body);
    if (ReadExact(src, box.body, body, size)) AddMp4Item(body, size, *item, &list);
  }
  free(body);
  FinishTagList(&list, out);
}

static bool OpenMp4Codec(const ByteSource *src, StreamFacts *out, const char *codec, uint32_t format, bool lossless) {
  ClearStreamFacts(out);
  Mp4Audio a;
  if (!ReadMp4Audio(src, &a) || memcmp(a.codec, codec, 4) != 0) return false;
  out->format = format;
  out->freq = a.rate != 0 ? a.rate : a.timescale;
  out->chans = a.chans;
  out->origres = lossless ? a.bits : 0;
  if (!StreamShapeValid(out)) return FailOpen(out);
  if (a.timescale != 0 && a.duration != 0) {
    uint64_t media = a.duration > a.skip ? a.duration - a.skip : 0;
    // Media time is in the track's time scale; the output counts frames at the rate.
    if (a.timescale == out->freq) {
      out->frames = media;
      out->length_known = true;
    } else if (media <= ~(uint64_t)0 / out->freq) {
      out->frames = media * out->freq / a.timescale;
      out->length_known = true;
    }
  }
  LoadMp4Tags(src, &out->tags[kTagMp4]);
  return true;
}

bool OpenMp4Aac(const ByteSource *src, StreamFacts *out) { return OpenMp4Codec(src, out, "mp4a", kFormatMp4Aac, false); }

bool OpenMp4Alac(const ByteSource *src, StreamFacts *out) { return OpenMp4Codec(src, out, "alac", kFormatMp4Alac, true); }

// ADTS: one 7- or 9-byte header per frame of 1024 samples per raw block.
struct AdtsHeader {
  uint32_t rate;
  uint32_t chans;
  uint32_t frame_bytes;
  uint32_t blocks;
};

static bool ParseAdts(const uint8_t p[7], AdtsHeader *h) {
  static const uint32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                     22050, 16000, 12000, 11025, 8000,  7350};
  if (p[0] != 0xFF || (p[1] & 0xF6) != 0xF0) return false;  // sync, layer 0
  uint32_t rate_index = (p[2] >> 2) & 0xF;
  if (rate_index >= 13) return false;
  h->rate = kRates[rate_index];
  h->chans = ((p[2] & 1) << 2) | (p[3] >> 6);
  if (h->chans == 7) h->chans = 8;  // configuration 7 is 7.1
  h->frame_bytes = ((uint32_t)(p[3] & 3) << 11) | ((uint32_t)p[4] << 3) | (p[5] >> 5);
  h->blocks = (p[6] & 3) + 1;
  return h->chans != 0 && h->frame_bytes >= 7;
}

bool OpenAdts(const ByteSource *src, StreamFacts *out) {
  ClearStreamFacts(out);
  uint64_t start = Id3v2SpanAt(src, 0);
  uint8_t p[7];
  AdtsHeader first, next;
  if (!ReadExact(src, start, p, 7) || !ParseAdts(p, &first)) return FailOpen(out);
  // A second header where the first frame ends rules out a chance sync.
  uint64_t second = start + first.frame_bytes;
  bool second_ok = ReadExact(src, second, p, 7) && ParseAdts(p, &next) && next.rate == first.rate;
  if (!second_ok && !(src->size != kSourceSizeUnknown && second == src->size)) return FailOpen(out);
  LoadId3v2Tag(src, 0, &out->tags[kTagId3v2]);
  out->format = kFormatAdts;
  out->freq = first.rate;
  out->chans = first.chans;
  out->origres = 0;
  if (!StreamShapeValid(out)) return FailOpen(out);
  if (src->size == kSourceSizeUnknown) return true;

  uint64_t audio_end = TrimTrailingTags(src, start, src->size, NULL, NULL);
  uint64_t pos = start, samples = 0;
  uint32_t n = 0;
  for (; n < kMaxAdtsFrames && pos < audio_end; ++n) {
    AdtsHeader h;
    if (!ReadExact(src, pos, p, 7) || !ParseAdts(p, &h)) break;
    samples += 1024u * h.blocks;
    pos += h.frame_bytes;
  }
  // Stopped short of the end (damage, or the frame cap): scale by the bytes walked.
  if (pos < audio_end && pos > start) {
    samples = (uint64_t)((double)samples * (double)(audio_end - start) / (double)(pos - start));
  }
  out->frames = samples;
  out->length_known = true;
  return true;
}
