// The stand-in library's tag loaders: byte 0 picks one, the rest is its input.
//   0: a Vorbis comment body        1: an APEv2 tag ending at the input's end
//   2: an ID3v2 tag at the start    3: trailing ID3v1/APE tags taken off
#include "standin/tag_blocks.h"
#include "tests/fuzz/standin_fuzz_checks.h"

static void GoldenApePlace(const ApeTagPlace &place) {
  GoldenText(" start=%llu items-at=%llu items-size=%u count=%u", (unsigned long long)place.start,
             (unsigned long long)place.items_start, place.items_size, place.item_count);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const uint8_t selector = data[0];
  FuzzSource bytes = {data + 1, size - 1};
  ByteSource src = MakeFuzzSource(&bytes, (selector & 0x80) == 0);
  TagBlock block = {NULL, 0};
  if ((selector & 0x80) != 0) GoldenText(" size-hidden");
  switch (selector & 3) {
    case 0:
      GoldenText(" vorbis-body");
      if (BuildVorbisCommentList(bytes.data, bytes.size, &block)) {
        CheckList(block, kVorbisCommentList);
      } else {
        GoldenText(" fail");
      }
      break;
    case 1: {
      GoldenText(" ape-footer");
      ApeTagPlace place;
      if (FindApeTag(&src, bytes.size, &place)) {
        FUZZ_CHECK(place.items_start + place.items_size + 32 == bytes.size);
        FUZZ_CHECK(place.start <= place.items_start);
        GoldenApePlace(place);
        if (LoadApeItems(&src, &place, &block)) {
          CheckList(block, kApeTagList);
        } else {
          GoldenText(" items=fail");
        }
      } else {
        GoldenText(" none");
      }
      break;
    }
    case 2: {
      const uint32_t span = LoadId3v2Tag(&src, 0, &block);
      GoldenText(" id3v2 span=%u", span);
      if (block.data != NULL) {
        // The whole tag, less a version 4 footer.
        const bool footer = bytes.data[3] >= 4 && (bytes.data[5] & 0x10) != 0;
        FUZZ_CHECK(block.size == span - (footer ? 10 : 0) && span <= bytes.size);
        CheckId3Block(block);
      } else {
        GoldenText(" not-loaded");
      }
      break;
    }
    default: {
      ApeTagPlace place;
      bool has_ape = false;
      const uint64_t end = TrimTrailingTags(&src, 0, bytes.size, &place, &has_ape);
      FUZZ_CHECK(end <= bytes.size);
      GoldenText(" trailing end=%llu", (unsigned long long)end);
      if (has_ape) {
        GoldenApePlace(place);
        if (LoadApeItems(&src, &place, &block)) {
          CheckList(block, kApeTagList);
        } else {
          GoldenText(" items=fail");
        }
      }
      break;
    }
  }
  free(block.data);
  return 0;
}
