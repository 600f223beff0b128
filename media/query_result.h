// What one file information query found, in either mode, before anything
// reaches the host: the plug-in's host layer turns it into the title buffer,
// the length, is_seekable and the artist/album/year block.
#pragma once
#include <stdint.h>
#include <string.h>

#include "parsers/track_info.h"

enum QueryTitle {
  kTitleUntouched,       // the host's title buffer stays as it was
  kTitleFromTags,        // tags.title (library mode)
  kTitleFromFileName,    // the file-name part less its last extension (library mode)
  kTitleFromWaveName,    // the file-name part less its last four units (WAV-only mode)
};

struct QueryResult {
  bool has_length;       // false: the host's length stays as it was
  int32_t length_ms;
  QueryTitle title;
  TrackInfoRecord tags;  // what the tag readers found (library mode, local files)
};

// An empty result: nothing to write.
static inline void ClearQueryResult(QueryResult *result) { memset(result, 0, sizeof *result); }
