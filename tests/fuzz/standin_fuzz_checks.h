// What every stand-in fuzz target checks of the tag blocks the library would
// hand out, and the plug-in's readers run over them as a query would.
#pragma once
#include <string.h>

#include "parsers/id3v1.h"
#include "parsers/id3v2.h"
#include "parsers/tag_lists.h"
#include "standin/stream_facts.h"
#include "tests/fuzz/fuzz_checks.h"

// A tag block (a key/value list as text, an ID3v2 tag by size and hash) and
// what the plug-in's reader made of it.
inline void GoldenBlock(const char *name, const TagBlock &block, bool is_list, const TrackInfoRecord &record) {
  if (!g_golden_on) return;
  if (!is_list) {
    GoldenText(" %s=%u#%08x {", name, block.size, GoldenHash(block.data, block.size));
  } else {
    GoldenText(" %s=", name);
    GoldenUtf8(reinterpret_cast<const char *>(block.data), block.size);
    GoldenText(" {");
  }
  GoldenRecord(record);
  GoldenText(" }");
}

// A key/value list ends in its empty string exactly at its size.
inline void CheckList(const TagBlock &block, TagListKind kind) {
  if (block.data == NULL) return;
  FUZZ_CHECK(block.size >= 1 && block.size <= kMaxTagBlock + 1);
  FUZZ_CHECK(TagListSize(reinterpret_cast<const char *>(block.data)) == block.size);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseTagList(&record, reinterpret_cast<const char *>(block.data), block.size, kind);
  CheckRecord(record);
  static const char *const kNames[kTagListKinds] = {"vorbis", "ape", "mp4", "wma", "riff-info"};
  GoldenBlock(kNames[kind], block, true, record);
}

// An ID3v1 block is a file's last 128 bytes, beginning with "TAG".
inline void CheckId3v1Block(const TagBlock &block) {
  if (block.data == NULL) return;
  FUZZ_CHECK(block.size == kId3v1TagBytes && memcmp(block.data, "TAG", 3) == 0);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseId3v1Tag(&record, block.data, block.size);
  CheckRecord(record);
  GoldenBlock("id3v1", block, false, record);
}

inline void CheckId3Block(const TagBlock &block) {
  if (block.data == NULL) return;
  FUZZ_CHECK(block.size >= 10);
  FUZZ_CHECK(memcmp(block.data, "ID3", 3) == 0);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseId3v2Tag(&record, block.data, block.size);
  CheckRecord(record);
  GoldenBlock("id3v2", block, false, record);
}

inline void CheckTags(const StreamFacts &facts) {
  CheckId3Block(facts.tags[kTagId3v2]);
  CheckList(facts.tags[kTagVorbis], kVorbisCommentList);
  CheckList(facts.tags[kTagApe], kApeTagList);
  CheckId3v1Block(facts.tags[kTagId3v1]);
  CheckList(facts.tags[kTagRiffInfo], kRiffInfoList);
  CheckList(facts.tags[kTagMp4], kMp4TagList);
  CheckList(facts.tags[kTagWma], kWmaTagList);
}

// A source over the input that may hide its size, as a download without a
// Content-Length does; reads still end where the bytes do.
struct FuzzSource {
  const uint8_t *data;
  size_t size;
};

inline uint32_t FuzzReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  const FuzzSource *s = static_cast<const FuzzSource *>(ctx);
  if (offset >= s->size) return 0;
  if (len > s->size - offset) len = (uint32_t)(s->size - offset);
  memcpy(buf, s->data + offset, len);
  return len;
}

inline ByteSource MakeFuzzSource(FuzzSource *s, bool size_known) {
  ByteSource src;
  src.ctx = s;
  src.read_at = FuzzReadAt;
  src.size = size_known ? (uint64_t)s->size : kSourceSizeUnknown;
  return src;
}
