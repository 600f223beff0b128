// Library mode: the stream's length and the local file's tags, bracketed by
// the library's own initialisation for the query.
#include "media/library_query.h"

#include <math.h>
#include <string.h>
#include <wchar.h>

#include "media/http_reader.h"
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

// The library reads a URL's response through these, in its buffered system
// and from its own thread: they touch the HTTP reader's state and nothing of
// the host's. The library reads the response from its start to its end.
static void CALLBACK UrlFileClose(void *) {}  // the query closes the request after BASS_StreamFree

static QWORD CALLBACK UrlFileLength(void *) {
  const uint64_t length = HttpResponseLength();
  return length == kHttpLengthUnknown ? 0 : length;
}

static DWORD CALLBACK UrlFileRead(void *buffer, DWORD length, void *) {
  return ReadArrivedBytes(static_cast<unsigned char *>(buffer), length);
}

static BOOL CALLBACK UrlFileSeek(QWORD, void *) { return FALSE; }

static const BASS_FILEPROCS kUrlFileProcs = {UrlFileClose, UrlFileLength, UrlFileRead, UrlFileSeek};

// A URL's response as a stream: its request stays open while the stream
// lives. An error status counts as a stream that did not open, as the
// library's own downloads treat it.
static DWORD OpenUrlStream(const wchar_t *url) {
  // A URL too long for the buffer counts as one that did not open.
  if (!PutUrl(url) || !OpenHttpResponse(url)) return 0;
  const DWORD status = HttpResponseStatus();
  return status >= 200 && status < 300 ? MediaStreamCreateFileUser(&kUrlFileProcs, NULL) : 0;
}

// Length, and for local files the tags, of an open stream.
static void MeasureStream(DWORD stream, bool is_url, bool read_tags, QueryResult *result) {
  BASS_CHANNELINFO info;
  memset(&info, 0, sizeof info);
  if (!MediaChannelGetInfo(stream, &info)) return;

  QWORD bytes = MediaChannelGetLength(stream);
  if (bytes != BASS_LENGTH_UNKNOWN) result->length_ms = LengthInMilliseconds(MediaChannelBytes2Seconds(stream, bytes));

  if (!is_url && read_tags) {
    // Each reader runs only while no title has been found.
    TrackInfoRecord *record = &result->tags;
    for (size_t i = 0; i < kTagReaderCount && record->title[0] == 0; ++i) ReadTag(stream, kTagReaders[i], record);
  }
}

// Opens the stream, measures it and frees it; a URL's request is closed
// after the stream.
static void MeasureAndReadTags(const wchar_t *file, bool is_url, bool read_tags, QueryResult *result) {
  const DWORD stream = is_url ? OpenUrlStream(file) : MediaStreamCreateFile(file);
  if (stream != 0) MeasureStream(stream, is_url, read_tags, result);
  // A read the library's thread still waits in ends at once.
  if (is_url) AbandonHttpResponse();
  // BASS_Free would release the stream too; not relying on that.
  if (stream != 0) MediaStreamFree(stream);
  if (is_url) CloseHttpResponse();
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
