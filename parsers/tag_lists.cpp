// Vorbis comments and APE tags: one walk over the library's key/value list.
#include "parsers/tag_lists.h"

#include <string.h>

enum {
  kKeyCopyBytes = 16,  // 15 bytes of the entry and a zero that always stays
  kYearCapacity = 16,  // two units fewer than the year field: its last two stay zero
};

struct KeyTest {
  const char *text;  // upper-case key with its "="; the value starts right after it
  size_t length;
};

size_t TagListSize(const char *list) {
  size_t size = 0;
  for (;;) {
    size_t length = strlen(list + size);
    size += length + 1;
    if (length == 0) return size;
  }
}

// Whether the upper-cased key copy begins with the test's text. The text ends
// with "=", so a longer key such as TITLESORT or DATE_ORIGINAL never matches,
// and the value offset never lies beyond the entry's own end.
static bool KeyIs(const char *key, const KeyTest &test) { return memcmp(key, test.text, test.length) == 0; }

static void SetField(Utf16Unit *field, size_t capacity, const char *entry, size_t entry_length, const KeyTest &test) {
  ConvertUtf8ToUtf16(field, capacity, entry + test.length, entry_length - test.length);
}

void ParseTagList(TrackInfoRecord *record, const char *list, size_t size, TagListKind kind) {
  static const KeyTest kDate = {"DATE=", 5};
  static const KeyTest kYear = {"YEAR=", 5};
  static const KeyTest kTitle = {"TITLE=", 6};
  static const KeyTest kAlbum = {"ALBUM=", 6};
  static const KeyTest kArtist = {"ARTIST=", 7};
  const KeyTest &year_key = kind == kVorbisCommentList ? kDate : kYear;

  memset(record, 0, sizeof *record);
  size_t pos = 0;
  while (pos < size) {
    const char *entry = list + pos;
    const char *end = static_cast<const char *>(memchr(entry, 0, size - pos));
    size_t length = end != NULL ? (size_t)(end - entry) : size - pos;
    if (length == 0) break;  // the empty string ends the list

    char key[kKeyCopyBytes] = {0};
    memcpy(key, entry, length < kKeyCopyBytes - 1 ? length : kKeyCopyBytes - 1);
    for (char &c : key) {
      if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    }

    if (KeyIs(key, year_key)) {
      SetField(record->year, kYearCapacity, entry, length, year_key);
    } else if (KeyIs(key, kTitle)) {
      SetField(record->title, kTitleUnits, entry, length, kTitle);
    } else if (KeyIs(key, kAlbum)) {
      // Vorbis comments keep the first album that has a value.
      if (kind == kApeTagList || record->album[0] == 0) SetField(record->album, kAlbumUnits, entry, length, kAlbum);
    } else if (KeyIs(key, kArtist)) {
      SetField(record->artist, kArtistUnits, entry, length, kArtist);
    }
    if (end == NULL) break;
    pos += length + 1;
  }
}
