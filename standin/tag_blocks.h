// Tag blocks in the library's hand-out forms: the raw ID3v2 tag, and
// "key=value" lists (NUL after each entry, an empty entry at the end) built
// from Vorbis comments and APEv2 items. Every loader fills an empty block
// (data null) and leaves a filled one as it is, so a second tag of the same
// kind never replaces or leaks the first.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "standin/byte_source.h"
#include "standin/stream_facts.h"

// Total bytes an ID3v2 tag occupies from its 10-byte header on (footer
// included), or 0 when the header is not a usable ID3v2 header.
uint32_t Id3v2TagSpan(const uint8_t header[10]);

// The span of an ID3v2 tag at offset from its header alone (0 when there is
// none). Openers skip a leading tag with it and load the tag only once the
// bytes after it prove to be their format, so a file is not read whole-tag
// by every opener it is offered to.
uint32_t Id3v2SpanAt(const ByteSource *src, uint64_t offset);

// Reads the ID3v2 tag at offset when the source holds every byte of it.
// Returns its span (0 when there is no tag header there); the block is filled
// only for a complete tag (of a download, one that fits kMaxTagBlock), and
// holds it without a version 4 footer.
uint32_t LoadId3v2Tag(const ByteSource *src, uint64_t offset, TagBlock *out);

// A list being built: entries of at most `cap` bytes in all, NULs included.
struct TagListBuilder {
  uint8_t *data;  // heap; handed to the block by FinishTagList
  uint32_t used;
  uint32_t cap;
};
bool StartTagList(TagListBuilder *b, uint32_t cap);
// Appends "key=value" (the value cut at its first NUL; with an empty key the
// value alone) when it fits; false when it does not or would be empty.
bool AddTagEntry(TagListBuilder *b, const char *key, const uint8_t *value, uint32_t len);
// Ends the list with its empty string and hands it to the block.
void FinishTagList(TagListBuilder *b, TagBlock *out);

// Turns a Vorbis comment body (vendor length, vendor, count, entries; all
// lengths little-endian) into a list, which ends at the first empty comment.
// False when the body is malformed or holds no comments.
bool BuildVorbisCommentList(const uint8_t *body, size_t size, TagBlock *out);

// An APEv2 tag whose footer ends exactly at end_offset.
struct ApeTagPlace {
  uint64_t start;       // first byte of the tag (its header when it has one)
  uint64_t items_start; // first item
  uint32_t items_size;  // bytes of items
  uint32_t item_count;
  uint32_t version;     // 1000 or 2000
};
// Finds an APEv2 footer ending at end_offset; false when there is none or its
// sizes do not fit the bytes before it.
bool FindApeTag(const ByteSource *src, uint64_t end_offset, ApeTagPlace *place);
// Converts the text items of a found tag into a list; a multi-value item's
// values joined with "/".
bool LoadApeItems(const ByteSource *src, const ApeTagPlace *place, TagBlock *out);

// Where the audio ends once trailing tags are taken off: an ID3v1 tag
// ("TAG", 128 bytes) and an APEv2 tag, in either order of presence. When an
// APE tag is found and ape is not null, its place is stored there.
uint64_t TrimTrailingTags(const ByteSource *src, uint64_t start, uint64_t end, ApeTagPlace *ape, bool *has_ape);

// The file's last 128 bytes, as the library hands out an ID3v1 tag, when
// they begin with "TAG" (so an APE tag after the ID3v1 tag hides it).
bool LoadId3v1Tag(const ByteSource *src, TagBlock *out);

// A "LIST" chunk's body: when its type is INFO, its sub-chunks as "XXXX=value"
// entries in file order, the values' bytes as stored.
bool LoadRiffInfoList(const ByteSource *src, uint64_t body, uint64_t size, TagBlock *out);

// Takes the trailing tags off a file's end (as TrimTrailingTags, from start
// on) and loads the ID3v1 tag and the APEv2 tag's items (the library hands
// out no APEv1 tag). Returns where the audio ends: kSourceSizeUnknown for a
// download, whose end is not read. Inline, so that each opener calls
// TrimTrailingTags and LoadApeItems itself, as the native build's seed
// capture (which wraps calls between files) expects.
static inline uint64_t LoadTrailingTags(const ByteSource *src, uint64_t start, StreamFacts *facts) {
  if (src->size == kSourceSizeUnknown) return kSourceSizeUnknown;
  ApeTagPlace place;
  bool has_ape = false;
  const uint64_t audio_end = TrimTrailingTags(src, start, src->size, &place, &has_ape);
  if (has_ape && place.version == 2000) LoadApeItems(src, &place, &facts->tags[kTagApe]);
  LoadId3v1Tag(src, &facts->tags[kTagId3v1]);
  return audio_end;
}
