// Key/value tag lists: one walk over the library's list, with each kind's
// keys and rules in one table.
#include "parsers/tag_lists.h"

#include <stdint.h>
#include <string.h>

#include "parsers/utf8.h"

enum {
  kKeyCopyBytes = 16,  // 15 bytes of the entry and a zero that always stays
  kYearCapacity = 16,  // two units fewer than the year field: its last two stay zero
};

struct KeyTest {
  const char *text;  // upper-case key with its "="; the value starts right after it
  size_t length;
};

enum ValueText { kValueUtf8, kValueUtf8OrAnsi };

struct TagListRules {
  KeyTest year, title, album, artist;
  bool first_album_wins;  // an album that has a value is kept
  ValueText text;
};

#define KEY(text) {text, sizeof(text) - 1}
// Every key with its "=" fits the 15 bytes of the key copy.
static const TagListRules kRules[kTagListKinds] = {
    {KEY("DATE="), KEY("TITLE="), KEY("ALBUM="), KEY("ARTIST="), true, kValueUtf8},
    {KEY("YEAR="), KEY("TITLE="), KEY("ALBUM="), KEY("ARTIST="), false, kValueUtf8},
    {KEY("DATE="), KEY("TITLE="), KEY("ALBUM="), KEY("ARTIST="), false, kValueUtf8},
    {KEY("WM/YEAR="), KEY("TITLE="), KEY("WM/ALBUMTITLE="), KEY("AUTHOR="), false, kValueUtf8},
    {KEY("ICRD="), KEY("INAM="), KEY("IPRD="), KEY("IART="), false, kValueUtf8OrAnsi},
};
#undef KEY

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

static void SetField(Utf16Unit *field, size_t capacity, const char *entry, size_t entry_length, const KeyTest &test,
                     ValueText text) {
  const char *value = entry + test.length;
  const size_t bytes = entry_length - test.length;
  if (text == kValueUtf8OrAnsi && !IsWellFormedUtf8(reinterpret_cast<const uint8_t *>(value), bytes)) {
    ConvertAnsiToUtf16(field, capacity, value, bytes);
  } else {
    ConvertUtf8ToUtf16(field, capacity, value, bytes);
  }
}

void ParseTagList(TrackInfoRecord *record, const char *list, size_t size, TagListKind kind) {
  memset(record, 0, sizeof *record);
  if ((unsigned)kind >= kTagListKinds) return;
  const TagListRules &rules = kRules[kind];
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

    if (KeyIs(key, rules.year)) {
      SetField(record->year, kYearCapacity, entry, length, rules.year, rules.text);
    } else if (KeyIs(key, rules.title)) {
      SetField(record->title, kTitleUnits, entry, length, rules.title, rules.text);
    } else if (KeyIs(key, rules.album)) {
      if (!rules.first_album_wins || record->album[0] == 0) {
        SetField(record->album, kAlbumUnits, entry, length, rules.album, rules.text);
      }
    } else if (KeyIs(key, rules.artist)) {
      SetField(record->artist, kArtistUnits, entry, length, rules.artist, rules.text);
    }
    if (end == NULL) break;
    pos += length + 1;
  }
}
