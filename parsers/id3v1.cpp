// ID3v1: fixed fields, no encoding of their own.
#include "parsers/id3v1.h"

#include <string.h>

enum { kYearCapacity = 16 };  // as the list readers' years: the field's last two units stay zero

// The field's bytes up to its first NUL, less trailing blanks.
static size_t FieldLength(const uint8_t *field, size_t width) {
  const uint8_t *nul = static_cast<const uint8_t *>(memchr(field, 0, width));
  size_t length = nul != NULL ? (size_t)(nul - field) : width;
  while (length > 0 && field[length - 1] == ' ') --length;
  return length;
}

static void SetField(Utf16Unit *out, size_t capacity, const uint8_t *field, size_t width) {
  ConvertAnsiToUtf16(out, capacity, reinterpret_cast<const char *>(field), FieldLength(field, width));
}

void ParseId3v1Tag(TrackInfoRecord *record, const uint8_t *block, size_t size) {
  if (size < kId3v1TagBytes || memcmp(block, "TAG", 3) != 0) return;  // not a tag: the record stays
  memset(record, 0, sizeof *record);
  if (FieldLength(block + 3, 30) == 0) return;  // no title: as no tag
  SetField(record->title, kTitleUnits, block + 3, 30);
  SetField(record->artist, kArtistUnits, block + 33, 30);
  SetField(record->album, kAlbumUnits, block + 63, 30);
  SetField(record->year, kYearCapacity, block + 93, 4);
}
