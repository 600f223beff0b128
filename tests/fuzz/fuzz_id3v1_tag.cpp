// ID3v1 tags: the input is the block the media library would hand over (its
// last 128 bytes when the input is longer, as the library takes a file's).
#include <string.h>

#include <vector>

#include "parsers/id3v1.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const size_t start = size > kId3v1TagBytes ? size - kId3v1TagBytes : 0;
  // An exact-size copy, so a read one past the range is caught.
  std::vector<uint8_t> block(data + start, data + size);
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseId3v1Tag(&record, block.data(), block.size());
  const bool is_tag = block.size() == kId3v1TagBytes && memcmp(block.data(), "TAG", 3) == 0;
  if (!is_tag) {
    // Anything but a whole tag leaves the record as it was.
    for (size_t i = 0; i < sizeof record; ++i) FUZZ_CHECK(reinterpret_cast<const uint8_t *>(&record)[i] == 0xA5);
    GoldenText(" no-tag");
    return 0;
  }
  CheckRecord(record);
  GoldenRecord(record);
  // An empty title leaves nothing; the year keeps its last two units zero.
  if (record.title[0] == 0) FUZZ_CHECK(record.artist[0] == 0 && record.album[0] == 0 && record.year[0] == 0);
  FUZZ_CHECK(record.year[kYearUnits - 2] == 0 && record.year[kYearUnits - 1] == 0);
  return 0;
}
