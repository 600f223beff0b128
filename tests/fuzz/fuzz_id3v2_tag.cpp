// A whole ID3v2 tag block as the media library hands it over.
#include <string.h>

#include "parsers/id3v2.h"
#include "tests/fuzz/fuzz_checks.h"

static void CheckParsed(const TrackInfoRecord &record) {
  CheckRecord(record);
  // No title, nothing: the other fields come only with one.
  if (record.title[0] == 0) {
    FUZZ_CHECK(record.artist[0] == 0 && record.album[0] == 0 && record.year[0] == 0);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TrackInfoRecord record;
  memset(&record, 0xA5, sizeof record);
  ParseId3v2Tag(&record, data, size);
  CheckParsed(record);
  GoldenRecord(record);
  const TrackInfoRecord whole = record;
  // An unsynchronised tag whose private copy could not hold it all (the
  // allocation failed): the copy ends somewhere inside the tag.
  memset(&record, 0xA5, sizeof record);
  ParseId3v2TagCopyLimit(&record, data, size, size / 2);
  CheckParsed(record);
  if (memcmp(&record, &whole, sizeof record) == 0) {
    GoldenText(" | half-copy: same");
  } else {
    GoldenText(" | half-copy:");
    GoldenRecord(record);
  }
  return 0;
}
