// Seed capture: linked into a second build of the unit tests with every
// parser entry wrapped (ld --wrap), it writes each input a test hands a
// parser into $TANDREL_SEED_DIR/<fuzz target>/, in the form that target
// reads. Run by scripts/fuzz.sh seeds; the tests' own results do not matter
// there (the seam capture reads ahead and so changes read counts).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "parsers/id3v2.h"
#include "parsers/riff_wave.h"
#include "parsers/tag_lists.h"
#include "parsers/title_rules.h"
#include "standin/formats.h"
#include "standin/tag_blocks.h"

static const size_t kMaxSeed = 64 * 1024;  // larger cases teach a fuzzer nothing the small ones do not

static void Save(const char *target, const std::vector<uint8_t> &bytes) {
  const char *root = getenv("TANDREL_SEED_DIR");
  if (root == NULL || bytes.size() > kMaxSeed) return;
  uint64_t hash = 1469598103934665603ull;  // FNV-1a names equal inputs alike
  for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  std::string dir = std::string(root) + "/" + target;
  mkdir(root, 0755);
  mkdir(dir.c_str(), 0755);
  char name[32];
  snprintf(name, sizeof name, "/unit-%016llx", (unsigned long long)hash);
  FILE *f = fopen((dir + name).c_str(), "wb");
  if (f == NULL) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

static std::vector<uint8_t> Prefixed(std::initializer_list<uint8_t> head, const void *data, size_t size) {
  std::vector<uint8_t> v(head);
  const uint8_t *p = static_cast<const uint8_t *>(data);
  if (size <= kMaxSeed) v.insert(v.end(), p, p + size);
  return v;
}

static std::vector<uint8_t> SourceBytes(const ByteSource *src, uint64_t from, uint64_t to) {
  std::vector<uint8_t> v;
  if (to < from || to - from > kMaxSeed) to = from + kMaxSeed + 1;  // unknown or too large: over the cap
  v.resize((size_t)(to - from));
  v.resize(ReadUpTo(src, from, v.data(), (uint32_t)v.size()));
  return v;
}

#define WRAP(ret, mangled, params) \
  extern "C" ret __real_##mangled params; \
  extern "C" ret __wrap_##mangled params

WRAP(void, _Z12ParseTagListP15TrackInfoRecordPKcm11TagListKind,
     (TrackInfoRecord * r, const char *list, size_t size, TagListKind kind)) {
  // The fuzz target's kind byte: 0 Vorbis, 1 APE, F0-F2 MP4, WMA, RIFF INFO.
  const uint8_t selector = kind <= kApeTagList ? (uint8_t)kind : (uint8_t)(0xF0 + (kind - kMp4TagList));
  Save("tag_list", Prefixed({selector}, list, size));
  __real__Z12ParseTagListP15TrackInfoRecordPKcm11TagListKind(r, list, size, kind);
}

WRAP(void, _Z13ParseId3v2TagP15TrackInfoRecordPKhm, (TrackInfoRecord * r, const uint8_t *block, size_t size)) {
  Save("id3v2_tag", Prefixed({}, block, size));
  __real__Z13ParseId3v2TagP15TrackInfoRecordPKhm(r, block, size);
}

WRAP(void, _Z13ParseId3v1TagP15TrackInfoRecordPKhm, (TrackInfoRecord * r, const uint8_t *block, size_t size)) {
  Save("id3v1_tag", Prefixed({}, block, size));
  __real__Z13ParseId3v1TagP15TrackInfoRecordPKhm(r, block, size);
}

WRAP(void, _Z15DecodeTextFramePcmPKhmb, (char *out, size_t out_size, const uint8_t *data, size_t size, bool unsync)) {
  Save("id3v2_frame", Prefixed({(uint8_t)unsync, (uint8_t)(out_size >= 256 ? 0 : out_size)}, data, size));
  __real__Z15DecodeTextFramePcmPKhmb(out, out_size, data, size, unsync);
}

WRAP(void, _Z11Utf16ToUtf8PcmPKhmbb,
     (char *out, size_t out_size, const uint8_t *text, size_t units, bool bom, bool big)) {
  Save("id3v2_frame", Prefixed({(uint8_t)((bom ? 2 : 0) | (big ? 4 : 0)), (uint8_t)(out_size >= 256 ? 0 : out_size)},
                               text, 2 * units));
  __real__Z11Utf16ToUtf8PcmPKhmbb(out, out_size, text, units, bom, big);
}

WRAP(bool, _Z22WaveLengthFromResponsePKhjmPj,
     (const uint8_t *bytes, uint32_t size, uint64_t content_length, uint32_t *length)) {
  Save("riff_buffer", Prefixed({}, bytes, size));
  Save("riff_local", Prefixed({}, bytes, size));
  return __real__Z22WaveLengthFromResponsePKhjmPj(bytes, size, content_length, length);
}

WRAP(bool, _Z18WaveLengthFromSeamPK8WaveSeamPj, (const WaveSeam *seam, uint32_t *length)) {
  std::vector<uint8_t> all;
  uint8_t chunk[4096];
  for (;;) {
    uint32_t n = seam->read(seam->context, chunk, sizeof chunk);
    if (n == 0 || all.size() > kMaxSeed) break;
    all.insert(all.end(), chunk, chunk + n);
  }
  seam->seek(seam->context, -(int32_t)all.size());
  Save("riff_local", all);
  Save("riff_buffer", all);
  return __real__Z18WaveLengthFromSeamPK8WaveSeamPj(seam, length);
}

static void SavePath(const Utf16Unit *path) {
  std::vector<uint8_t> v;
  for (const Utf16Unit *p = path; *p; ++p) {
    v.push_back((uint8_t)(*p & 0xFF));
    v.push_back((uint8_t)(*p >> 8));
  }
  Save("title_rules", v);
}

WRAP(void, _Z13FileNameTitlePKDsPDs, (const Utf16Unit *path, Utf16Unit *title)) {
  SavePath(path);
  __real__Z13FileNameTitlePKDsPDs(path, title);
}

WRAP(void, _Z13WaveFileTitlePKDsPDs, (const Utf16Unit *path, Utf16Unit *title)) {
  SavePath(path);
  __real__Z13WaveFileTitlePKDsPDs(path, title);
}

WRAP(bool, _Z22BuildVorbisCommentListPKhmP8TagBlock, (const uint8_t *body, size_t size, TagBlock *out)) {
  Save("standin_tags", Prefixed({0}, body, size));
  return __real__Z22BuildVorbisCommentListPKhmP8TagBlock(body, size, out);
}

WRAP(bool, _Z10FindApeTagPK10ByteSourcemP11ApeTagPlace, (const ByteSource *src, uint64_t end, ApeTagPlace *place)) {
  std::vector<uint8_t> v = SourceBytes(src, 0, end);
  v.insert(v.begin(), 1);
  Save("standin_tags", v);
  return __real__Z10FindApeTagPK10ByteSourcemP11ApeTagPlace(src, end, place);
}

WRAP(uint32_t, _Z12LoadId3v2TagPK10ByteSourcemP8TagBlock, (const ByteSource *src, uint64_t offset, TagBlock *out)) {
  std::vector<uint8_t> v = SourceBytes(src, offset, src->size);
  v.insert(v.begin(), src->size == kSourceSizeUnknown ? 0x82 : 2);
  Save("standin_tags", v);
  return __real__Z12LoadId3v2TagPK10ByteSourcemP8TagBlock(src, offset, out);
}

WRAP(uint64_t, _Z16TrimTrailingTagsPK10ByteSourcemmP11ApeTagPlacePb,
     (const ByteSource *src, uint64_t start, uint64_t end, ApeTagPlace *ape, bool *has_ape)) {
  std::vector<uint8_t> v = SourceBytes(src, start, end);
  v.insert(v.begin(), 3);
  Save("standin_tags", v);
  return __real__Z16TrimTrailingTagsPK10ByteSourcemmP11ApeTagPlacePb(src, start, end, ape, has_ape);
}

#define WRAP_OPENER(mangled)                                          \
  WRAP(bool, mangled, (const ByteSource *src, StreamFacts *out)) {    \
    Save("standin_formats", SourceBytes(src, 0, src->size));          \
    return __real_##mangled(src, out);                                \
  }

WRAP_OPENER(_Z7OpenWavPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z8OpenAiffPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z7OpenMp3PK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z13OpenOggVorbisPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z8OpenFlacPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z11OpenWavPackPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z7OpenDsfPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z7OpenDffPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z10OpenMp4AacPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z11OpenMp4AlacPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z8OpenAdtsPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z16OpenMonkeysAudioPK10ByteSourceP11StreamFacts)
WRAP_OPENER(_Z7OpenAsfPK10ByteSourceP11StreamFacts)
