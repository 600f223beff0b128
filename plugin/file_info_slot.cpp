// GetFileInfo: runs the query of the mode the settings chose and hands its
// result to the host: the length, the title buffer, is_seekable and the block.
#include "plugin/file_info_slot.h"

#include "media/library_query.h"
#include "media/wave_query.h"
#include "parsers/title_rules.h"
#include "plugin/in_module.h"
#include "plugin/settings.h"

wchar_t ExtraInfoBlock[kExtraInfoUnits];

// Copies a record slot (terminated within `capacity` units) to `dst`; returns
// the units written, terminator included.
static size_t CopySlot(wchar_t *dst, const Utf16Unit *src, size_t capacity) {
  size_t n = 0;
  while (n + 1 < capacity && src[n] != 0) {
    dst[n] = src[n];
    ++n;
  }
  dst[n] = 0;
  return n + 1;
}

// The tag title for the host, and artist, album and year in the block; the
// block is published only when there is an artist.
static void PublishTags(const TrackInfoRecord *record, wchar_t *title) {
  CopySlot(title, record->title, kTitleUnits);
  size_t pos = CopySlot(ExtraInfoBlock, record->artist, kArtistUnits);
  pos += CopySlot(ExtraInfoBlock + pos, record->album, kAlbumUnits);
  CopySlot(ExtraInfoBlock + pos, record->year, kYearUnits);
  if (record->artist[0] != 0) g_InModule.is_seekable = (intptr_t)ExtraInfoBlock;
}

static void WriteTitle(const QueryResult *result, const wchar_t *file, wchar_t *title) {
  if (title == NULL) return;
  switch (result->title) {
    case kTitleFromTags:
      PublishTags(&result->tags, title);
      break;
    case kTitleFromFileName:
      FileNameTitle(file, title);
      break;
    case kTitleFromWaveName:
      WaveFileTitle(file, title);
      break;
    case kTitleUntouched:
      break;
  }
}

void __cdecl GetFileInfo(const wchar_t *file, wchar_t *title, int *length_in_ms) {
  QueryResult result;
  if (PluginSettings.OnlyWav) {
    // WAV-only mode never touches is_seekable: it keeps 1 for good.
    ReadWaveHeader(file, length_in_ms != NULL, &result);
  } else {
    // Without a name or a place for the length there is no query: nothing is
    // touched, as on the WAV-only road.
    if (file == NULL || length_in_ms == NULL) return;
    g_InModule.is_seekable = 1;
    QueryMediaLibrary(file, PluginSettings.HostReadsTags != 0, &result);
  }
  if (result.has_length && length_in_ms != NULL) *length_in_ms = result.length_ms;
  WriteTitle(&result, file, title);
}
