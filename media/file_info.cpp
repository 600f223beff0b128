// GetFileInfo: length, display title and artist/album/year for one path or URL.
#include "media/file_info.h"

#include <math.h>
#include <string.h>
#include <wchar.h>

#include "media/library_binding.h"
#include "media/tag_readers.h"
#include "media/text_convert.h"
#include "media/title_rules.h"
#include "media/track_info.h"
#include "media/wave_reader.h"
#include "plugin/in_module.h"
#include "plugin/settings.h"
#include "plugin/slots.h"

wchar_t ExtraInfoBlock[kExtraInfoUnits];
static char UrlBuffer[kUrlBufferBytes];

int LengthInMilliseconds(double seconds) {
  double ms = seconds * 1000.0;
  // llrint of a value outside the 64-bit range is undefined; 9.2e18 stays inside.
  if (!(ms >= 0.0 && ms < 9.2e18)) return 0;
  long long whole = llrint(ms);  // the default rounding mode: nearest, halves to even
  return (int)(uint32_t)(unsigned long long)whole;
}

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

// The UTF-8 form of a URL in UrlBuffer; false when it does not fit.
static bool PutUrl(const wchar_t *url) {
  size_t needed = ConvertUtf16ToUtf8(UrlBuffer, kUrlBufferBytes - 1, url, wcslen(url));
  if (needed > kUrlBufferBytes - 1) return false;
  UrlBuffer[needed] = 0;
  return true;
}

// Opens the stream, measures it and, for local files, reads the tags.
static void MeasureAndReadTags(const wchar_t *file, bool is_url, int *length_in_ms, TrackInfoRecord *record) {
  DWORD stream;
  if (is_url) {
    // A URL too long for the buffer counts as one that did not open.
    stream = PutUrl(file) ? MediaStreamCreateUrl(UrlBuffer) : 0;
  } else {
    stream = MediaStreamCreateFile(file);
  }
  if (stream == 0) return;
  BASS_CHANNELINFO info;
  memset(&info, 0, sizeof info);
  if (!MediaChannelGetInfo(stream, &info)) {
    MediaStreamFree(stream);  // BASS_Free would release it too; not relying on that
    return;
  }

  QWORD bytes = MediaChannelGetLength(stream);
  if (bytes != BASS_LENGTH_UNKNOWN) *length_in_ms = LengthInMilliseconds(MediaChannelBytes2Seconds(stream, bytes));

  if (!is_url && PluginSettings.HostReadsTags) {
    // Each reader runs only while no title has been found.
    ReadVorbisComments(stream, record);
    if (record->title[0] == 0) ReadApeTag(stream, record);
    if (record->title[0] == 0) ReadId3v2Tag(stream, record);
  }
  MediaStreamFree(stream);
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

void __cdecl GetFileInfo(const wchar_t *file, wchar_t *title, int *length_in_ms) {
  TrackInfoRecord record;
  memset(&record, 0, sizeof record);
  if (PluginSettings.OnlyWav) {
    ReadWaveHeader(file, title, length_in_ms);
    return;
  }
  // Without a name or a place for the length there is no query: nothing is
  // touched, as on the WAV-only road.
  if (file == NULL || length_in_ms == NULL) return;
  // Only a lower-case "ht" start makes a URL (http:, https:, and any such path).
  bool is_url = file[0] == L'h' && file[1] == L't';
  g_InModule.is_seekable = 1;
  *length_in_ms = 0;

  BindMediaLibrary();
  if (!MediaLibraryBound()) return;
  MediaInit();
  MeasureAndReadTags(file, is_url, length_in_ms, &record);
  if (title != NULL && !is_url) {
    if (record.title[0] != 0) {
      PublishTags(&record, title);
    } else {
      FileNameTitle(file, title);
    }
  }
  MediaFree();
}
