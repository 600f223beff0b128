// The tag readers of the file information query, one row each, in the order
// the query asks them: each asks the media library for its kind of tag on an
// open stream. A reader that finds its tag clears the record and fills it; one
// that finds none leaves the record as it was.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "parsers/tag_lists.h"
#include "parsers/track_info.h"

struct TagReader {
  uint32_t tag_type;  // what BASS_ChannelGetTags is asked for
  // Turns the library's block into the record; `kind` is the list rules of
  // list readers and unused by the others.
  void (*parse)(TrackInfoRecord *record, const char *block, TagListKind kind);
  TagListKind kind;
};

extern const TagReader kTagReaders[];
extern const size_t kTagReaderCount;

// One row's reading: the library's block of the row's type, if any, parsed.
void ReadTag(DWORD stream, const TagReader &reader, TrackInfoRecord *record);
