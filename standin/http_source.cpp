#include "standin/http_source.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const uint32_t kHeadMax = 16u * 1024 * 1024;  // most a parser may read from the start
static const uint32_t kTailMax = 16u * 1024 * 1024;  // most one range request may bring
static const uint32_t kTailMin = 64u * 1024;
static const uint32_t kFarAhead = 1024u * 1024;       // past this, a read near the end goes by range
static const DWORD kTimeoutMs = 15000;  // connecting and sending
// The response headers must be complete this long after the request went out
// (measured: about 6 s for servers that trickle them or never end a line).
static const DWORD kHeadersMs = 5000;
static const DWORD kNoTimeout = 0xFFFFFFFFu;
static const uint32_t kMaxTailFetches = 3;

static bool CopyText(char *dst, size_t cap, const char *src) {
  size_t len = strlen(src);
  if (len >= cap) return false;
  memcpy(dst, src, len + 1);
  return true;
}

static DWORD StatusCode(HINTERNET request) {
  DWORD status = 0, size = sizeof(status);
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL)) return 0;
  return status;
}

static uint64_t ContentLength(HINTERNET request) {
  char text[32];
  DWORD size = sizeof(text) - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, NULL)) return kSourceSizeUnknown;
  text[size < sizeof(text) ? size : sizeof(text) - 1] = 0;
  uint64_t value = 0;
  bool digits = false;
  for (const char *p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return kSourceSizeUnknown;
    if (value > (kSourceSizeUnknown - 1 - 9) / 10) return kSourceSizeUnknown;
    value = value * 10 + (uint64_t)(*p - '0');
    digits = true;
  }
  return digits ? value : kSourceSizeUnknown;
}

// WinINet runs asynchronously, so the wait for the response headers can be
// bounded as a whole (each header byte would restart a receive timeout).
static void CALLBACK StepReport(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD info_size) {
  if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || info == NULL || info_size < sizeof(DWORD_PTR)) {
    return;
  }
  HttpSource *hs = (HttpSource *)context;
  hs->step_result = *(const DWORD_PTR *)info;
  SetEvent(hs->step_done);
}

// Waits for a pending step, up to `ms`; true when it completed with success.
static bool AwaitStep(HttpSource *hs, DWORD ms) {
  return WaitForSingleObject(hs->step_done, ms) == WAIT_OBJECT_0 && hs->step_result != 0;
}

static void CloseRequestHandle(HINTERNET handle) {
  if (handle == NULL) return;
  InternetSetStatusCallbackA(handle, NULL);  // a step cut off completes unheard
  InternetCloseHandle(handle);
}

// Opens a GET of the source's URL on a connection of its own. The timeouts
// are set on the request itself before it is sent: WinINet implementations
// differ in whether a request inherits them from the session (Wine's does
// not). The body has no receive timeout.
static HINTERNET Request(HttpSource *hs, const char *headers, HINTERNET *connection) {
  *connection = NULL;
  char host[256], path[2048], extra[2048];
  URL_COMPONENTSA parts;
  memset(&parts, 0, sizeof(parts));
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof(host);
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof(path);
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = sizeof(extra);
  if (!InternetCrackUrlA(hs->url, 0, 0, &parts)) return NULL;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return NULL;
  char object[sizeof(path) + sizeof(extra)];
  snprintf(object, sizeof(object), "%s%s", path[0] ? path : "/", extra);
  *connection = InternetConnectA(hs->session, host, parts.nPort, NULL, NULL, INTERNET_SERVICE_HTTP, 0, (DWORD_PTR)hs);
  if (*connection == NULL) return NULL;
  DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI |
                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  HINTERNET request = HttpOpenRequestA(*connection, "GET", object, NULL, NULL, NULL, flags, (DWORD_PTR)hs);
  if (request != NULL) {
    DWORD timeout = kTimeoutMs, none = kNoTimeout;
    InternetSetOptionA(request, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionA(request, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &none, sizeof(none));
    ResetEvent(hs->step_done);
    if (HttpSendRequestA(request, headers, headers != NULL ? (DWORD)-1L : 0, NULL, 0)) return request;
    if (GetLastError() == ERROR_IO_PENDING && AwaitStep(hs, kHeadersMs)) return request;
    CloseRequestHandle(request);
  }
  CloseRequestHandle(*connection);
  *connection = NULL;
  return NULL;
}

// Reads what has arrived, at most len bytes, waiting for the first of them as
// long as the connection stays open. 0 at the end or on failure.
static uint32_t ReadSome(HttpSource *hs, HINTERNET request, uint8_t *buf, uint32_t len) {
  DWORD available = 0;
  for (;;) {
    ResetEvent(hs->step_done);
    if (InternetQueryDataAvailable(request, &available, 0, 0)) break;
    if (GetLastError() != ERROR_IO_PENDING || !AwaitStep(hs, INFINITE)) return 0;
  }
  if (available == 0) return 0;
  if (available > len) available = len;
  DWORD got = 0;
  ResetEvent(hs->step_done);
  if (!InternetReadFile(request, buf, available, &got)) {
    if (GetLastError() != ERROR_IO_PENDING || !AwaitStep(hs, INFINITE)) return 0;
  }
  return got <= available ? got : available;
}

// Reads up to len bytes of a response; fewer only at its end or on failure.
static uint32_t ReadBody(HttpSource *hs, HINTERNET request, uint8_t *buf, uint32_t len) {
  uint32_t done = 0;
  while (done < len) {
    uint32_t got = ReadSome(hs, request, buf + done, len - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

// Extends the bytes from the start until they reach `want` (or the body ends).
static void GrowHead(HttpSource *hs, uint64_t want) {
  if (want > kHeadMax) want = kHeadMax;
  while (!hs->head_done && hs->head_used < want) {
    if (hs->head_used == hs->head_cap) {
      uint32_t cap = hs->head_cap < 65536 ? 65536 : hs->head_cap * 2;
      if (cap > kHeadMax) cap = kHeadMax;
      if (cap == hs->head_cap) {
        hs->head_done = true;
        break;
      }
      uint8_t *grown = (uint8_t *)realloc(hs->head, cap);
      if (grown == NULL) {
        hs->head_done = true;
        break;
      }
      hs->head = grown;
      hs->head_cap = cap;
    }
    uint32_t got = ReadSome(hs, hs->request, hs->head + hs->head_used, hs->head_cap - hs->head_used);
    if (got == 0) {
      hs->head_done = true;
      break;
    }
    hs->head_used += got;
  }
}

void PrebufferHttpSource(HttpSource *hs, uint32_t bytes) {
  uint64_t want = bytes;
  if (hs->length != kSourceSizeUnknown && hs->length < want) want = hs->length;
  GrowHead(hs, want);
}

// Fetches the resource from `from` to its end with a range request.
static void FetchTail(HttpSource *hs, uint64_t from) {
  ++hs->tail_fetches;
  if (hs->length == kSourceSizeUnknown || from >= hs->length || hs->length - from > kTailMax) return;
  uint32_t size = (uint32_t)(hs->length - from);
  char headers[96];
  snprintf(headers, sizeof(headers), "Range: bytes=%llu-\r\n", (unsigned long long)from);
  HINTERNET connection = NULL;
  HINTERNET request = Request(hs, headers, &connection);
  if (request == NULL) return;
  uint8_t *tail = StatusCode(request) == 206 ? (uint8_t *)malloc(size) : NULL;
  if (tail != NULL && ReadBody(hs, request, tail, size) == size) {
    free(hs->tail);
    hs->tail = tail;
    hs->tail_pos = from;
    hs->tail_size = size;
  } else {
    free(tail);
  }
  CloseRequestHandle(request);
  CloseRequestHandle(connection);
}

static uint32_t HttpReadAt(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  HttpSource *hs = (HttpSource *)ctx;
  bool near_end = hs->length != kSourceSizeUnknown && offset > (uint64_t)hs->head_used + kFarAhead;
  if (near_end && (hs->tail == NULL || offset < hs->tail_pos) && hs->tail_fetches < kMaxTailFetches) {
    uint64_t from = offset;
    if (hs->length - from < kTailMin) from = hs->length > kTailMin ? hs->length - kTailMin : 0;
    FetchTail(hs, from);
  }
  if (hs->tail != NULL && offset >= hs->tail_pos && offset - hs->tail_pos < hs->tail_size) {
    uint64_t at = offset - hs->tail_pos;
    if (len > hs->tail_size - at) len = (uint32_t)(hs->tail_size - at);
    memcpy(buf, hs->tail + at, len);
    return len;
  }
  // A server that ignores ranges: read on from the start, within the cap.
  if (offset >= kHeadMax) return 0;
  if (len > kHeadMax - offset) len = (uint32_t)(kHeadMax - offset);
  GrowHead(hs, offset + len);
  if (offset >= hs->head_used) return 0;
  if (len > hs->head_used - offset) len = (uint32_t)(hs->head_used - offset);
  memcpy(buf, hs->head + offset, len);
  return len;
}

bool OpenHttpSource(HttpSource *hs, const char *url, const char *agent, ByteSource *src) {
  memset(hs, 0, sizeof(*hs));
  if (url == NULL || !CopyText(hs->url, sizeof(hs->url), url)) return false;
  if (!CopyText(hs->agent, sizeof(hs->agent), agent != NULL ? agent : "")) return false;
  hs->step_done = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (hs->step_done == NULL) return false;
  hs->session = InternetOpenA(hs->agent, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, INTERNET_FLAG_ASYNC);
  if (hs->session == NULL) {
    CloseHttpSource(hs);
    return false;
  }
  DWORD timeout = kTimeoutMs, none = kNoTimeout;
  InternetSetOptionA(hs->session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
  InternetSetOptionA(hs->session, INTERNET_OPTION_RECEIVE_TIMEOUT, &none, sizeof(none));
  InternetSetStatusCallbackA(hs->session, StepReport);
  hs->request = Request(hs, NULL, &hs->connection);
  if (hs->request == NULL || StatusCode(hs->request) != 200) {
    CloseHttpSource(hs);
    return false;
  }
  hs->length = ContentLength(hs->request);
  src->ctx = hs;
  src->read_at = HttpReadAt;
  src->size = hs->length;
  return true;
}

void CloseHttpSource(HttpSource *hs) {
  CloseRequestHandle(hs->request);
  CloseRequestHandle(hs->connection);
  CloseRequestHandle(hs->session);
  if (hs->step_done != NULL) CloseHandle(hs->step_done);
  free(hs->head);
  free(hs->tail);
  memset(hs, 0, sizeof(*hs));
}
