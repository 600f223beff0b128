// Library mode: the stream's length and the local file's tags, bracketed by
// the library's own initialisation for the query.
#include "media/library_query.h"

#include <math.h>
#include <string.h>
#include <wchar.h>

#include "media/library_binding.h"
#include "media/tag_readers.h"
#include "parsers/text_convert.h"
#include "parsers/item_kind.h"

static char UrlBuffer[kUrlBufferBytes];

int LengthInMilliseconds(double seconds) {
  double ms = seconds * 1000.0;
  // llrint of a value outside the 64-bit range is undefined; 9.2e18 stays inside.
  if (!(ms >= 0.0 && ms < 9.2e18)) return 0;
  long long whole = llrint(ms);  // the default rounding mode: nearest, halves to even
  return (int)(uint32_t)(unsigned long long)whole;
}

// The UTF-8 form of a URL in UrlBuffer; false when it does not fit.
static bool PutUrl(const wchar_t *url) {
  size_t needed = ConvertUtf16ToUtf8(UrlBuffer, kUrlBufferBytes - 1, url, wcslen(url));
  if (needed > kUrlBufferBytes - 1) return false;
  UrlBuffer[needed] = 0;
  return true;
}

// Opens the stream, measures it and, for local files, reads the tags.
static void MeasureAndReadTags(const wchar_t *file, bool is_url, bool read_tags, QueryResult *result) {
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
  if (bytes != BASS_LENGTH_UNKNOWN) result->length_ms = LengthInMilliseconds(MediaChannelBytes2Seconds(stream, bytes));

  if (!is_url && read_tags) {
    // Each reader runs only while no title has been found.
    TrackInfoRecord *record = &result->tags;
    for (size_t i = 0; i < kTagReaderCount && record->title[0] == 0; ++i) ReadTag(stream, kTagReaders[i], record);
  }
  MediaStreamFree(stream);
}

void QueryMediaLibrary(const wchar_t *item, bool read_tags, QueryResult *result) {
  ClearQueryResult(result);
  const bool is_url = IsUrlItem(item);
  result->has_length = true;  // 0 until the stream says otherwise

  BindMediaLibrary();
  if (!MediaLibraryBound()) return;
  MediaInit();
  MeasureAndReadTags(item, is_url, read_tags, result);
  if (!is_url) result->title = result->tags.title[0] != 0 ? kTitleFromTags : kTitleFromFileName;
  MediaFree();
}
