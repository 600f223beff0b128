// ID3v2 tag walk: tag header, whole-tag unsynchronisation, extended header,
// frame headers, and the four text frames the host shows.
#include "parsers/id3v2.h"

#include <stdlib.h>
#include <string.h>

#include "parsers/byte_order.h"
#include "parsers/utf8.h"

static const size_t kFrameHeaderBytes = 10;
static const size_t kFrameHeaderBytes22 = 6;  // version 2.2: 3-byte identifier, 3-byte size, no flags
static const size_t kAnsiUnits = 256;  // encoding 0 text: at most 255 characters and the terminator
// Enough of an unsynchronised frame to decide its value: unsynchronisation
// at most halves the bytes, and no encoding looks at more than 1027 of them.
static const size_t kFrameWindowBytes = 4096;
static const size_t kMaxTagBytes = (size_t)1 << 28;  // 256 MiB: a syncsafe tag size stays below it

// Tag header flags (byte 5).
static const uint8_t kId3TagUnsynchronised = 0x80;
static const uint8_t kId3TagExtendedHeader = 0x40;  // versions 3 and 4
static const uint8_t kId3v22TagCompressed = 0x40;   // version 2.2: no scheme for it was ever defined
// Frame format flags (the second flag byte).
static const uint8_t kId3v3FrameCompressed = 0x80;
static const uint8_t kId3v3FrameEncrypted = 0x40;
static const uint8_t kId3v3FrameGrouping = 0x20;
static const uint8_t kId3v4FrameGrouping = 0x40;
static const uint8_t kId3v4FrameCompressed = 0x08;
static const uint8_t kId3v4FrameEncrypted = 0x04;
static const uint8_t kId3v4FrameUnsynchronised = 0x02;
static const uint8_t kId3v4FrameDataLength = 0x01;
static const size_t kGroupByteBytes = 1;
static const size_t kDataLengthBytes = 4;

// An unsynchronised tag is undone in a copy taken from the heap for the call,
// never in the library's block. When memory for the whole tag is short, a
// smaller copy (halved down to this) reads the frames that fit in it.
static const size_t kLeastTagCopyBytes = 4096;

enum ValueSlot { kTitleSlot, kArtistSlot, kAlbumSlot, kYearSlot, kSlotCount };

size_t Id3v2TagBytes(const uint8_t *block) { return kId3HeaderBytes + (size_t)ReadSyncsafe(block + 6); }

size_t RemoveUnsynchronisation(uint8_t *data, size_t size, bool zero_fill) {
  size_t kept = 0;
  bool after_ff = false;
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = data[i];
    if (after_ff && b == 0x00) {
      after_ff = false;
      continue;
    }
    data[kept++] = b;
    after_ff = b == 0xFF;
  }
  if (zero_fill) memset(data + kept, 0, size - kept);
  return kept;
}

// The bytes `size` raw bytes become once unsynchronisation is undone, when
// the byte before them was (`after_ff`) or was not a kept 0xFF.
static size_t UnsynchronisedLength(const uint8_t *data, size_t size, bool after_ff) {
  size_t kept = 0;
  for (size_t i = 0; i < size; ++i) {
    if (after_ff && data[i] == 0x00) {
      after_ff = false;
      continue;
    }
    ++kept;
    after_ff = data[i] == 0xFF;
  }
  return kept;
}

// Writes `units` units as UTF-8 into `out` when they need at most out_size
// bytes: the last byte gives way to the terminator when they need all of it.
static void PutUtf8(char *out, size_t out_size, const Utf16Unit *units, size_t count) {
  size_t needed = ConvertUtf16ToUtf8(out, out_size, units, count);
  if (needed > out_size) {
    out[0] = 0;
  } else if (needed == out_size) {
    out[Utf8WholePrefix(out, out_size - 1)] = 0;
  } else {
    out[needed] = 0;
  }
}

void Utf16ToUtf8(char *out, size_t out_size, const uint8_t *text, size_t units, bool check_bom, bool big_endian) {
  if (out_size == 0) return;
  if (out_size > kId3ValueBytes) out_size = kId3ValueBytes;
  out[0] = 0;
  size_t first = 0;
  if (check_bom && units >= 1) {
    if (text[0] == 0xFE && text[1] == 0xFF) {
      big_endian = true;
      first = 1;
    } else if (text[0] == 0xFF && text[1] == 0xFE) {
      big_endian = false;
      first = 1;
    }
  }
  // Every unit before the first zero needs at least one byte, so a text of more
  // units than out_size can never fit: the working copy stays bounded.
  Utf16Unit work[kId3ValueBytes];
  size_t count = 0;
  for (size_t i = first; i < units; ++i) {
    uint8_t b0 = text[2 * i];
    uint8_t b1 = text[2 * i + 1];
    Utf16Unit unit = big_endian ? (Utf16Unit)((b0 << 8) | b1) : (Utf16Unit)((b1 << 8) | b0);
    if (unit == 0) break;
    if (count == out_size) return;
    work[count++] = unit;
  }
  PutUtf8(out, out_size, work, count);
}

// Encoding 0: the ANSI code page, at most 255 characters, then as much of it
// as fits `out` in whole characters.
static void AnsiToUtf8(char *out, size_t out_size, const uint8_t *text, size_t size) {
  Utf16Unit wide[kAnsiUnits];
  size_t units = ConvertAnsiToUtf16(wide, kAnsiUnits, reinterpret_cast<const char *>(text), size);
  size_t keep = 0;
  size_t bytes = 0;
  while (keep < units && wide[keep] != 0) {
    Utf16Unit u = wide[keep];
    size_t take = 1;
    size_t need = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    if (1 < units - keep && IsUtf16Pair(u, wide[keep + 1])) {
      take = 2;
      need = 4;
    }
    if (need > out_size - 1 - bytes) break;
    bytes += need;
    keep += take;
  }
  PutUtf8(out, out_size, wide, keep);
}

void DecodeTextFrame(char *out, size_t out_size, const uint8_t *data, size_t size, bool unsync) {
  if (out_size == 0) return;
  if (out_size > kId3ValueBytes) out_size = kId3ValueBytes;
  memset(out, 0, out_size);
  if (size == 0) return;  // no encoding byte: an empty value
  uint8_t frame_copy[kFrameWindowBytes];
  if (unsync) {
    size_t window = size < kFrameWindowBytes ? size : kFrameWindowBytes;
    memcpy(frame_copy, data, window);
    size = RemoveUnsynchronisation(frame_copy, window, false);
    data = frame_copy;
  }
  if (size == 0) return;
  const uint8_t *text = data + 1;
  size_t text_size = size - 1;
  switch (data[0]) {
    case 0:
      AnsiToUtf8(out, out_size, text, text_size);
      break;
    case 1:
      Utf16ToUtf8(out, out_size, text, text_size / 2, true, false);
      break;
    case 2:
      Utf16ToUtf8(out, out_size, text, text_size / 2, false, true);
      break;
    case 3: {
      size_t limit = text_size < out_size - 1 ? text_size : out_size - 1;
      const void *nul = memchr(text, 0, limit);
      size_t length = nul != NULL ? (size_t)(static_cast<const uint8_t *>(nul) - text) : limit;
      if (nul == NULL && text_size > limit) length = Utf8WholePrefix(reinterpret_cast<const char *>(text), limit);
      memcpy(out, text, length);
      out[length] = 0;
      break;
    }
    default:
      break;  // unknown encoding: the value stays empty
  }
}

// The text frames the host shows, and the tag versions that take each one.
// Versions 0 and 1 are read like version 3 but give no year; version 2.2
// gives none either.
struct TakenFrame {
  char id[5];
  int lowest_version;
  int highest_version;
  ValueSlot slot;
};
static const TakenFrame kTakenFrames[] = {
    {"TIT2", 0, 255, kTitleSlot}, {"TPE1", 0, 255, kArtistSlot}, {"TALB", 0, 255, kAlbumSlot},
    {"TDRC", 4, 255, kYearSlot},  // the recording time replaced TYER in version 4
    {"TYER", 3, 3, kYearSlot},
};

// Version 2.2 names the same frames with three characters.
struct Version22Twin {
  char id22[4];
  char id[5];
};
static const Version22Twin kVersion22Twins[] = {{"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}};

// The four-character identifier of the frame at `frame`, or null for a
// version 2.2 frame that has no twin the walk takes.
static const char *FrameId(const uint8_t *frame, int version) {
  if (version != 2) return reinterpret_cast<const char *>(frame);
  for (const Version22Twin &twin : kVersion22Twins) {
    if (memcmp(frame, twin.id22, 3) == 0) return twin.id;
  }
  return NULL;
}

// Which value a frame fills, or kSlotCount when it is not taken: the first
// frame of each kind wins.
static ValueSlot TakeFrame(const uint8_t *frame, int version, const bool found[kSlotCount]) {
  const char *id = FrameId(frame, version);
  if (id == NULL) return kSlotCount;
  for (const TakenFrame &taken : kTakenFrames) {
    if (memcmp(id, taken.id, 4) != 0) continue;
    if (version < taken.lowest_version || version > taken.highest_version || found[taken.slot]) return kSlotCount;
    return taken.slot;
  }
  return kSlotCount;
}

static bool AllFound(const bool found[kSlotCount]) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!found[slot]) return false;
  }
  return true;
}

static void FillRecord(TrackInfoRecord *record, char values[kSlotCount][kId3ValueBytes]) {
  if (values[kTitleSlot][0] == 0) return;  // no title: artist, album and year are dropped too
  ConvertUtf8ToUtf16(record->title, kTitleUnits, values[kTitleSlot], strlen(values[kTitleSlot]));
  ConvertUtf8ToUtf16(record->artist, kArtistUnits, values[kArtistSlot], strlen(values[kArtistSlot]));
  ConvertUtf8ToUtf16(record->album, kAlbumUnits, values[kAlbumSlot], strlen(values[kAlbumSlot]));
  ConvertUtf8ToUtf16(record->year, kYearUnits, values[kYearSlot], strlen(values[kYearSlot]));
}

static bool IsFrameIdCharacter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a version 4 frame of `size` data bytes, with `room` bytes (at least
// a header's) before the walk's limit, ends where the walk can go on: at the
// limit, at padding or at another frame's identifier.
static bool EndsWhereTheWalkGoesOn(const uint8_t *frame, size_t room, size_t size) {
  if (size > room - kFrameHeaderBytes) return false;
  size_t rest = room - kFrameHeaderBytes - size;
  const uint8_t *next = frame + kFrameHeaderBytes + size;
  if (rest == 0 || next[0] == 0) return true;
  if (4 > rest) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (!IsFrameIdCharacter(next[i])) return false;
  }
  return true;
}

// Version 4 sizes are syncsafe, but one widespread player wrote them plain.
// When the syncsafe reading leads nowhere the walk can go on and the plain one
// does, the plain one was meant. Below 128 the two readings agree.
static size_t Version4FrameSize(const uint8_t *frame, size_t room) {
  size_t syncsafe = ReadSyncsafe(frame + 4);
  size_t plain = Be32(frame + 4);
  if (plain != syncsafe && !EndsWhereTheWalkGoesOn(frame, room, syncsafe) &&
      EndsWhereTheWalkGoesOn(frame, room, plain)) {
    return plain;
  }
  return syncsafe;
}

// One frame's header, as the walk needs it.
struct FrameHeader {
  size_t header_bytes;  // 10, or 6 in version 2.2
  size_t size;          // the data after the header, as stored
  size_t format_bytes;  // group byte and data-length indicator, at the start of the data
  bool skip;            // compressed or encrypted: no value can be read
  bool unsync;          // version 4: the frame's own unsynchronisation
};

// Reads the header of the frame at `frame`, which has `room` bytes (at least
// one) before the walk's limit. False when the header or the data would pass it.
static bool ReadFrameHeader(FrameHeader *h, const uint8_t *frame, size_t room, int version) {
  memset(h, 0, sizeof *h);
  if (version == 2) {
    h->header_bytes = kFrameHeaderBytes22;
    if (h->header_bytes > room) return false;
    h->size = ((size_t)frame[3] << 16) | ((size_t)frame[4] << 8) | frame[5];
  } else {
    h->header_bytes = kFrameHeaderBytes;
    if (h->header_bytes > room) return false;
    uint8_t flags = frame[9];
    if (version >= 4) {
      h->size = Version4FrameSize(frame, room);
      h->skip = (flags & (kId3v4FrameCompressed | kId3v4FrameEncrypted)) != 0;
      h->unsync = (flags & kId3v4FrameUnsynchronised) != 0;
      if (flags & kId3v4FrameGrouping) h->format_bytes += kGroupByteBytes;
      if (flags & kId3v4FrameDataLength) h->format_bytes += kDataLengthBytes;
    } else {
      h->size = Be32(frame + 4);
      h->skip = (flags & (kId3v3FrameCompressed | kId3v3FrameEncrypted)) != 0;
      if (flags & kId3v3FrameGrouping) h->format_bytes = kGroupByteBytes;
    }
  }
  return h->size <= room - h->header_bytes;
}

// The frames from `pos` up to `limit` in `area`; the first taken frame of each
// kind gives its value.
static void WalkFrames(char values[kSlotCount][kId3ValueBytes], const uint8_t *area, size_t pos, size_t limit,
                       int version) {
  bool found[kSlotCount] = {};
  for (int frames = 0; pos < limit && frames < kId3MaxFrames; ++frames) {
    const uint8_t *frame = area + pos;
    if (frame[0] == 0) break;  // padding
    FrameHeader header;
    if (!ReadFrameHeader(&header, frame, limit - pos, version)) break;
    const ValueSlot slot = header.skip ? kSlotCount : TakeFrame(frame, version, found);
    if (slot != kSlotCount) {
      found[slot] = true;  // the first frame of a kind wins, even an empty one
      // The text follows the group byte and the data-length indicator (a frame
      // too short for them has none); frame unsynchronisation covers only it.
      if (header.format_bytes <= header.size) {
        DecodeTextFrame(values[slot], kId3ValueBytes, frame + header.header_bytes + header.format_bytes,
                        header.size - header.format_bytes, header.unsync);
      }
      if (AllFound(found)) break;
    }
    pos += header.header_bytes + header.size;
  }
}

// Skips the extended header at the start of the frame area (`available`
// readable bytes); the frames start at the returned offset and, in version 3,
// end before the padding it declares. Offset and end may lie beyond what is there.
static uint64_t SkipExtendedHeader(const uint8_t *area, size_t available, int version, size_t *tag_end) {
  if (4 > available) return UINT64_MAX;
  if (version >= 4) return ReadSyncsafe(area);  // counts the whole extended header
  // Bytes 6-9 of a version 3 extended header: the padding, which the frames end before.
  const uint32_t padding = 10 > available ? 0 : Be32(area + 6);
  *tag_end = padding > *tag_end ? 0 : *tag_end - padding;
  return 4 + (uint64_t)Be32(area);  // the size excludes its own four bytes
}

// The extended header, then the frames. `available` bytes are readable at
// `area`; the tag says its frames end at `tag_end` (beyond `available` only
// when the private copy had to be cut).
static void ReadFrameArea(char values[kSlotCount][kId3ValueBytes], const uint8_t *area, size_t available,
                          size_t tag_end, int version, uint8_t flags) {
  uint64_t pos = 0;  // 64 bits: the extended header's sizes come from the file
  // A version 2.2 tag with this flag (compression) never gets here.
  if (flags & kId3TagExtendedHeader) pos = SkipExtendedHeader(area, available, version, &tag_end);
  size_t limit = tag_end < available ? tag_end : available;
  if (pos >= limit) return;
  WalkFrames(values, area, (size_t)pos, limit, version);
}

// The 10-byte tag header: "ID3" and the revision are not checked.
struct TagHeader {
  int version;
  uint8_t flags;
  size_t size;  // the frame area after the header, held to the block
};

static bool ReadTagHeader(const uint8_t *block, size_t block_size, TagHeader *header) {
  if (kId3HeaderBytes > block_size) return false;
  header->version = block[3];
  header->flags = block[5];
  header->size = ReadSyncsafe(block + 6);
  if (header->size > block_size - kId3HeaderBytes) header->size = block_size - kId3HeaderBytes;
  // A compressed version 2.2 tag is not to be misread as anything else.
  return !(header->version == 2 && (header->flags & kId3v22TagCompressed));
}

// Versions 2.2 and 3: the unsynchronisation of the whole tag undone in a copy
// of at most `copy_limit` bytes, then the frames read from it.
static void ReadUnsynchronisedTag(char values[kSlotCount][kId3ValueBytes], const uint8_t *area, size_t size,
                                  size_t copy_limit, int version, uint8_t flags) {
  size_t copied = size < copy_limit ? size : copy_limit;
  if (copied > kMaxTagBytes) copied = kMaxTagBytes;
  uint8_t *copy = static_cast<uint8_t *>(malloc(copied));
  while (copy == NULL && copied > kLeastTagCopyBytes) {
    copied /= 2;
    copy = static_cast<uint8_t *>(malloc(copied));
  }
  if (copy == NULL) return;  // no memory at all: no frame is read
  memcpy(copy, area, copied);
  const size_t available = RemoveUnsynchronisation(copy, copied, true);
  // A cut copy: the bytes beyond it still count towards the tag end.
  const bool after_ff = copied > 0 && area[copied - 1] == 0xFF;
  const size_t tag_end = available + UnsynchronisedLength(area + copied, size - copied, after_ff);
  ReadFrameArea(values, copy, available, tag_end, version, flags);
  free(copy);
}

void ParseId3v2TagCopyLimit(TrackInfoRecord *record, const uint8_t *block, size_t block_size, size_t copy_limit) {
  memset(record, 0, sizeof *record);
  TagHeader header;
  if (!ReadTagHeader(block, block_size, &header)) return;
  char values[kSlotCount][kId3ValueBytes];
  memset(values, 0, sizeof values);
  const uint8_t *area = block + kId3HeaderBytes;
  // Version 4 frames carry their own unsynchronisation flag, and their sizes
  // count the bytes as stored: undoing the whole tag would put them out of step.
  if ((header.flags & kId3TagUnsynchronised) && header.version < 4 && header.size > 0) {
    ReadUnsynchronisedTag(values, area, header.size, copy_limit, header.version, header.flags);
  } else {
    ReadFrameArea(values, area, header.size, header.size, header.version, header.flags);
  }
  FillRecord(record, values);
}

void ParseId3v2Tag(TrackInfoRecord *record, const uint8_t *block, size_t block_size) {
  ParseId3v2TagCopyLimit(record, block, block_size, kMaxTagBytes);
}
