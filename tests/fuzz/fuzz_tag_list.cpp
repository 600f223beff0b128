// Vorbis-comment and APE key/value lists: byte 0 picks the kind, the rest is
// the list as the media library would hand it over.
#include <string.h>

#include <vector>

#include "parsers/tag_lists.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const TagListKind kind = (data[0] & 1) ? kApeTagList : kVorbisCommentList;
  // An exact-size copy, so a read one past the range is caught.
  std::vector<char> list(data + 1, data + size);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseTagList(&record, list.data(), list.size(), kind);
  CheckRecord(record);
  GoldenText(" %s", kind == kApeTagList ? "ape" : "vorbis");
  GoldenRecord(record);
  // The year keeps its last two units zero whatever the value.
  FUZZ_CHECK(record.year[kYearUnits - 2] == 0 && record.year[kYearUnits - 1] == 0);

  // The size of a list that does end in an empty string.
  list.push_back(0);
  list.push_back(0);
  const size_t list_size = TagListSize(list.data());
  FUZZ_CHECK(list_size >= 1 && list_size <= list.size());
  FUZZ_CHECK(list[list_size - 1] == 0);
  GoldenText(" size=%zu", list_size);
  return 0;
}
