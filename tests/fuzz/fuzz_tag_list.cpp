// The media library's key/value lists: byte 0 picks the kind (F0-FF: the
// MP4, WMA and RIFF INFO lists by its low four bits; any other value: Vorbis
// comments or APE by its low bit), the rest is the list as the library would
// hand it over.
#include <string.h>

#include <vector>

#include "parsers/tag_lists.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  static const char *const kNames[kTagListKinds] = {"vorbis", "ape", "mp4", "wma", "riff-info"};
  const TagListKind kind = data[0] >= 0xF0 ? (TagListKind)(kMp4TagList + (data[0] & 0x0F) % 3)
                           : (data[0] & 1) ? kApeTagList
                                           : kVorbisCommentList;
  // An exact-size copy, so a read one past the range is caught.
  std::vector<char> list(data + 1, data + size);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseTagList(&record, list.data(), list.size(), kind);
  CheckRecord(record);
  GoldenText(" %s", kNames[kind]);
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
